#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages of a list (deps/debian.txt unless one is
# named) that are missing.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mapfile -t wanted < <(grep -vE '^\s*(#|$)' "${1:-$here/debian.txt}")
# A checkout lists its files through git (make dist, tools/spdx.sh); an
# unpacked release has no .git and needs none.
if [ -e "$here/../.git" ]; then wanted+=(git); fi
missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# A package the local lists do not know yet needs fresh lists first.
for pkg in "${missing[@]}"; do
  if ! apt-cache show "$pkg" >/dev/null 2>&1; then
    $sudo apt-get update
    break
  fi
done
if ! $sudo apt-get install -y --no-install-recommends "${missing[@]}"; then
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
