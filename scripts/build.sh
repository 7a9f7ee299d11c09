#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Configures and builds Quorlin into build/ (Release). QUORLIN_WERROR=ON in the
# environment makes compiler warnings errors (CI sets it).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUORLIN_WERROR="${QUORLIN_WERROR:-OFF}" >/dev/null
cmake --build build --parallel "$(nproc)"
