#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence of everything a Windows game folder ships into it, each
# taken from the licence files of the sources it was built from:
#   licences.sh <game folder> <Qt prefix>
# COPYING.txt      the game's licence, the GPL, which the LGPL builds on
# Qt-LGPL-3.txt    Qt's licence, from Qt's source
# THIRD-PARTY.txt  what Qt bundles into the DLLs shipped (from Qt's
#                  attribution files, for exactly what went into them) and the
#                  compiler's runtime DLLs (from their packages' copyright)
# README.txt       what the game is and where the source of all of it is
set -euo pipefail
stage=$(readlink -f "$1") qt=$(readlink -f "$2")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
export LC_ALL=C
crlf() { sed 's/\r*$/\r/'; }

dsc=$(ls "$qt"/source/qt6-base_*.dsc)
orig=$(ls "$qt"/source/qt6-base_*.orig.tar.xz)
qt_version=$(sed -n 's/^Version: //p' "$dsc")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

crlf <"$source_dir/COPYING" >"$stage/COPYING.txt"
tar -xJf "$orig" -C "$work" --wildcards --strip-components=2 '*/LICENSES/LGPL-3.0-only.txt'
lgpl=$work/LGPL-3.0-only.txt
crlf <"$lgpl" >"$stage/Qt-LGPL-3.txt"

# The targets of Qt's build that make up the DLLs and plugins shipped: the
# three libraries with the third-party code they take in, the plugins, and
# the entry point linked into the game.
targets=(Core Gui Widgets 'Bundled*' EntryPointImplementation)
for plugin in "$stage"/*/q*.dll; do
  case ${plugin##*/} in
    qwindows.dll) targets+=(QWindowsIntegrationPlugin) ;;
    qwindowsvistastyle.dll) targets+=(QWindowsVistaStylePlugin) ;;
    qico.dll) targets+=(QICOPlugin) ;;
    *) echo "licences.sh: which of Qt's targets is ${plugin##*/}?" >&2; exit 1 ;;
  esac
done

# Each runtime DLL's Debian package, the package's source and its copyright.
runtime_notices() {
  local dll package
  declare -A dlls=()
  for dll in "$stage"/lib*.dll; do
    package=$(dpkg -S "$(readlink -f "$(x86_64-w64-mingw32-g++-posix -print-file-name="${dll##*/}")")")
    package=${package%%:*}
    dlls[$package]+="${dlls[$package]:+, }${dll##*/}"
  done
  for package in $(printf '%s\n' "${!dlls[@]}" | sort); do
    printf '%s\n' "==============================================================================" \
      "${dlls[$package]}" "" \
      "From Debian's $(dpkg-query -W -f '${source:Package} ${source:Version}' "$package") source package" \
      "(binary package $package), whose copyright file follows." ""
    cat "/usr/share/doc/$package/copyright"
    echo
  done
}

{
  cat <<EOF
The Windows release of Zanthorix holds, besides the game itself (GPL-3 or
later, COPYING.txt):

- Qt 6.4.2 (Qt6Core.dll, Qt6Gui.dll, Qt6Widgets.dll and the plugins in
  platforms/, styles/ and imageformats/), used under the GNU Lesser General
  Public License, version 3 (Qt-LGPL-3.txt, which builds on the GPL in
  COPYING.txt). It was built from Debian's qt6-base $qt_version source
  package; README.txt says where that source is. You may replace these DLLs
  with your own build of Qt 6.4.
- The code of other projects that Qt takes into those DLLs, each listed below
  with its copyright and licence as Qt's source records them.
- The runtime of the MinGW-w64 compiler the game was built with (lib*.dll),
  listed at the end with the copyright files of their Debian packages; the
  GCC runtime libraries are under the GPL with the GCC Runtime Library
  Exception, given there.

EOF
  "$here/notices.py" "$orig" "$qt/source/inputs.txt.xz" "${targets[@]}"
  runtime_notices
} | crlf >"$stage/THIRD-PARTY.txt"

releases=$(sed -n 's/^Source: //p' "$source_dir/debian/copyright")
. "$here/release.sh"
crlf >"$stage/README.txt" <<EOF
Zanthorix $version for Windows

Zanthorix is a puzzle game: clear an 8 by 8 board of coloured balls by
removing groups of like balls. The bigger the group, the more it scores.
Start Zanthorix.exe; Help, Index (F1) tells the rules. The game keeps its high
scores in HighScores.Dat beside it, or in your own application data folder
where it may not write beside itself, and your player name in the registry.

Zanthorix is free software: you may share and change it under the GNU
General Public License, version 3 or later (COPYING.txt). It comes with no
warranty. Copyright (C) 2026 Mirrowdale.

Its source, and that of everything in this folder, is in
Zanthorix-$version-windows-source.tar, published with this download at
$releases
It holds:
- zanthorix-$version.tar.xz, the game's own source, with the scripts that
  built this folder (tools/windows/: build-qt.sh, qt-options.cmake and
  toolchain.cmake built Qt, build.sh and package.sh the game and this folder);
- Debian's qt6-base $qt_version source package, from which the Qt DLLs were
  built:
$(cd "$qt/source" && ls qt6-base_* | sed 's/^/    /')

The licences of Qt and of what it bundles, and those of the compiler's
runtime DLLs, with the names of the Debian source packages they come from,
are in Qt-LGPL-3.txt and THIRD-PARTY.txt.
EOF
