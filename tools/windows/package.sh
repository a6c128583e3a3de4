#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the Windows game folder, its zip and its installer from a build:
#   package.sh <Windows build folder> <Qt prefix> <output folder>
# The folder holds the game, its data, only the DLLs and plugins that it
# loads (found among Qt's and the compiler's), and the licence of everything
# in it. The same sources give the same zip and installer, byte for byte,
# whatever the time, time zone, umask or folder.
set -euo pipefail
build=$(readlink -f "$1") qt=$(readlink -f "$2") out=$(readlink -f "$3")
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
name=Zanthorix-1.0-win64
stage=$out/$name
rm -rf "$stage" "$out/$name.zip" "$out/Zanthorix-1.0-setup.exe"
mkdir -p "$stage/platforms" "$stage/styles" "$stage/imageformats"
# Every time stamped into the release is the date of the latest changelog entry.
. "$source_dir/tools/windows/release.sh"
export TZ=UTC LC_ALL=C

cp "$build/Zanthorix.exe" "$stage/"
for file in pop.wav pop2.wav bgmusic.mid Zanthorix.hlp; do cp "$build/$file" "$stage/"; done
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
# The About window's picture is the program's .ico.
cp "$qt/plugins/imageformats/qico.dll" "$stage/imageformats/"

objdump=x86_64-w64-mingw32-objdump
search=("$qt/bin" /usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib)
queue=("$stage/Zanthorix.exe" "$stage"/*/*.dll)
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

# No debugging symbols in what players download; strip stamps
# SOURCE_DATE_EPOCH into every PE header.
find "$stage" \( -iname '*.dll' -o -iname '*.exe' \) -print0 | xargs -0 x86_64-w64-mingw32-strip --strip-unneeded

"$source_dir/tools/windows/licences.sh" "$stage" "$qt"

# Stable modes, times and order, so that the same sources give the same zip.
chmod -R u=rwX,go=rX "$stage"
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
(cd "$out" && find "$name" | sort | zip -q -X -D -@ "$name.zip")

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
# The licence page: the game's licence, and where those of the rest are.
{
  printf 'Zanthorix is free software under the GNU General Public License, version 3 or\r\n'
  printf 'later, below. It comes with Qt and other libraries under their own licences:\r\n'
  printf 'THIRD-PARTY.txt in the installed folder holds them, and README.txt says\r\n'
  printf 'where the source of all of it is.\r\n\r\n'
  cat "$stage/COPYING.txt"
} >"$out/licence-page.txt"
makensis -V2 -DSTAGE="$stage" -DOUTFILE="$out/Zanthorix-1.0-setup.exe" -DICON="$out/setup.ico" \
  -DLICENCE="$out/licence-page.txt" -DFILELIST="$list" -DUNFILELIST="$unlist" "$source_dir/installer/zanthorix.nsi"
du -b "$stage/Zanthorix.exe" "$out/$name.zip" "$out/Zanthorix-1.0-setup.exe"
