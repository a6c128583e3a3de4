#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the Windows build's test programs under Wine, on a private X server,
# with a fresh Wine prefix and a private sound server that has a null sink,
# against the release as a player unpacks it: the game and its tests take Qt,
# its plugins and the compiler's runtime from the unpacked zip only.
# Usage: tests/windows/run.sh <windows build folder> [<Linux build's score_script>]
# Prints "N passed, N failed" (test functions) and exits non-zero on failure.
set -uo pipefail
build=$(cd "${1:?usage: run.sh <windows build folder>}" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/zanthorix-wine.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export XDG_RUNTIME_DIR=$work/run TMPDIR=$work/tmp
mkdir -p "$XDG_RUNTIME_DIR" "$TMPDIR" && chmod 700 "$XDG_RUNTIME_DIR"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
# Short sounds only play, and MCI only reports their end, with an output.
if command -v pulseaudio >/dev/null; then
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes \
    --load=module-null-sink --load=module-native-protocol-unix 2>/dev/null &
  pids+=($!)
fi

wineboot -i >/dev/null 2>&1

# The release, unpacked twice: once for the player's runs, in a folder whose
# name has a letter outside every ANSI code page, and once with the test
# programs beside it, with what only they need (QtTest, the offscreen
# platform) from the Qt they were built with.
qt=$(sed -n 's|^Qt6_DIR:[A-Z]*=\(.*\)/lib/cmake/Qt6$|\1|p' "$build/CMakeCache.txt")
zip=$build/Zanthorix-1.0-win64.zip
game="$work/Spiele/Zanthorix ☃/Zanthorix-1.0-win64"
tests=$work/release/Zanthorix-1.0-win64
mkdir -p "${game%/*}" "$work/release"
unzip -q "$zip" -d "${game%/*}" && unzip -q "$zip" -d "$work/release" || { echo "FAIL: cannot unpack $zip"; exit 1; }
mkdir -p "$tests/tests/platforms"
cp "$build"/tests/tst_*.exe "$qt/bin/Qt6Test.dll" "$tests/tests/"
cp "$qt/plugins/platforms/qoffscreen.dll" "$tests/tests/platforms/"
# Qt's offscreen platform on Windows finds fonts only in a folder it is
# given. Wine keeps Unix QT_* variables from the program but hands it WINEQT_*
# ones as QT_*.
fonts=/usr/share/fonts/truetype/dejavu
[ -d $fonts ] && export WINEQT_QPA_FONTDIR=$(winepath -w $fonts)

passed=0 failed=0
record() { # name, result file, exit code
  local totals
  totals=$(grep -a '^Totals:' "$2" 2>/dev/null | tail -1)
  if [ -z "$totals" ]; then
    echo "FAIL $1: no result (exit code $3)"
    failed=$((failed + 1))
    return
  fi
  passed=$((passed + $(sed 's/.* \([0-9]*\) passed.*/\1/' <<<"$totals")))
  failed=$((failed + $(sed 's/.* \([0-9]*\) failed.*/\1/' <<<"$totals")))
  if [ "$3" -ne 0 ] || grep -aq '^FAIL!' "$2"; then
    grep -a -A3 '^FAIL!' "$2"
    echo "FAIL $1: $totals"
  else
    echo "PASS $1: $totals"
  fi
}

# QtTest writes nothing to a redirected stdout under Wine: results go to a file.
for exe in "$tests"/tests/tst_*.exe; do
  name=$(basename "$exe" .exe)
  # No one may add files to /sys: the game folder of a system-wide install.
  result=$(winepath -w "$work/$name.txt")
  ZANTHORIX_LOCKED_FOLDER='Z:/sys/' WINEPATH=$(winepath -w "$tests") \
    WINEQT_PLUGIN_PATH=$(winepath -w "$tests") timeout 600 wine "$exe" -platform offscreen -o "$result,txt" \
    >/dev/null 2>&1
  code=$?
  # A test without a GUI application refuses -platform before writing anything.
  if [ ! -e "$work/$name.txt" ]; then
    WINEPATH=$(winepath -w "$tests") timeout 600 wine "$exe" -o "$result,txt" >/dev/null 2>&1
    code=$?
  fi
  record "$name" "$work/$name.txt" $code
done

check() { # name, condition...
  local name=$1
  shift
  if "$@"; then
    echo "PASS $name"
    passed=$((passed + 1))
  else
    echo "FAIL $name"
    failed=$((failed + 1))
  fi
}

# The same run of games writes the same score file here and on Linux.
same_file() {
  mkdir -p "$work/scores-windows" "$work/scores-linux"
  WINEPATH=$(winepath -w "$tests") timeout 300 wine "$tests/tests/score_script.exe" \
    "$(winepath -w "$work/scores-windows")\\" >/dev/null 2>&1
  "$linux_script" "$work/scores-linux/" &&
    cmp "$work/scores-windows/HighScores.Dat" "$work/scores-linux/HighScores.Dat"
}
linux_script=${2:-}
if [ -n "$linux_script" ]; then
  cp "$build/tests/score_script.exe" "$tests/tests/"
  check "the same games write the same score file as on Linux" same_file
fi

# The game as the player starts it: every DLL it loads that is not Wine's
# own comes from the release, and its About window shows the icon.
WINEDEBUG=-all,+loaddll wine "$game/Zanthorix.exe" >/dev/null 2>"$work/loaddll.txt" &
gamepid=$!
main=
for _ in $(seq 600); do
  main=$(xdotool search --name '^Zanthorix v1\.0$' 2>/dev/null | head -1)
  [ -n "$main" ] && break
  kill -0 $gamepid 2>/dev/null || break
  sleep 0.1
done
about=
if [ -n "$main" ]; then
  sleep 1
  xdotool windowfocus "$main" key alt+h 2>/dev/null
  sleep 0.5
  xdotool key a 2>/dev/null
  for _ in $(seq 100); do
    about=$(xdotool search --name '^About\.\.\.$' 2>/dev/null | head -1)
    [ -n "$about" ] && break
    sleep 0.1
  done
fi
if [ -n "$about" ]; then
  sleep 1
  import -window "$about" "$work/about.png" 2>/dev/null
  mkdir -p "$build/screenshots" && cp "$work/about.png" "$build/screenshots/about.png"
fi
# Left of the bevel the client area holds only the icon: many colours there.
icon_colours() {
  [ -s "$work/about.png" ] || return 1
  local colours
  colours=$(convert "$work/about.png" -crop 46x120+0+30 +repage -unique-colors \
    -format '%w' info: 2>/dev/null)
  [ "${colours:-0}" -ge 8 ]
}
check "About shows the program's icon" icon_colours
from_release() {
  local loaded outside
  local folder
  # Wine's log doubles each backslash and writes a letter beyond ASCII as \xxxx.
  folder=$(winepath -w "$game" | sed 's/☃/\\2603/')\\
  loaded=$(grep -a 'Loaded L"' "$work/loaddll.txt" | grep -a ': native' |
    sed 's/.*Loaded L"\([^"]*\)".*/\1/; s/\\\\/\\/g')
  outside=$(grep -avi '^c:\\windows\\' <<<"$loaded" | grep -avF "$folder")
  [ -z "$outside" ] || { echo "$outside" | sed 's/^/  not from the release: /'; return 1; }
  for dll in Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll 'platforms\qwindows.dll' \
    'styles\qwindowsvistastyle.dll' 'imageformats\qico.dll' libstdc++-6.dll; do
    grep -aqiF "\\$dll" <<<"$loaded" || { echo "  not loaded: $dll"; return 1; }
  done
}
check "the game loads only the release's DLLs and plugins" from_release

# The same game, ended by the session with tables not yet saved: the file
# beside it is written before the session's end is answered and the process
# is killed.
wineboot --end-session --kill >/dev/null 2>&1
wait $gamepid 2>/dev/null
size=$(stat -c %s "$game/HighScores.Dat" 2>/dev/null || echo none)
check "session end saves the scores ($size bytes)" test "$size" = 5400

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
