#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the Windows game folder, its zip and its installer from a build:
#   package.sh <Windows build folder> <Qt prefix> <output folder>
# The folder holds the game, its data, and only the DLLs that it and its
# plugins import, found among Qt's and the compiler's.
set -euo pipefail
build=$(readlink -f "$1") qt=$(readlink -f "$2") out=$(readlink -f "$3")
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
name=Zanthorix-1.0-win64
stage=$out/$name
rm -rf "$stage" "$out/$name.zip" "$out/Zanthorix-1.0-setup.exe"
mkdir -p "$stage/platforms" "$stage/styles"

cp "$build/Zanthorix.exe" "$stage/"
for file in pop.wav pop2.wav bgmusic.mid Zanthorix.hlp; do cp "$build/$file" "$stage/"; done
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
licence=$source_dir/COPYING
[ -f "$licence" ] || licence=/usr/share/common-licenses/GPL-3
sed 's/$/\r/' "$licence" >"$stage/COPYING.txt"

objdump=x86_64-w64-mingw32-objdump
search=("$qt/bin" /usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib)
queue=("$stage/Zanthorix.exe" "$stage"/platforms/*.dll "$stage"/styles/*.dll)
while [ ${#queue[@]} -gt 0 ]; do
  binary=${queue[0]}
  queue=("${queue[@]:1}")
  for dll in $("$objdump" -p "$binary" | awk '/DLL Name:/ {print $3}'); do
    [ -e "$stage/$dll" ] && continue
    for dir in "${search[@]}"; do
      if [ -f "$dir/$dll" ]; then
        cp "$dir/$dll" "$stage/"
        queue+=("$stage/$dll")
        break
      fi
    done # not found: a DLL of Windows itself
  done
done

# No debugging symbols in what players download.
find "$stage" -iname '*.dll' -o -iname '*.exe' | xargs x86_64-w64-mingw32-strip --strip-unneeded

# Stable contents and times, so that the same sources give the same zip.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null || echo 0)}
find "$stage" -exec touch -h -d "@$epoch" {} +
(cd "$out" && find "$name" | LC_ALL=C sort | TZ=UTC zip -q -X -D -@ "$name.zip")

# The installer: every file by name, so that uninstalling removes only those.
list=$out/files.nsh unlist=$out/unfiles.nsh
: >"$list"
: >"$unlist"
while IFS= read -r dir; do
  win=${dir//\//\\}
  echo "SetOutPath \"\$INSTDIR${win:+\\$win}\"" >>"$list"
  find "$stage/$dir" -maxdepth 1 -type f -printf '%P\n' | LC_ALL=C sort | while IFS= read -r file; do
    echo "File \"$stage/${dir:+$dir/}$file\"" >>"$list"
    echo "Delete \"\$INSTDIR${win:+\\$win}\\$file\"" >>"$unlist"
  done
done < <(cd "$stage" && find . -type d -printf '%P\n' | LC_ALL=C sort)
echo 'SetOutPath "$INSTDIR"' >>"$list"
(cd "$stage" && find . -mindepth 1 -type d -printf '%P\n' | LC_ALL=C sort -r) |
  while IFS= read -r dir; do echo "RMDir \"\$INSTDIR\\${dir//\//\\}\"" >>"$unlist"; done
convert "$source_dir"/resources/icons/zanthorix-{16,24,32,48,64,256}.png "$out/setup.ico"
makensis -V2 -DSTAGE="$stage" -DOUTFILE="$out/Zanthorix-1.0-setup.exe" -DICON="$out/setup.ico" \
  -DFILELIST="$list" -DUNFILELIST="$unlist" "$source_dir/installer/zanthorix.nsi"
du -b "$stage/Zanthorix.exe" "$out/$name.zip" "$out/Zanthorix-1.0-setup.exe"
