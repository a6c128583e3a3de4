#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package and checks it; as root, also installs it into a
# scratch root, plays it twice as an unprivileged player and once as root,
# and purges it.
#   tst_package.sh <build folder holding tests/libread_scores.so>
set -euo pipefail
top=$(dirname "$0")/../..
# The release tarball leaves the Debian packaging out: there is no package
# to build from it alone.
if [ ! -f "$top/debian/control" ]; then
  echo "SKIP: no debian/ here (the release tarball leaves the packaging out): no package to build"
  exit 0
fi
reader=$(readlink -f "$1/tests/libread_scores.so")
cd "$top"
scratch=$(mktemp -d)
pid=
trap '[ -z "$pid" ] || kill -KILL $pid 2>/dev/null; rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; cat "$scratch/log" 2>/dev/null; exit 1; }

make deb >"$scratch/build.log" 2>&1 || { tail -40 "$scratch/build.log"; fail "make deb"; }
deb=$(ls build-deb/zanthorix_*.deb)
lintian --fail-on error,warning build-deb/zanthorix_*.changes || fail "lintian"
# Installing into a root and playing as another user take root.
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: installing and playing the package need root; it was built and checked"
  exit 0
fi

root=$scratch/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# The host's libraries stand in for the root's own.
dpkg --root="$root" --force-depends --install "$deb" >/dev/null 2>&1 || fail "dpkg --install"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >/dev/null || fail "metainfo refused"
desktop-file-validate "$root/usr/share/applications/zanthorix.desktop" || fail "desktop entry refused"
grep -qx 'Exec=/usr/games/zanthorix' "$root/usr/share/applications/zanthorix.desktop" || fail "Exec"

# The player: nobody, with a home that only they may write.
player=$scratch/player
mkdir -p "$player"
cp "$reader" "$scratch/read_scores.so"
chmod 755 "$scratch"
chown 65534:65534 "$player"
game=$root/usr/lib/games/zanthorix
scores=$player/data/Mirrowdale/Zanthorix/HighScores.Dat
folder() { find "$game" -printf '%P %s %m %u %T@\n' | sort; }
before=$(folder)

# Plays until the High Scores window has been read, then ends the game the
# way the session does; the window's lines land in $scratch/shown.
#   play [uid home]: nobody in $player unless told
play() {
  local uid=${1:-65534} home=${2:-$player}
  : >"$scratch/shown"
  (cd / && exec setpriv --reuid="$uid" --regid="$uid" --clear-groups \
    env HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
    QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy LD_PRELOAD="$scratch/read_scores.so" \
    "$root/usr/games/zanthorix" >"$scratch/shown" 2>"$scratch/log") &
  pid=$!
  for _ in $(seq 300); do grep -q '^$' "$scratch/shown" && break; sleep 0.1; done
  kill -TERM $pid
  for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  kill -0 $pid 2>/dev/null && fail "the game did not end on SIGTERM"
  wait $pid || fail "the game ended with status $?"
  pid=
}

# Each player, root too, keeps a table of their own: the game folder is never written.
play
play 0 "$scratch/admin"
for table in "$scores" "$scratch/admin/data/Mirrowdale/Zanthorix/HighScores.Dat"; do
  [ "$(stat -c %s "$table" 2>/dev/null)" = 5400 ] || fail "no high scores in $table"
done
[ "$(folder)" = "$before" ] || fail "the game folder changed"

# First place of the four-ball table, the one shown at start: record 10.
printf '\x07Pkgtest' | dd of="$scores" bs=1 seek=1080 conv=notrunc status=none
printf '\xe1\x10\x00\x00' | dd of="$scores" bs=1 seek=1184 conv=notrunc status=none # 4321
cp "$scores" "$scratch/expected"
play
[ "$(head -1 "$scratch/shown")" = "$(printf 'Pkgtest\t4321')" ] ||
  fail "the High Scores window shows: $(head -3 "$scratch/shown")"
cmp -s "$scores" "$scratch/expected" || fail "the per-user scores changed"

dpkg --root="$root" --purge zanthorix >/dev/null
left=$(cd "$root" && find . -path ./var -prune -o ! -type d -print)
[ -z "$left" ] || fail "purge left: $left"
[ -d "$root/usr/lib/games/zanthorix" ] && fail "purge left the game folder"
cmp -s "$scores" "$scratch/expected" || fail "purge took the player's scores"
echo "PASS: package built, installed, played by nobody and root with scores of their own, purged"
