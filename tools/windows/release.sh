# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the release scripts: the game's version and the release's one
# date (SOURCE_DATE_EPOCH), both from the latest debian/changelog entry.
changelog=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/debian/changelog
version=$(awk 'NR == 1 { gsub(/[()]/, "", $2); sub(/-[^-]*$/, "", $2); print $2 }' "$changelog")
SOURCE_DATE_EPOCH=$(date -d "$(sed -n 's/^ -- .*>  //p' "$changelog" | head -1)" +%s)
export SOURCE_DATE_EPOCH
