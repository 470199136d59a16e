#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence's SPDX line at the head of every source file of Morvane that lacks it: "//"
# in C++ files, "#" in CMake, shell and Python files (after a "#!" line). Files that have it are
# left alone, so the script can run again at any time.
#   add-spdx.sh           add the line where it is missing
#   add-spdx.sh --check   change nothing; list the files without it and fail if there are any
set -eu
tag="SPDX-License-Identifier: GPL-3.0-or-later"
top=$(cd "$(dirname "$0")/.." && pwd)
check=false
case "${1:-}" in
--check) check=true ;;
"") ;;
*)
    echo "usage: $0 [--check]" >&2
    exit 2
    ;;
esac

# The folders that hold sources (never a build tree) and the files at the top.
sources() {
    cd "$top"
    for file in CMakeLists.txt build.sh; do
        [ -f "$file" ] && echo "$file"
    done
    find src tests tools bench data help packaging -type f \( -name '*.cpp' -o -name '*.h' \
        -o -name '*.sh' -o -name '*.py' -o -name '*.cmake' -o -name CMakeLists.txt \) |
        LC_ALL=C sort
}

list=$(mktemp)
trap 'rm -f "$list"' EXIT
sources >"$list"
missing=0
while IFS= read -r file; do
    path="$top/$file"
    # The line counts where it stands: first, or second after a "#!" line.
    if head -n 2 "$path" | grep -q "$tag"; then
        continue
    fi
    missing=$((missing + 1))
    if $check; then
        echo "$file: no \"$tag\" line"
        continue
    fi
    case "$file" in
    *.cpp | *.h) line="// $tag" ;;
    *) line="# $tag" ;;
    esac
    if head -n 1 "$path" | grep -q '^#!'; then
        sed -i "1a $line" "$path"
    else
        sed -i "1i $line" "$path"
    fi
done <"$list"
if $check && [ "$missing" -gt 0 ]; then
    echo "$missing source files lack the licence line (run tools/add-spdx.sh)" >&2
    exit 1
fi
exit 0
