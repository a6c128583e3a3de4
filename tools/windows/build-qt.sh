#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Qt 6.4.2 for 64-bit Windows (MinGW-w64) from Debian's qt6-base
# source package, with only what the game needs, into the user's cache.
# The cache is keyed by this script, the toolchain file and the compiler
# (comments aside), so that a change to any of them builds afresh. Prints the
# prefix when done.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
version=6.4.2+dfsg-10
cache=${XDG_CACHE_HOME:-$HOME/.cache}/zanthorix
key=$( { grep -hv '^\s*#' "$here/build-qt.sh" "$here/toolchain.cmake"; echo "$version";
         x86_64-w64-mingw32-g++-posix --version | head -1; } | sha256sum | cut -c1-12)
prefix=$cache/qt-6.4.2-mingw-$key
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zanthorix-qt.XXXXXX")
trap 'rm -rf "$work"' EXIT
# The source package through a private apt set-up: no deb-src line, no root.
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial"
echo "deb-src http://deb.debian.org/debian bookworm main" >"$work/apt/sources.list"
apt_opts=(-o "Dir::Etc::SourceList=$work/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
  -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache" -o Debug::NoLocking=1
  -o APT::Sandbox::User="$(id -un)")
apt-get "${apt_opts[@]}" -qq update >&2
(cd "$work" && apt-get "${apt_opts[@]}" -qq source --download-only "qt6-base=$version" >&2)
dpkg-source --no-check -x "$work"/qt6-base_*.dsc "$work/src" >&2
rm -rf "$prefix"
cmake -S "$work/src" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF \
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no \
  -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF -DFEATURE_icu=OFF -DFEATURE_zstd=OFF \
  -DFEATURE_gif=OFF -DFEATURE_jpeg=OFF -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_pcre2=OFF \
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF >&2
cmake --build "$work/build" --parallel "$(nproc)" >&2
cmake --install "$work/build" >&2
touch "$prefix/.complete"
echo "$prefix"
