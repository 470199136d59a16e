#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What the clean-up of abandoned work folders does with things it must not touch, with the real
# morvane-cli: a link named like a work folder, the work folder of a run on another host (a
# killed run in a UTS namespace of its own), the same a week later, and a live run in another
# PID namespace while a second run starts in the same folder. Prints one line per case.
# Needs unshare (root, or unprivileged user namespaces) for the namespace cases.
#
#   bench/work_folder_safety.sh [BUILD_DIR]
set -euo pipefail

build_dir=$(realpath "${1:-build}")
# shellcheck source=bench/bench_common.sh
source "$(dirname "$0")/bench_common.sh"
bench_setup
make_clips 1 2 160x120 testsrc
short=${files[0]}
mkdir -p "$work/long"
"$real_ffmpeg" -v error -nostdin -y -f lavfi -i "testsrc=size=640x480:rate=25:duration=40" \
    -f lavfi -i "sine=duration=40" -c:v mpeg4 -c:a libmp3lame "$work/long/long.avi"

log="${XDG_DATA_HOME:-$HOME/.local/share}/Morvane/Morvane/log.txt"
yes_no() { if "$@"; then echo yes; else echo no; fi; }
logged() { [ -f "$log" ] && grep -qF -- "$1" "$log"; }
run() { "$cli" -t 1 -o "$work/out" "$@" >/dev/null 2>&1; }
as_user() { if [ "$(id -u)" = 0 ]; then "$@"; else unshare --map-root-user "$@"; fi; }

# A link in a shared folder, pointing at a folder of someone's.
mkdir -p "$work/precious"
echo "keep me" >"$work/precious/file"
ln -s "$work/precious" "$work/out/.morvane-work-planted"
run "$short"
echo "link .morvane-work-planted -> a folder: file kept $(yes_no test -f "$work/precious/file")," \
    "link kept $(yes_no test -L "$work/out/.morvane-work-planted")," \
    "named in log.txt $(yes_no logged .morvane-work-planted)"
rm "$work/out/.morvane-work-planted" "$work/out/"*.3gp

# A run on "another host", killed: its work folder stays behind.
# shellcheck disable=SC2016
as_user unshare --uts sh -c 'hostname otherhost; exec "$0" -t 1 -o "$1" "$2"' \
    "$cli" "$work/out" "$work/long/long.avi" >/dev/null 2>&1 &
foreign=$!
for _ in $(seq 200); do
    ls -d "$work/out/.morvane-work-"* >/dev/null 2>&1 && break
    sleep 0.05
done
sleep 0.5
pkill -KILL -P "$foreign" 2>/dev/null || true
kill -KILL "$foreign" 2>/dev/null || true
wait "$foreign" 2>/dev/null || true
left=$(ls -d "$work/out/.morvane-work-"* 2>/dev/null | head -1)
if [ -n "$left" ]; then
    run "$short"
    echo "another host's work folder: kept $(yes_no test -d "$left")," \
        "named in log.txt $(yes_no logged "$(basename "$left")")"
    touch -h -d "8 days ago" "$left/owner" "$left"
    run "$short"
    echo "another host's work folder, a week old: removed $(yes_no test ! -e "$left")"
else
    echo "another host's work folder: not made (unshare --uts refused?)"
fi
rm -f "$work/out/"*.3gp

# A live run in a PID namespace of its own while a second run starts in the same folder.
as_user unshare --pid --fork "$cli" -t 1 -o "$work/out" "$work/long/long.avi" \
    >"$work/live.txt" 2>&1 &
live=$!
for _ in $(seq 200); do
    ls -d "$work/out/.morvane-work-"* >/dev/null 2>&1 && break
    sleep 0.05
done
run "$short"
overlapped=$(yes_no kill -0 "$live" 2>/dev/null)
status=0
wait "$live" || status=$?
echo "a live run in another PID namespace while a second run starts (and ends first:" \
    "$overlapped): its exit code $status, its output present $(yes_no test -f "$work/out/long.3gp")"
