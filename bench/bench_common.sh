# SPDX-License-Identifier: GPL-3.0-or-later
# What the benchmarks of morvane-cli share; sourced after $build_dir is set.

# bench_setup: cli, real_ffmpeg and ticks, and a work folder (gone at the end) with out/ in it.
bench_setup() {
    cli="$build_dir/program/morvane-cli"
    [ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }
    real_ffmpeg=$(command -v ffmpeg) || { echo "ffmpeg is not installed" >&2; exit 1; }
    ticks=$(getconf CLK_TCK)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/out"
}

# make_clips COUNT SECONDS SIZE PATTERN: COUNT clips of MPEG-4 and MP3 in AVI made from the
# lavfi source PATTERN ("testsrc", "testsrc2"), each with a tone of its own; their paths in files.
make_clips() {
    local count=$1 seconds=$2 size=$3 pattern=$4 i f
    mkdir -p "$work/clips"
    files=()
    for i in $(seq 1 "$count"); do
        f="$work/clips/clip $i.avi"
        "$real_ffmpeg" -v error -nostdin -y \
            -f lavfi -i "$pattern=size=$size:rate=25:duration=$seconds" \
            -f lavfi -i "sine=frequency=$((300 + i * 50)):duration=$seconds" \
            -c:v mpeg4 -q:v 3 -c:a libmp3lame "$f"
        files+=("$f")
    done
}

# make_recorder: a stand-in ffmpeg in $work/wrap (put it first on PATH) records each command
# line morvane-cli runs into $work/commands (NUL-separated), then runs the real one. The
# profiles name "ffmpeg" without a folder, so PATH decides, unless a copy lies beside the
# program: then it stops.
make_recorder() {
    mkdir -p "$work/wrap" "$work/commands"
    cat >"$work/wrap/ffmpeg" <<WRAP
#!/usr/bin/env bash
n=\$(ls "$work/commands" | wc -l)
printf '%s\0' "\$@" >"$work/commands/\$(printf %04d \$n)"
exec "$real_ffmpeg" "\$@"
WRAP
    chmod +x "$work/wrap/ffmpeg"
    if [ -e "$build_dir/program/ffmpeg" ] || [ -e "$build_dir/program/app/ffmpeg" ]; then
        echo "an ffmpeg beside the program would bypass the recording" >&2
        exit 1
    fi
}

# drop_queries: forgets the recorded runs that only ask what the encoder can make.
drop_queries() {
    local cmd
    for cmd in "$work/commands"/*; do
        if tr '\0' '\n' <"$cmd" | grep -qx -- '-encoders\|-muxers'; then rm "$cmd"; fi
    done
}

# load_command FILE: the recorded command line in args, its paths in the batch's work folder
# (gone with the batch) moved to $work/loop.
load_command() {
    mapfile -d '' args <"$1"
    local k
    for ((k = 0; k < ${#args[@]}; k++)); do
        args[k]=${args[k]//$work\/out\/.morvane-work-/$work\/loop\/w}
    done
}

# prepare_replay: an empty $work/loop with the folders the recorded commands write into.
prepare_replay() {
    local cmd
    rm -rf "$work/loop"
    for cmd in "$work/commands"/*; do
        load_command "$cmd"
        mkdir -p "$(dirname "${args[-1]}")"
    done
}
