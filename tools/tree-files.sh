#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Lists the files of the source tree, NUL-separated, in no particular order:
# in a git checkout what git knows of and new files it does not ignore; in
# an unpacked release, which has no .git, every file but those .gitignore
# names (build folders, packages, the release itself).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -e .git ]; then
  exec git ls-files -z --cached --others --exclude-standard
fi

# .gitignore as find sees it: a leading / ties a pattern to the top, a
# trailing / makes it a folder, anything else matches a name anywhere.
prune=(-path ./.git)
while IFS= read -r pattern; do
  case "$pattern" in '' | '#'* | '!'*) continue ;; esac
  test=(-name "${pattern%/}")
  case "$pattern" in /*) test=(-path ".${pattern%/}") ;; esac
  case "$pattern" in */) test=(-type d "${test[@]}") ;; esac
  prune+=(-o "${test[@]}")
done <.gitignore
find . \( "${prune[@]}" \) -prune -o ! -type d -printf '%P\0'
