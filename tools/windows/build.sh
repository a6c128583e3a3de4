#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# `make windows`: Qt for MinGW-w64 (built once from Debian's source and kept
# in the user's cache), the game cross-built into build-win/, then the game
# folder, Zanthorix-1.0-win64.zip and Zanthorix-1.0-setup.exe there.
set -euo pipefail
cd "$(dirname "$0")/../.."
deps/install.sh
deps/install.sh deps/windows.txt
if ! qt=$(tools/windows/build-qt.sh); then
  echo "Building Qt for Windows failed" >&2
  exit 1
fi
cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/tools/windows/toolchain.cmake" -DCMAKE_PREFIX_PATH="$qt" -DQt6_DIR="$qt/lib/cmake/Qt6" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DZANTHORIX_WERROR="${ZANTHORIX_WERROR:-OFF}" >/dev/null
cmake --build build-win -j"$(nproc)"
tools/windows/package.sh build-win "$qt" build-win
