#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds Quorlin and starts the editor, optionally on a file.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/build.sh"
if [ -x "$here/build/app/quorlin" ]; then
  exec "$here/build/app/quorlin" "$@"
fi
exec "$here/build/cli/quorlin-batch" --help
