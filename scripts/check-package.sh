#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Checks what a packager checks, on a build made by scripts/build.sh: every
# source file names its licence, the desktop entry and AppStream metainfo
# validate, the manual pages format without warnings and name every option,
# `cmake --install` puts each file where the desktop expects it, and
# `cpack -G DEB` makes a package that holds the same files, whose
# dependencies resolve and which lintian passes but for the tags below.
#   scripts/check-package.sh [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
bash scripts/deps.sh desktop-file-utils appstream man-db dpkg-dev file lintian

id=io.github.quorlin.Quorlin
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() {
  echo "FAIL $*" >&2
  failed=1
}

# Every source file names its licence in its first lines.
unlicensed=$(git ls-files '*.cpp' '*.h' '*.inl' '*.py' '*.sh' '*.cmake' '*CMakeLists.txt' '*.1.in' \
  .ci/run scripts/quorlin-cluster tests/ui/cups/passthrough |
  while read -r f; do head -3 "$f" | grep -q 'SPDX-License-Identifier: Apache-2.0' || echo "$f"; done)
if [ -n "$unlicensed" ]; then
  fail "no SPDX-License-Identifier line in the first three lines of:" && echo "$unlicensed" >&2
else
  echo "ok   SPDX lines: every source file"
fi

cmp -s LICENSE /usr/share/common-licenses/Apache-2.0 || fail "LICENSE is not the Apache License 2.0"
desktop-file-validate "data/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$build/data/$id.metainfo.xml" || fail "appstreamcli validate"

# Manual pages: no formatting warnings, and every long option of --help.
for prog in quorlin quorlin-batch; do
  page="$build/data/man/$prog.1"
  [ -f "$page" ] || { fail "$page was not built"; continue; }
  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" >"$scratch/page.txt" 2>"$scratch/warnings"
  [ -s "$scratch/warnings" ] && fail "man --warnings -l $page:" && cat "$scratch/warnings" >&2
  [ "$prog" = quorlin ] && bin="$build/app/quorlin" || bin="$build/cli/quorlin-batch"
  for option in $("$bin" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -q -- "$option" "$scratch/page.txt" || fail "$prog.1 does not describe $option"
  done
done

# The files, as the desktop looks for them under the prefix.
expected="bin/quorlin
bin/quorlin-batch
share/applications/$id.desktop
share/doc/quorlin/changelog.gz
share/doc/quorlin/copyright
share/icons/hicolor/128x128/apps/$id.png
share/icons/hicolor/48x48/apps/$id.png
share/icons/hicolor/scalable/apps/$id.svg
share/man/man1/quorlin-batch.1.gz
share/man/man1/quorlin.1.gz
share/metainfo/$id.metainfo.xml"

# Checks an installed tree: root folder, prefix.
check_tree() {
  local root=$1 prefix=$2 what=$3 usr="$1$2"
  diff <(echo "$expected") <(cd "$usr" && find . -type f -o -type l | sed 's|^\./||' | sort) ||
    fail "$what: installed files differ from the expected ones (< expected, > installed)"
  for size in 48 128; do
    file "$usr/share/icons/hicolor/${size}x$size/apps/$id.png" | grep -q "$size x $size" ||
      fail "$what: the ${size}px icon is not $size by $size"
  done
  desktop-file-validate "$usr/share/applications/$id.desktop" || fail "$what: desktop entry"
  grep -qx "License: Apache-2.0" "$usr/share/doc/quorlin/copyright" ||
    fail "$what: the copyright file names no licence"
  gzip -dc "$usr/share/doc/quorlin/changelog.gz" >"$scratch/changelog"
  [ "$(dpkg-parsechangelog -l "$scratch/changelog" -S Version 2>/dev/null)" = 3.4 ] ||
    fail "$what: the changelog's last entry is not 3.4"
  grep -qx "Icon=$id" "$usr/share/applications/$id.desktop" || fail "$what: Icon= is not $id"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" \
    "$usr/share/metainfo/$id.metainfo.xml" || fail "$what: metainfo does not launch $id.desktop"
  # The programs answer without a display.
  for prog in quorlin quorlin-batch; do
    env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/$prog" --version >"$scratch/version"
    [ "$(head -1 "$scratch/version")" = "$prog 3.4" ] || fail "$what: $prog --version"
    grep -qx "Licence: Apache License 2.0 (Apache-2.0)" "$scratch/version" ||
      fail "$what: $prog --version does not name the licence"
  done
  echo "ok   $what: every file in place under $prefix"
}

DESTDIR="$scratch/destdir" cmake --install "$build" --prefix /usr/local >/dev/null
check_tree "$scratch/destdir" /usr/local "cmake --install, DESTDIR and prefix /usr/local"

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quorlin_*.deb)
dpkg-deb -x "$deb" "$scratch/deb"
check_tree "$scratch/deb" /usr "$(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
echo "     Depends: $depends"
# Printing goes to CUPS directly (Qt's print support is not linked with it).
for lib in libc6 libstdc++6 libqt6widgets6 libcups2; do
  [[ "$depends" == *"$lib "* ]] || fail "$(basename "$deb") does not depend on $lib"
done
apt-get install --simulate -qq "./$deb" >/dev/null || fail "apt-get cannot install $deb"

# lintian: no error and no warning but these, which come from the maintainer
# named without an address (QUORLIN_MAINTAINER; the README says why).
allowed="malformed-contact syntax-error-in-debian-changelog"
lintian --no-tag-display-limit "$deb" 2>/dev/null >"$scratch/lintian" || true
while read -r level _ tag rest; do
  case "$level" in E: | W:) ;; *) continue ;; esac
  [[ " $allowed " == *" $tag "* ]] && continue
  fail "lintian: $level $tag $rest"
done <"$scratch/lintian"
echo "ok   lintian: $(grep -c '^[EW]:' "$scratch/lintian" || true) error and warning lines, all of them named"
exit "$failed"
