#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Renders the application icon's PNG sizes from its SVG; run after changing
# data/icons/io.github.quorlin.Quorlin.svg and commit the PNGs with it.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
bash ../../scripts/deps.sh librsvg2-bin optipng
for size in 48 128; do
  mkdir -p "$size"
  rsvg-convert -w "$size" -h "$size" io.github.quorlin.Quorlin.svg -o "$size/io.github.quorlin.Quorlin.png"
  optipng -quiet -o5 "$size/io.github.quorlin.Quorlin.png"
done
