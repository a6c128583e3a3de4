#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installer under Wine, in a fresh prefix on its own X server: a silent
# install, the game started from the installed folder and closed the way
# Windows closes a program, then a silent uninstall that leaves the player's
# scores and name.
#   tst_installer.sh <folder holding Zanthorix-1.0-setup.exe>
set -euo pipefail
setup=$(readlink -f "$1/Zanthorix-1.0-setup.exe")
scratch=$(mktemp -d)
xvfb=
cleanup() {
  WINEPREFIX=$scratch/prefix wineserver -k 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
read -r -t 30 -u "$fd" number || fail "no X server"
export DISPLAY=:$number WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot --init >/dev/null 2>&1
wineserver -w

drive=$WINEPREFIX/drive_c
folder="$drive/Program Files/Zanthorix"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zanthorix'
wine "$setup" /S >/dev/null 2>&1
wineserver -w
for file in Zanthorix.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll platforms/qwindows.dll imageformats/qico.dll \
  pop.wav pop2.wav bgmusic.mid Zanthorix.hlp README.txt COPYING.txt Qt-LGPL-3.txt THIRD-PARTY.txt Uninstall.exe; do
  [ -f "$folder/$file" ] || fail "not installed: $file"
done
wine reg query "$key" /v UninstallString 2>/dev/null | grep -q 'Uninstall.exe' ||
  fail "no entry in the installed programs"
find "$drive" -iname 'Zanthorix.lnk' | grep -qi 'Start Menu' || fail "no Start-menu shortcut"

# Started from the installed folder, the game shows its window; closed as
# Windows closes a program, it saves its tables.
wine "C:\\Program Files\\Zanthorix\\Zanthorix.exe" >/dev/null 2>&1 &
for _ in $(seq 120); do
  xdotool search --name '^Zanthorix v1\.0$' >/dev/null 2>&1 && break
  sleep 0.5
done
xdotool search --name '^Zanthorix v1\.0$' >/dev/null 2>&1 || fail "the installed game shows no window"
wine taskkill /IM Zanthorix.exe >/dev/null 2>&1 || true
wineserver -w
scores=$(find "$drive" -name HighScores.Dat | head -1)
[ -n "$scores" ] && [ "$(stat -c %s "$scores")" -eq 5400 ] || fail "no tables saved at exit"
cp "$scores" "$scratch/scores"
wine reg add 'HKCU\Software\Mirrowdale\Zanthorix\v1.0' /v User /t REG_SZ /d Tester /f >/dev/null 2>&1

wine "$folder/Uninstall.exe" /S >/dev/null 2>&1
wineserver -w
[ ! -e "$folder/Zanthorix.exe" ] || fail "Zanthorix.exe left behind"
[ -z "$(find "$folder" -name '*.dll' 2>/dev/null)" ] || fail "DLLs left behind"
! find "$drive" -iname 'Zanthorix.lnk' | grep -q . || fail "shortcut left behind"
! wine reg query "$key" >/dev/null 2>&1 || fail "entry left in the installed programs"
cmp -s "$scores" "$scratch/scores" || fail "the scores did not survive the uninstall"
wine reg query 'HKCU\Software\Mirrowdale\Zanthorix\v1.0' /v User 2>/dev/null | grep -q Tester ||
  fail "the player's name did not survive the uninstall"
echo "PASS: install, start, uninstall"
