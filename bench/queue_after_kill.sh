#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The remembered list after a kill, with the real window under Xvfb and openbox: six 5-minute
# clips, 2 side by side, 3GP + AAC and its first profile; while the first two convert the last
# row moves up one and a Delete on the running row is refused; SIGKILL once two rows are
# finished and two convert. The window starts again, "Retry failed" runs, and the script prints
# the statuses at the kill, after the restart and at the end, the files and their times, and
# any file written twice. Needs Xvfb, openbox, xdotool; with ImageMagick's convert it also
# takes pictures into SHOTS_DIR (queue-editing, restarted, per-job-profile).
#
#   bench/queue_after_kill.sh [BUILD_DIR] [SHOTS_DIR]
set -u

build_dir=$(realpath "${1:-build}")
shots=${2:-}
program="$build_dir/program/morvane"
[ -x "$program" ] || { echo "no $program: build first" >&2; exit 1; }
for tool in Xvfb openbox xdotool ffmpeg python3; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
work=$(mktemp -d)
display=:$((200 + RANDOM % 700))
export XDG_STATE_HOME=$work/state XDG_CONFIG_HOME=$work/config DISPLAY=$display
export QT_QPA_PLATFORM=xcb
state=$XDG_STATE_HOME/Morvane/queue.json
mkdir -p "$XDG_CONFIG_HOME/Morvane" "$work/out" "$work/clips"
[ -n "$shots" ] && mkdir -p "$shots"
printf '[destination]\nDefault=%s/out/\n[jobs]\nDefault=2\n' "$work" \
    >"$XDG_CONFIG_HOME/Morvane/Morvane.conf"
for i in 1 2 3 4 5 6; do
    ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=size=352x288:rate=15:duration=300" \
        -f lavfi -i "sine=frequency=$((300 + i * 100)):duration=300" -c:v mpeg4 -q:v 5 \
        -c:a libmp3lame -shortest "$work/clips/clip$i.avi" &
done
wait
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
app=
trap 'kill $app $wm $xvfb 2>/dev/null; rm -rf "$work"' EXIT
sleep 1

# The window's frame is at the screen's top left: points below are screen points.
shot() {
    [ -n "$shots" ] && command -v /usr/bin/convert >/dev/null &&
        xwd -root -silent | /usr/bin/convert xwd:- -crop "$2+0+0" +repage "$shots/$1.png"
}
statuses() {
    python3 - "$state" <<'PY'
import collections, json, sys
try:
    d = json.load(open(sys.argv[1]))
except Exception as error:
    print("unreadable:", error); sys.exit()
count = collections.Counter(j["status"] for j in d["jobs"])
print(" ".join(f"{k}={v}" for k, v in sorted(count.items())),
      f"| type {d['outputType']} profile {d['profile']} side by side {d['simultaneousJobs']} |",
      ", ".join(j["source"].split("/")[-1] + ":" + j["status"] for j in d["jobs"]))
PY
}
count_of() { statuses | grep -o "$1=[0-9]*" | cut -d= -f2; }
start_window() {
    "$program" "$@" >/dev/null 2>&1 &
    app=$!
    for _ in $(seq 100); do xdotool search --name '^Morvane$' >/dev/null 2>&1 && break; sleep 0.1; done
    sleep 2
}

start_window "$work"/clips/clip{1,2,3,4,5,6}.avi
xdotool mousemove 525 58 click 1; sleep 0.7; xdotool key Down Return; sleep 0.7 # 3GP + AAC
xdotool mousemove 400 162 click 1; sleep 0.5                                    # first profile
xdotool mousemove 617 527 click 1                                               # Start
sleep 1.5
xdotool mousemove 100 338 click 1
xdotool key End ctrl+Up Home Delete
sleep 0.7
shot queue-editing 692x612
until [ "$(count_of finished)" -ge 2 ] 2>/dev/null && [ "$(count_of first-pass)" -ge 1 ] 2>/dev/null; do
    sleep 0.2
done
kill -9 "$app"
wait "$app" 2>/dev/null
echo "at the kill:       $(statuses)"
ls "$work/out" -a | grep -q morvane-work && echo "a work folder is left in the output folder"
stat -c '%n %y' "$work"/out/*.3gp >"$work/before"

start_window
shot restarted 692x612
xdotool mousemove 617 527 click 3; sleep 0.5; xdotool key r # the batch menu: Retry failed
begin=$(date +%s.%N)
sleep 1
while [ -n "$(count_of first-pass)$(count_of waiting)$(count_of interrupted)" ]; do sleep 0.3; done
echo "after Retry failed ($(printf '%.1f' "$(echo "$(date +%s.%N) - $begin" | bc)") s): $(statuses)"
ls -a "$work/out" | grep -q morvane-work && echo "a work folder is still there"
echo "files:"; (cd "$work/out" && stat -c '  %n %s bytes, %y' -- *)
stat -c '%n %y' "$work"/out/*.3gp >"$work/after"
echo "files finished before the kill and written again: $(grep -cvxFf "$work/after" "$work/before")"

sleep 1
xdotool key Return; sleep 0.5                              # the end box
xdotool mousemove 400 188 click 1; sleep 0.3               # the second profile
xdotool mousemove 100 352 click 1; sleep 0.3; xdotool key ctrl+t; sleep 0.3
xdotool mousemove 400 162 click 1; sleep 0.3               # the page back on the first
xdotool mousemove 330 356; sleep 0.3; xdotool mousemove 335 352; sleep 2
shot per-job-profile 840x640
