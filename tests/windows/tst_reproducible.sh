#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The same Windows build packaged again, in another folder, under another
# umask, time zone and locale, gives the same zip and installer.
#   tst_reproducible.sh <Windows build folder that package.sh has packaged>
set -euo pipefail
build=$(readlink -f "$1")
here=$(cd "$(dirname "$0")" && pwd)
qt=$(sed -n 's|^Qt6_DIR:[A-Z]*=\(.*\)/lib/cmake/Qt6$|\1|p' "$build/CMakeCache.txt")
other=$(mktemp -d)
trap 'rm -rf "$other"' EXIT
(umask 077 && TZ=Pacific/Kiritimati LANG=C.UTF-8 "$here/../../tools/windows/package.sh" \
  "$build" "$qt" "$other/again folder") >/dev/null
status=0
for file in Zanthorix-1.0-win64.zip Zanthorix-1.0-setup.exe; do
  if cmp -s "$build/$file" "$other/again folder/$file"; then
    echo "PASS: $file is the same: $(sha256sum <"$build/$file" | cut -c1-64)"
  else
    echo "FAIL: $file differs when packaged again"
    status=1
  fi
done
exit $status
