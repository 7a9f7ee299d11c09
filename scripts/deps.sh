#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs Debian packages when missing: those named as arguments, or with
# none those needed to build and test Quorlin.
set -euo pipefail
pkgs=("$@")
# poppler-utils and cups-daemon: the print tests read printed PDFs back and run
# a scheduler of their own; python3-distributed: the test of quorlin-cluster
# runs a Dask cluster; libre2-dev (found with pkg-config): the Test Key as a
# pattern.
[ ${#pkgs[@]} -eq 0 ] &&
  pkgs=(g++ make cmake pkg-config qt6-base-dev libcups2-dev libgtest-dev libgmock-dev libcli11-dev
    libre2-dev fonts-liberation fonts-dejavu-core poppler-utils cups-daemon python3-distributed
    python3-dask)
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
