#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program in German (LANGUAGE=de) under openbox on Xvfb, one clip in the list, after
# Start met an output file that is there already: the question and Qt's own Cancel in German.
#   tests/app/screenshot_german_window.sh build/program/morvane docs/screenshots/window-de.png
# Needs Xvfb, openbox, xdotool and ffmpeg (x11grab).
set -eu
if [ -z "${MORVANE_UNDER_OPENBOX:-}" ]; then
    MORVANE_UNDER_OPENBOX=1 exec "$(dirname "$0")/run_under_openbox.sh" "$0" "$@"
fi
prog=$1
out=$2
work=$(mktemp -d)
trap 'kill $prog_pid 2>/dev/null; rm -rf "$work"' EXIT
ffmpeg -loglevel error -f lavfi -i testsrc=size=320x240:rate=15 -f lavfi -i sine=frequency=440 \
    -t 12 -c:v mpeg4 -c:a mp2 "$work/Urlaub am Meer.avi"
mkdir -p "$work/config" "$work/data" "$work/Videos"
# An output that is there already: Start asks what to do with it.
touch "$work/Videos/Urlaub am Meer.3gp"
LANGUAGE=de HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
    "$prog" "$work/Urlaub am Meer.avi" >/dev/null 2>&1 &
prog_pid=$!
xdotool search --sync --onlyvisible --name Morvane >/dev/null
sleep 3 # the first still and the profiles
# Start (the picture button at the bottom right), then the pointer out of the picture.
xdotool mousemove 617 527 click 1 mousemove 1000 700
sleep 10
# openbox puts the window at 0,0: 692 x 610 with its frame.
ffmpeg -loglevel error -y -f x11grab -video_size 692x610 -i "$DISPLAY+0,0" -update 1 -frames:v 1 \
    "$out"
