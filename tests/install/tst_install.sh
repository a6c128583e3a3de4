#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the built game into a fresh prefix, starts it from its link, ends
# it the orderly way, and uninstalls it.
#   tst_install.sh <build folder> <source folder>
set -euo pipefail
build=$1
source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

game="$prefix/lib/zanthorix"
for file in "$prefix/bin/zanthorix" "$game/zanthorix" "$game/libzanthorix_audio.so" "$game/pop.wav" "$game/pop2.wav" \
  "$game/bgmusic.mid" "$game/Zanthorix.hlp" "$prefix/share/applications/zanthorix.desktop" \
  "$prefix/share/metainfo/io.github.mirrowdale.zanthorix.metainfo.xml" "$prefix/share/man/man6/zanthorix.6" \
  "$prefix"/share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/zanthorix.png; do
  [ -e "$file" ] || fail "$file was not installed"
done
[ "$(readlink -f "$prefix/bin/zanthorix")" = "$(readlink -f "$game/zanthorix")" ] ||
  fail "bin/zanthorix does not lead to the game folder"
grep -qx "Exec=$prefix/bin/zanthorix" "$prefix/share/applications/zanthorix.desktop" ||
  fail "the desktop entry does not start the installed game"
desktop-file-validate "$prefix/share/applications/zanthorix.desktop" || fail "desktop entry refused"
grep -qx ".I $game/HighScores.Dat" "$prefix/share/man/man6/zanthorix.6" ||
  fail "the manual page does not say where this install keeps the scores"

# Started through the link from another folder: it finds its folder, opens
# its music without a box (a box would keep it from ending), and saves the
# high scores beside itself when the session ends it.
config=$(mktemp -d -p "$prefix")
(cd / && QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME=$config \
  "$prefix/bin/zanthorix") &
pid=$!
sleep 2
kill -TERM $pid
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then
  kill -KILL $pid
  fail "the game did not end on SIGTERM (a box waiting?)"
fi
wait $pid || fail "the game ended with status $?"
[ "$(stat -c %s "$game/HighScores.Dat")" -eq 5400 ] || fail "no high scores beside the game"

make -s -C "$source" uninstall PREFIX="$prefix" >/dev/null
left=$(cd "$prefix" && find . -type f -o -type l | grep -v '^./tmp' | sort)
[ "$left" = "./lib/zanthorix/HighScores.Dat" ] || fail "uninstall left or took: $left"
echo "PASS: installed, started from its link, saved its scores, uninstalled"
