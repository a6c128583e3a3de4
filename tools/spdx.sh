#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Gives every text source an SPDX licence line near its top, as a comment of
# its own kind: after a #! line, an XML declaration or a DOCTYPE.
#   tools/spdx.sh          adds the line where it is missing
#   tools/spdx.sh --check  lists the files without one; fails when there are any
set -euo pipefail
cd "$(dirname "$0")/.."
check=false
[ "${1:-}" = --check ] && check=true

# Each file with the comment its kind takes ("<!--" closes with "-->") and
# its licence. Exempt: debian/ (its licences are in debian/copyright), the
# licence text itself, the pictures, sounds and tune, which stay byte for
# byte as their generators made them, and the fuzzer's binary inputs.
sources() {
  tools/tree-files.sh | while IFS= read -r -d '' file; do
    [ -f "$file" ] || continue
    case "$file" in
      debian/* | COPYING | tests/fuzz/corpus/* | *.png | *.bmp | *.ico | *.wav | *.mid) ;;
      *.metainfo.xml) echo "<!-- FSFAP $file" ;;
      *.cpp | *.h | *.rc) echo "// GPL-3.0-or-later $file" ;;
      *.ui | *.qrc | *.xml | *.manifest | *.hlp | *.md) echo "<!-- GPL-3.0-or-later $file" ;;
      *.nsi) echo "; GPL-3.0-or-later $file" ;;
      *.6 | *.6.in) echo '.\" GPL-3.0-or-later '"$file" ;;
      *.sh | *.cmake | CMakeLists.txt | */CMakeLists.txt | Makefile | *.supp | *.desktop.in | \
        deps/*.txt | .clang-format | .gitignore) echo "# GPL-3.0-or-later $file" ;;
      *) head -c 2 "$file" | grep -q '^#!' && echo "# GPL-3.0-or-later $file" ;;
    esac
  done
}

missing=0
while read -r comment licence file; do
  head -3 "$file" | grep -q 'SPDX-License-Identifier:' && continue
  if $check; then
    echo "No SPDX-License-Identifier line: $file"
    missing=1
    continue
  fi
  line="$comment SPDX-License-Identifier: $licence"
  [ "$comment" = '<!--' ] && line="$line -->"
  line=${line//\\/\\\\} # sed's a and i take a backslash as an escape
  if head -1 "$file" | grep -qE '^(#!|<\?xml|<!DOCTYPE)'; then
    sed -i "1a $line" "$file"
  else
    sed -i "1i $line" "$file"
  fi
done < <(sources)
exit $missing
