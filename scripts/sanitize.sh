#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The checked stage CI runs after the tests: every test again in a Debug build
# with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/), where any
# report fails the test, then the fuzz target for FUZZ_SECONDS (default 60)
# when clang's libFuzzer is there (build-fuzz/).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/deps.sh clang-14 libclang-rt-14-dev

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUORLIN_SANITIZE=ON \
  -DQUORLIN_WERROR="${QUORLIN_WERROR:-OFF}" >/dev/null
cmake --build build-asan --parallel "$(nproc)"
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build-asan --output-on-failure --parallel "$(nproc)"

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORLIN_FUZZ=ON -DQUORLIN_BUILD_GUI=OFF -DQUORLIN_BUILD_TESTS=OFF \
  -DQUORLIN_WERROR="${QUORLIN_WERROR:-OFF}" >/dev/null
if [ -d build-fuzz/fuzz/CMakeFiles/quorlin_fuzz.dir ]; then
  cmake --build build-fuzz --parallel "$(nproc)" --target quorlin_fuzz
  mkdir -p build-fuzz/corpus
  build-fuzz/fuzz/quorlin_fuzz -max_total_time="${FUZZ_SECONDS:-60}" -print_final_stats=1 \
    build-fuzz/corpus fuzz/seeds
else
  echo "fuzz target not built (no clang libFuzzer): skipped"
fi
