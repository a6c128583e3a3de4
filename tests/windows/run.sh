#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the Windows build's test programs under Wine, on a private X server,
# with a fresh Wine prefix and a private sound server that has a null sink.
# Usage: tests/windows/run.sh <windows build folder>
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

# The Qt DLLs and plugins come from the Qt the build was made with, the
# compiler's own DLLs from the compiler.
qt=$(sed -n 's|^Qt6_DIR:[A-Z]*=\(.*\)/lib/cmake/Qt6$|\1|p' "$build/CMakeCache.txt")
runtime=()
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  runtime+=("$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=$dll)")")
done
winepath=$(for dir in "$build" "$qt/bin" "${runtime[@]}"; do winepath -w "$dir"; done 2>/dev/null |
  paste -sd';')
export WINEPATH=$winepath
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
for exe in "$build"/tests/tst_*.exe; do
  name=$(basename "$exe" .exe)
  # No one may add files to /sys: the game folder of a system-wide install.
  result=$(winepath -w "$work/$name.txt")
  ZANTHORIX_LOCKED_FOLDER='Z:/sys/' timeout 600 wine "$exe" -platform offscreen -o "$result,txt" \
    >/dev/null 2>&1
  code=$?
  # A test without a GUI application refuses -platform before writing anything.
  if [ ! -e "$work/$name.txt" ]; then
    timeout 600 wine "$exe" -o "$result,txt" >/dev/null 2>&1
    code=$?
  fi
  record "$name" "$work/$name.txt" $code
done

# The whole game, ended by the session with tables not yet saved: the file
# beside it is written before the session's end is answered and the process
# is killed.
game=$work/game
mkdir -p "$game" && cp "$build"/Zanthorix.exe "$build"/*.wav "$build"/*.mid "$game"/ 2>/dev/null
wine "$game/Zanthorix.exe" -platform windows >/dev/null 2>&1 &
gamepid=$!
for _ in $(seq 600); do
  xdotool search --name '^Zanthorix$' >/dev/null 2>&1 && break
  kill -0 $gamepid 2>/dev/null || break
  sleep 0.1
done
wineboot --end-session --kill >/dev/null 2>&1
wait $gamepid 2>/dev/null
size=$(stat -c %s "$game/HighScores.Dat" 2>/dev/null || echo none)
if [ "$size" = 5400 ]; then
  echo "PASS session end: the scores were saved"
  passed=$((passed + 1))
else
  echo "FAIL session end: HighScores.Dat is $size bytes"
  failed=$((failed + 1))
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
