#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# morvane-cli as a render farm uses it, with figures:
#  1. GNU parallel, two calls at a time, one clip a call, over a list into one folder;
#  2. the same list split by --shard K/4 over four processes, each in a PID namespace of its
#     own (unshare --pid --fork, as root), into one folder: every output there exactly once,
#     no run fails (none removed a work folder another still used), nothing left over;
#  3. the time from a call's start to its first encoder (the JSON "started" event), with a
#     cold and with a warm cache of the encoder's capabilities;
#  4. bench/bench_cli.sh: a 6-clip batch, one job at a time, against the same ffmpeg command
#     lines run by a shell loop (wall-time ratio, goal <= 1.02) and morvane-cli's own CPU time
#     against its encoders' (goal <= 1.5%).
#
#   bench/cli_farm.sh [BUILD_DIR] [CLIPS] [ROUNDS] [BATCH_SECONDS]
# Defaults: ./build, 40 clips of 1 s, 5 start-time rounds, 60 s clips for the 6-clip batch.
set -euo pipefail

build_dir=$(realpath "${1:-build}")
clips=${2:-40}
rounds=${3:-5}
batch_seconds=${4:-60}
here=$(dirname "$(realpath "$0")")
# shellcheck source=bench/bench_common.sh
source "$here/bench_common.sh"
bench_setup
command -v parallel >/dev/null || { echo "GNU parallel is not installed" >&2; exit 1; }

# The calls keep their cache and settings apart from the user's.
export HOME="$work/home" XDG_CACHE_HOME="$work/home/.cache" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME"
log="$build_dir/program/log.txt"

echo "Making $clips clips of 1 s ..."
make_clips "$clips" 1 160x120 testsrc
list="$work/list"
printf '%s\0' "${files[@]}" >"$list"

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
log_lines() { if [ -f "$log" ]; then wc -l <"$log"; else echo 0; fi; }

# check_folder DIR LABEL: every clip's output in DIR exactly once (no "(2)"), each a 3GP file
# that ffprobe reads, and nothing else (no work folder, no hidden copy).
check_folder() {
    local dir=$1 label=$2 i missing=0 unreadable=0 extra
    for i in $(seq 1 "$clips"); do
        if [ ! -f "$dir/clip $i.3gp" ]; then
            missing=$((missing + 1))
        elif ! ffprobe -v error -show_entries format=format_name -of csv=p=0 \
            "$dir/clip $i.3gp" | grep -q 3gp; then
            unreadable=$((unreadable + 1))
        fi
    done
    extra=$(find "$dir" -mindepth 1 ! -name 'clip *.3gp' -o -name '* (*).3gp' | wc -l)
    printf '  %s: %d of %d outputs present once, %d missing, %d unreadable, %d other entries\n' \
        "$label" "$((clips - missing - unreadable))" "$clips" "$missing" "$unreadable" "$extra"
    [ "$missing" -eq 0 ] && [ "$unreadable" -eq 0 ] && [ "$extra" -eq 0 ]
}

status=0
printf 'load average before: %s (2 cores here, shared)\n' "$(cut -d' ' -f1-3 /proc/loadavg)"

echo "1. GNU parallel --jobs 2, one clip a call, into one folder"
out="$work/out-parallel"
start=$(now)
set +e
parallel -0 --jobs 2 --halt never "$cli" -q -t 1 -o "$out" {} :::: "$list"
failed=$?
set -e
end=$(now)
printf '  %d calls in %s s (%s s a clip), %d failed\n' "$clips" "$(calc "$end - $start")" \
    "$(calc "($end - $start) / $clips")" "$failed"
check_folder "$out" "one folder" || status=1
[ "$failed" -eq 0 ] || status=1

echo "2. --shard K/4 over 4 processes, each in its own PID namespace, into one folder"
if [ "$(id -u)" -ne 0 ] || ! unshare --pid --fork true 2>/dev/null; then
    echo "  (skipped: unshare --pid needs root here)"
else
    out="$work/out-shards"
    mkdir -p "$out"
    before=$(log_lines)
    start=$(now)
    pids=()
    for k in 0 1 2 3; do
        unshare --pid --fork "$cli" --files-from "$list" -0 --shard "$k/4" -q -t 1 -o "$out" &
        pids+=($!)
    done
    failed=0
    for pid in "${pids[@]}"; do wait "$pid" || failed=$((failed + 1)); done
    end=$(now)
    left=$(tail -n +"$((before + 1))" "$log" 2>/dev/null | grep -c '^WORK:' || true)
    printf '  4 runs in %s s, %d failed; %d live work folders of other namespaces seen and left\n' \
        "$(calc "$end - $start")" "$failed" "$left"
    check_folder "$out" "one folder" || status=1
    [ "$failed" -eq 0 ] || status=1
fi

echo "3. From a call's start to its first encoder (JSON \"started\"), median of $rounds"
cache="$XDG_CACHE_HOME/Morvane/Morvane/encoder-capabilities.json"
# first_start: seconds from the start of a one-clip call to its "started" event.
first_start() {
    local out="$work/out-start" start started
    rm -rf "$out"
    start=$(now)
    started=$("$cli" --json -t 1 -o "$out" "${files[0]}" 2>/dev/null |
        sed -n 's/.*"event":"started".*"time":"\([^"]*\)".*/\1/p' | head -1)
    calc "$(date -d "$started" +%s.%N) - $start"
}
# bare_start: seconds a call that does nothing takes (--version): the floor that loading the
# program and its libraries sets, whatever the program does.
bare_start() {
    local start
    start=$(now)
    "$cli" --version >/dev/null
    calc "$(now) - $start"
}
cold=() warm=() bare=()
for _ in $(seq 1 "$rounds"); do
    rm -f "$cache"
    cold+=("$(first_start)")
    [ -f "$cache" ] || { echo "  no capability cache was written at $cache" >&2; status=1; }
    warm+=("$(first_start)")
    bare+=("$(bare_start)")
done
printf '  cold cache %s s, warm cache %s s; --version alone %s s (goal: warm within 0.050 s)\n' \
    "$(median "${cold[@]}")" "$(median "${warm[@]}")" "$(median "${bare[@]}")"
# What a warm call runs: its encoder passes, no capability query.
if command -v strace >/dev/null; then
    rm -rf "$work/out-start"
    strace -f -qq -e trace=execve -o "$work/execs" "$cli" -q -t 1 -o "$work/out-start" \
        "${files[0]}"
    printf '  a warm call runs %d encoder passes and %d capability queries\n' \
        "$(grep 'execve(' "$work/execs" | grep -c 'ffmpeg')" \
        "$(grep 'execve(' "$work/execs" | grep -c -- '"-encoders"\|"-muxers"')"
fi
printf '  (load average while measured: %s)\n' "$(cut -d' ' -f1-3 /proc/loadavg)"

echo "4. A 6-clip batch against a shell loop (bench/bench_cli.sh)"
rm -rf "$work/clips"
"$here/bench_cli.sh" "$build_dir" 6 "$batch_seconds" 3 | sed 's/^/  /'
exit "$status"
