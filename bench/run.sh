#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds Quorlin and prints the speed of quorlin-batch against the GNU tools on
# a generated 1,000,000-line text. Extra arguments go to quorlin-bench
# (--runs R, --lines N, --only NAME).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
exec build/bench/quorlin-bench "$@" build/cli/quorlin-batch build/bench-data
