#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Gives every source file an SPDX licence line at its top (after a #! line).
#   tools/spdx.sh          adds the line where it is missing
#   tools/spdx.sh --check  lists the files without one; fails when there are any
set -euo pipefail
cd "$(dirname "$0")/.."
licence=GPL-3.0-or-later
check=false
[ "${1:-}" = --check ] && check=true

# C++, CMake, make and shell files that git knows of, debian/ aside (its
# licence is in debian/copyright).
sources() {
  git ls-files --cached --others --exclude-standard | while IFS= read -r file; do
    [ -f "$file" ] || continue
    case "$file" in
      debian/*) ;;
      *.cpp | *.h) echo "// $file" ;;
      *.sh | *.cmake | CMakeLists.txt | */CMakeLists.txt | Makefile) echo "# $file" ;;
      *) head -c 2 "$file" | grep -q '^#!' && echo "# $file" ;;
    esac
  done
}

missing=0
while read -r comment file; do
  head -3 "$file" | grep -q 'SPDX-License-Identifier:' && continue
  if $check; then
    echo "No SPDX-License-Identifier line: $file"
    missing=1
  elif head -c 2 "$file" | grep -q '^#!'; then
    sed -i "1a $comment SPDX-License-Identifier: $licence" "$file"
  else
    sed -i "1i $comment SPDX-License-Identifier: $licence" "$file"
  fi
done < <(sources)
exit $missing
