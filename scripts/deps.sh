#!/usr/bin/env bash
# Installs the Debian packages needed to build and test Quorlin, when missing.
set -euo pipefail
# poppler-utils: the print tests read printed PDFs back.
pkgs=(g++ make cmake qt6-base-dev libcups2-dev libgtest-dev libgmock-dev fonts-liberation
  fonts-dejavu-core poppler-utils)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
