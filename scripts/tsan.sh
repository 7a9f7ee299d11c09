#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The threads checked: the engine's and the batch program's tests (the
# parallel runs, the block reader and writer with their transfer threads, the
# work files, quorlin-batch itself) and the document model's (its history
# moves old texts to disk on a thread of its own), built with ThreadSanitizer
# (build-tsan/, CMake option QUORLIN_SANITIZE=thread), where any report fails
# the run. The window's tests stay out: Qt is not built for the sanitizer.
# Mapped byte buffers are off in this build (engine/ByteBuffer.cpp).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLIN_SANITIZE=thread \
  -DQUORLIN_BUILD_GUI=OFF -DQUORLIN_WERROR="${QUORLIN_WERROR:-OFF}" >/dev/null
cmake --build build-tsan --parallel "$(nproc)" --target engine_tests text_tests quorlin-batch
# halt_on_error: the first report ends the program with an error, in the tests
# and in every quorlin-batch they start.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
ctest --test-dir build-tsan --output-on-failure --parallel "$(nproc)" \
  -R '^(ParallelRun|Recipe|BatchTest|BlockLine(Reader|Writer)|WorkFiles|SafeOutput|SpecialFiles|HostileFolder|DocumentUndo)\.'
