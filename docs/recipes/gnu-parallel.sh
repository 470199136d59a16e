#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Converts every clip under a folder with GNU parallel, two morvane-cli runs at a time, all
# into one output folder; a JSON line per event of each run lands in results.jsonl.
#   docs/recipes/gnu-parallel.sh ~/Videos ~/Phone
set -euo pipefail
source_dir=$1
output_dir=$2
find "$source_dir" -type f \( -iname '*.avi' -o -iname '*.mp4' -o -iname '*.mov' \
    -o -iname '*.mpg' -o -iname '*.wmv' -o -iname '*.mp3' -o -iname '*.wav' \) -print0 |
    parallel -0 --jobs 2 --line-buffer \
        morvane-cli --json --skip-existing -o "$output_dir" {} >>results.jsonl
# Equal names from different folders (two video.avi) get "video (2).3gp" and the JSON line says
# which is which; add --keep-folders "$source_dir" to mirror the folders under $output_dir instead.
# Run again, --skip-existing converts only what is missing or has changed.
# The same list split without parallel: four processes, each its own share.
#   find ... -print0 > list
#   for k in 0 1 2 3; do morvane-cli --files-from list -0 --shard $k/4 -o "$output_dir" & done; wait
