#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, then builds and runs every test twice: in the
# normal build and under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
deps/install.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0
for variant in build:OFF build-asan:ON; do
  dir=${variant%%:*}
  sanitize=${variant##*:}
  echo "== $dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZANTHORIX_WERROR=ON -DZANTHORIX_SANITIZE="$sanitize" >/dev/null
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 600 || status=1
done
# The high-score file reader under the fuzzer, from its saved corpus, briefly.
echo "== fuzz"
make --no-print-directory fuzz FUZZ_SECONDS="${FUZZ_SECONDS:-20}" || status=1
# The Debian package: built, checked, installed into a scratch root, played
# by an unprivileged user and by root, and purged. The tests above already
# ran twice, so the package build skips them (`make deb` alone runs them).
echo "== package"
DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:-} nocheck" tests/package/tst_package.sh build || status=1
# Every source file says its licence.
echo "== licence"
tools/spdx.sh --check || status=1

exit $status
