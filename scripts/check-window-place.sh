#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Starts the editor under a real window manager (openbox on a virtual X
# screen) and checks where its windows stand: the main window's frame with its
# outer corner at (2, 2), so that the title bar is on the screen, and the
# inside of the window at the size of the screen's tier; the About box's frame
# at (162, 107). Headless tests cannot see this: they have no window manager.
# On a high-density screen (2560x2048 at QT_SCALE_FACTOR 2 and 1.5) the same
# places hold in device pixels, and quorlin_layout_check takes a picture of
# each page and dialog and compares every control's place: no caption cut off,
# no two controls overlapping (the pictures stay in BUILD_FOLDER/window-place/).
#   scripts/check-window-place.sh [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
editor="$build/app/quorlin"
bash scripts/deps.sh xvfb openbox xdotool x11-utils

scratch=$(mktemp -d)
pids=()
stop_all() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  pids=()
}
trap 'stop_all; rm -rf "$scratch"' EXIT

# Waits up to 10 s for a command to succeed.
wait_for() {
  for _ in $(seq 100); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "timed out waiting for: $*" >&2
  return 1
}

# "LEFT TOP WIDTH HEIGHT" of a managed window named $1: the frame's outer
# corner and the size of the window's inside.
frame_of() {
  local id x y w h left right top bottom
  wait_for xdotool search --onlyvisible --name "^$1\$"
  id=$(xdotool search --onlyvisible --name "^$1\$" | head -1)
  wait_for sh -c "xprop -id $id _NET_FRAME_EXTENTS | grep -q ="
  sleep 0.5 # let the window manager finish placing it
  read -r left right top bottom < <(xprop -id "$id" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  read -r x y w h < <(xwininfo -id "$id" | awk '
    /Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
    /^  Width:/ {w = $2} /^  Height:/ {h = $2} END {print x, y, w, h}')
  echo "$((x - left)) $((y - top)) $w $h"
}

failed=0
expect() { # what, got, wanted
  if [ "$2" = "$3" ]; then
    echo "ok   $1: $2"
  else
    echo "FAIL $1: $2, wanted $3" >&2
    failed=1
  fi
}

# Screen size and scale, then, in device pixels, the main window's frame
# corner and inside size for that screen's tiers (the tier's outer size less
# the design's frame, 8 wide and 30 high, times the scale) and the About box's
# frame corner.
pictures="$build/window-place"
while read -r screen scale corner inside about; do
  export QT_SCALE_FACTOR=$scale
  rm -f "$scratch/display"
  Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp 3>"$scratch/display" 2>/dev/null &
  pids+=($!)
  wait_for test -s "$scratch/display"
  export DISPLAY=":$(cat "$scratch/display")"
  openbox >/dev/null 2>&1 &
  pids+=($!)
  wait_for sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
  "$editor" >"$scratch/editor.log" 2>&1 &
  pids+=($!)

  at="$screen at scale $scale"
  read -r x y w h < <(frame_of "Quorlin 3.4 DataFile Text Editor")
  expect "$at main window frame corner" "$x,$y" "$corner"
  expect "$at main window inside" "${w}x$h" "$inside"

  # Help > About: the menu by its access letter, its only item with Enter.
  xdotool search --onlyvisible --name "^Quorlin 3.4" windowactivate --sync key alt+h
  sleep 0.3
  xdotool key Return
  read -r x y w h < <(frame_of "About Quorlin")
  expect "$at About box frame corner" "$x,$y" "$about"
  kill "${pids[-1]}"

  if "$build/tests/ui/quorlin_layout_check" "$pictures/$screen-x$scale" >"$scratch/layout" 2>/dev/null; then
    echo "ok   $at layout: $(tail -1 "$scratch/layout" | sed 's/^ok *//')"
  else
    echo "FAIL $at layout:" >&2
    grep '^FAIL' "$scratch/layout" >&2
    failed=1
  fi
  stop_all
done <<'EOF'
1280x1024 1 2,2 1261x936 162,107
1024x768 1 2,2 1005x680 162,107
2560x2048 2 4,4 2522x1872 324,214
2560x2048 1.5 3,3 1892x1404 243,161
EOF
exit "$failed"
