#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Qt 6.4.2 for 64-bit Windows (MinGW-w64) from Debian's qt6-base
# source package, with the options of qt-options.cmake, into the user's cache,
# and prints the prefix. The source comes through the system's own APT set-up
# (its mirror, proxy or snapshot), as `apt-get source` would take it.
#
# The prefix also keeps what the release's licences need: the source package
# itself (source/, the source that the release offers) and which source files
# went into which of Qt's targets (source/inputs.txt.xz).
#
# The cache is keyed by what goes into the build: the options, the toolchain
# file, the source version, the compiler and the cache's layout. A lock lets
# two builds of one user wait for each other instead of spoiling each other.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
version=6.4.2+dfsg-10
layout=2
cache=${XDG_CACHE_HOME:-$HOME/.cache}/zanthorix
key=$( { grep -hv '^\s*#' "$here/qt-options.cmake" "$here/toolchain.cmake"; echo "$version $layout";
         x86_64-w64-mingw32-g++-posix --version | head -1; } | sha256sum | cut -c1-12)
prefix=$cache/qt-6.4.2-mingw-$key
mkdir -p "$cache"
exec 9>"$cache/.qt-build.lock"
if ! flock -n 9; then
  echo "Waiting for another build of Qt for Windows to finish" >&2
  flock 9
fi
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zanthorix-qt.XXXXXX")
trap 'rm -rf "$work"' EXIT
# A private copy of the system's sources with every `deb` entry also as
# `deb-src`; everything else (proxy, keys, snapshot options) stays the
# system's. No root needed.
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/apt/sources.list.d"
sources= parts=
eval "$(apt-config shell sources Dir::Etc::sourcelist/f parts Dir::Etc::sourceparts/d)"
[ -f "$sources" ] && sed -n 's/^[[:space:]]*deb\([[:space:]]\)/deb-src\1/p' "$sources" >"$work/apt/sources.list"
for file in "$parts"/*.list; do
  [ -f "$file" ] && sed -n 's/^[[:space:]]*deb\([[:space:]]\)/deb-src\1/p' "$file" >"$work/apt/sources.list.d/${file##*/}"
done
for file in "$parts"/*.sources; do
  [ -f "$file" ] && sed 's/^\([Tt]ypes:\).*\<deb\>.*/\1 deb-src/' "$file" >"$work/apt/sources.list.d/${file##*/}"
done
apt_opts=(-o "Dir::Etc::SourceList=$work/apt/sources.list" -o "Dir::Etc::SourceParts=$work/apt/sources.list.d"
  -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache" -o Debug::NoLocking=1
  -o APT::Sandbox::User="$(id -un)")
apt-get "${apt_opts[@]}" -qq update >&2
mkdir -p "$work/source"
(cd "$work/source" && apt-get "${apt_opts[@]}" -qq source --download-only "qt6-base=$version" >&2)
dpkg-source --no-check -x "$work"/source/qt6-base_*.dsc "$work/src" >&2

rm -rf "$prefix"
cmake -C "$here/qt-options.cmake" -S "$work/src" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/toolchain.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >&2
cmake --build "$work/build" --parallel "$(nproc)" >&2
cmake --install "$work/build" >&2

mkdir -p "$prefix/source"
cp "$work"/source/qt6-base_* "$prefix/source/"
# Every source file that went into each target, from the compiler's own
# dependency records: "<target> <path in the source>".
ninja -C "$work/build" -t deps | awk -v src="$work/src/" '
  /^[^ \t]/ { target = ""; if (match($0, /CMakeFiles\/[^\/]+\.dir\//)) target = substr($0, RSTART + 11, RLENGTH - 16); next }
  target != "" && index($1, src) == 1 { print target " " substr($1, length(src) + 1) }' |
  LC_ALL=C sort -u | xz -T1 >"$prefix/source/inputs.txt.xz"
touch "$prefix/.complete"
echo "$prefix"
