#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Jobs side by side: the same batch converted by morvane-cli with -j 1 and with -j N (default
# the number of cores), and the very same ffmpeg command lines run one after another by bash.
#
# The machine's limit for the parallel batch is the serial batch's processor time (morvane-cli
# and its encoders) divided by the cores. Prints the jN/j1 wall-time ratio, that limit, the
# parallel batch's factor over it (target: within 1.10, aim 1.05) and the serial batch's factor
# over the shell loop (target: at most 1.02).
#
#   bench/bench_jobs.sh [BUILD_DIR] [CLIPS] [SECONDS] [JOBS] [ROUNDS] [SIZE]
# Defaults: ./build, 8 clips of 20 s (640x480, 25 fps, MPEG-4 + MP3), -j = cores, 1 round.
set -euo pipefail

build_dir=$(realpath "${1:-build}")
clips=${2:-8}
seconds=${3:-20}
cores=$(nproc)
jobs=${4:-$cores}
rounds=${5:-1}
size=${6:-640x480}
# shellcheck source=bench/bench_common.sh
source "$(dirname "$0")/bench_common.sh"
bench_setup

echo "Making $clips clips of $seconds s ($size) ..."
make_clips "$clips" "$seconds" "$size" testsrc2
make_recorder

calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# The processor time of the finished children (cutime + cstime) of process $1, in seconds.
children_cpu() { awk -v t="$ticks" '{printf "%.6f", ($16 + $17) / t}' "/proc/$1/stat"; }

# Runs morvane-cli in a subshell; prints "wall_seconds cpu_seconds", the CPU time of
# morvane-cli and every encoder it ran.
run_cli() {
    (
        me=$BASHPID
        before=$(children_cpu "$me")
        start=$(date +%s.%N)
        "$cli" "$@" >/dev/null
        end=$(date +%s.%N)
        echo "$(calc "$end - $start") $(calc "$(children_cpu "$me") - $before")"
    )
}

# Runs the recorded command lines one after another, into folders of their own; prints
# "wall_seconds cpu_seconds".
run_shell() {
    (
        prepare_replay
        me=$BASHPID
        before=$(children_cpu "$me")
        start=$(date +%s.%N)
        for cmd in "$work/commands"/*; do
            load_command "$cmd"
            "$real_ffmpeg" "${args[@]}" </dev/null >/dev/null 2>&1
        done
        end=$(date +%s.%N)
        echo "$(calc "$end - $start") $(calc "$(children_cpu "$me") - $before")"
    )
}

# The recording run (it also warms the file cache).
PATH="$work/wrap:$PATH" "$cli" -t 0 -j 1 -o "$work/out" "${files[@]}" >/dev/null
drop_queries # only the encoding passes
recorded=$(ls "$work/commands" | wc -l)

walls1=() cpus1=() wallsN=() wallsShell=()
for round in $(seq 1 "$rounds"); do
    rm -rf "$work/out"/*
    read -r wall cpu < <(run_cli -t 0 -j 1 -o "$work/out" "${files[@]}")
    walls1+=("$wall") cpus1+=("$cpu")
    rm -rf "$work/out"/*
    read -r wall cpu < <(run_cli -t 0 -j "$jobs" -o "$work/out" "${files[@]}")
    wallsN+=("$wall")
    [ "$(ls "$work/out" | wc -l)" -eq "$clips" ] || { echo "-j $jobs left no $clips files" >&2; exit 1; }
    read -r wall cpu < <(run_shell)
    wallsShell+=("$wall")
done
w1=$(median "${walls1[@]}") c1=$(median "${cpus1[@]}")
wn=$(median "${wallsN[@]}") ws=$(median "${wallsShell[@]}")
limit=$(calc "$c1 / $cores")
printf '%d clips of %d s %s to 3GP, %d encoder runs, %d cores, median of %d rounds\n' \
    "$clips" "$seconds" "$size" "$recorded" "$cores" "$rounds"
printf '  -j 1        wall %.2f s, CPU %.2f s (%.2f cores busy)\n' "$w1" "$c1" "$(calc "$c1 / $w1")"
printf '  -j %-2d       wall %.2f s, j%d/j1 %.3f\n' "$jobs" "$wn" "$jobs" "$(calc "$wn / $w1")"
printf '  limit       %.2f s (the serial CPU time over %d cores)\n' "$limit" "$cores"
printf '  factor      -j %d over the limit %.3f (target <= 1.10, aim 1.05)\n' "$jobs" \
    "$(calc "$wn / $limit")"
printf '  factor      -j 1 over the shell loop %.3f (shell %.2f s; target <= 1.02)\n' \
    "$(calc "$w1 / $ws")" "$ws"
