#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds Quorlin and runs every test (the window tests run headless).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --parallel "$(nproc)"
