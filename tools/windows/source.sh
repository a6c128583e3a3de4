#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# `make windows-source`: the source that the Windows release's README.txt
# points to, as one reproducible tar: the game's release tarball (with the
# scripts that built Qt and the game) and Debian's qt6-base source package
# from which its Qt was built.
#   source.sh <game release tarball> <output folder>
set -euo pipefail
tarball=$(readlink -f "$1")
out=$(mkdir -p "$2" && readlink -f "$2")
cd "$(dirname "$0")/../.."
deps/install.sh deps/windows.txt
qt=$(tools/windows/build-qt.sh)
. tools/windows/release.sh
name=Zanthorix-$version-windows-source
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/$name"
cp "$tarball" "$qt"/source/qt6-base_* "$work/$name/"
tar --create --sort=name --format=gnu --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
  --mode=u=rwX,go=rX -C "$work" "$name" >"$out/$name.tar.part"
mv "$out/$name.tar.part" "$out/$name.tar"
echo "$out/$name.tar"
