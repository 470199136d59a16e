#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Phone conformance: makes the real-media matrix's files (real_media_matrix.sh --media-only),
# converts each with every profile of every output type through morvane-cli, and judges every
# output as a phone reads it (phone_boxes.py: boxes, sample tables, stream headers; no FFmpeg):
# index first, the level signalled and whether the video fits it, average and one-second peak
# against the level's rate, the esds fields, and the second encodes that the program made.
#
#   bench/phone_conformance.sh [BUILD_DIR] [--quick | --others] [--every K] [--stretch FACTOR]
#
# BUILD_DIR defaults to "build"; --quick converts with the default profiles only, --others with
# the other profiles only; --every K takes every K-th file only; --stretch
# FACTOR runs the default profiles again with every video rate option times FACTOR and
# compares one-second peaks and PSNR against the source. Not part of the tests.
# PHONE_CONFORMANCE_KEEP=1 keeps the temporary folder.
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/.." && pwd)
build_arg=build
extra=()
while [ $# -gt 0 ]; do
    case "$1" in
        --quick) extra+=(--quick) ;;
        --stretch|--every) extra+=("$1" "$2"); shift ;;
        --others) extra+=(--others) ;;
        -h|--help) sed -n '3,14p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
        -*) echo "unknown option $1" >&2; exit 2 ;;
        *) build_arg=$1 ;;
    esac
    shift
done
case "$build_arg" in
    /*) build_dir=$build_arg ;;
    *) build_dir=$top/$build_arg ;;
esac
cli=$build_dir/program/morvane-cli
[ -x "$cli" ] || { echo "no $cli: build morvane-cli first" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/phone_conformance.XXXXXX") || exit 1
cleanup() {
    if [ "${PHONE_CONFORMANCE_KEEP:-0}" = 1 ]; then echo "Kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$here/real_media_matrix.sh" "$build_dir" --media-only "$work/media" || exit 1
nice -n 10 python3 -B "$here/phone_conformance.py" --cli "$cli" --media "$work/media" \
    --work "$work" --jobs 2 "${extra[@]}"
