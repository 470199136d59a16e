#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Benchmark of morvane-cli against a plain shell: a batch of clips converted by morvane-cli,
# and the very same ffmpeg command lines run one after another by bash. Prints the wall-time
# ratio (target: at most 1.02) and the CPU time morvane-cli itself used, apart from its
# encoders (goal: at most 1.5% of ffmpeg's).
#
#   bench/bench_cli.sh [BUILD_DIR] [CLIPS] [SECONDS] [ROUNDS] [SIZE]
# Defaults: ./build, 6 clips of 60 s (640x480, 25 fps, MPEG-4 + MP3), 3 rounds per type.
# morvane-cli pays its start (about 0.1 s: the FFmpeg libraries load) once per batch, so the
# shorter the clips, the more that shows in the ratio.
set -euo pipefail

build_dir=$(realpath "${1:-build}")
clips=${2:-6}
seconds=${3:-60}
rounds=${4:-3}
size=${5:-640x480}
# shellcheck source=bench/bench_common.sh
source "$(dirname "$0")/bench_common.sh"
bench_setup

echo "Making $clips clips of $seconds s ..."
make_clips "$clips" "$seconds" "$size" testsrc
make_recorder

# Runs morvane-cli and prints "wall_seconds cli_cpu_seconds"; the CPU time is the process's own
# (utime + stime of /proc/PID/stat, its children not included), sampled until it exits.
run_cli() {
    local start end stat last=""
    start=$(date +%s.%N)
    "$cli" "$@" >/dev/null &
    local pid=$!
    # Builtins only (read, and a read with a time-out as the pause): a sampler that forks
    # would take processor time from the encoder it measures.
    local pause
    exec {pause}<> <(:)
    while kill -0 "$pid" 2>/dev/null; do
        { read -r stat <"/proc/$pid/stat"; } 2>/dev/null && last=$stat
        read -r -t 0.05 -u "$pause" || true
    done
    exec {pause}>&-
    wait "$pid"
    end=$(date +%s.%N)
    local fields=(${last##*) })
    # After the "(comm)" field: state is [0], utime [11], stime [12].
    echo "$(calc "$end - $start") $(calc "(${fields[11]} + ${fields[12]}) / $ticks")"
}

# Runs the recorded command lines one after another; prints "wall_seconds cpu_seconds".
run_shell() {
    local start end
    local before after me=$BASHPID
    # cutime + cstime: the processor time of the finished children of this shell.
    before=$(awk '{print $16 + $17}' "/proc/$me/stat")
    start=$(date +%s.%N)
    for cmd in "$work/commands"/*; do
        load_command "$cmd"
        "$real_ffmpeg" "${args[@]}" </dev/null >/dev/null 2>&1
    done
    end=$(date +%s.%N)
    after=$(awk '{print $16 + $17}' "/proc/$me/stat")
    echo "$(calc "$end - $start") $(calc "($after - $before) / $ticks")"
}

calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

for type in 0 2; do
    rm -f "$work/commands"/* "$work/out"/*
    PATH="$work/wrap:$PATH" "$cli" -t "$type" -o "$work/out" "${files[@]}" >/dev/null
    drop_queries # only the encoding passes
    prepare_replay
    recorded=$(ls "$work/commands" | wc -l)
    cli_walls=() shell_walls=() cli_cpus=() ffmpeg_cpus=()
    for round in $(seq 1 "$rounds"); do
        rm -f "$work/out"/*
        read -r wall cpu < <(run_cli -t "$type" -o "$work/out" "${files[@]}")
        cli_walls+=("$wall") cli_cpus+=("$cpu")
        rm -f "$work/out"/*
        read -r wall cpu < <(run_shell)
        shell_walls+=("$wall") ffmpeg_cpus+=("$cpu")
    done
    cw=$(median "${cli_walls[@]}") sw=$(median "${shell_walls[@]}")
    cc=$(median "${cli_cpus[@]}") fc=$(median "${ffmpeg_cpus[@]}")
    printf 'type %d: %d clips, %d encoder runs, median of %d rounds\n' "$type" "$clips" \
        "$recorded" "$rounds"
    printf '  wall time   morvane-cli %.2f s, shell %.2f s, ratio %.3f (target <= 1.02)\n' \
        "$cw" "$sw" "$(calc "$cw / $sw")"
    printf '  CPU time    morvane-cli itself %.3f s, ffmpeg %.2f s, share %.2f%% (goal <= 1.5%%)\n' \
        "$cc" "$fc" "$(calc "100 * $cc / $fc")"
done
