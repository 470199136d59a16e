#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What signals, a vanishing reader and odd sources do to a real morvane-cli batch. Prints each
# outcome with its figures:
#   1. PAIRS Ctrl+Z/SIGCONT pairs at random gaps sent during a batch: how often the program or
#      an encoder was left stopped (must be 0), and that the batch finishes with whole files;
#   2. `| head -2`: the exit code (3) and that every output is whole, no work folder left;
#   3. SIGUSR1 and Ctrl+C while the encoder is asked what it can make, and SIGUSR1 while a long
#      list of files is opened: exit 130 at once, nothing converted, never killed (138);
#   4. a named pipe as source (refused), one swapped in after the files were opened (the job
#      fails, the batch goes on), and an encoder that hangs (the stall watchdog);
#   5. the RealMedia export: paused with the batch (its file does not grow), and gone when
#      morvane-cli is killed with kill -9.
#
#   bench/signal_safety.sh [BUILD_DIR] [PAIRS] [MAX_GAP_MS]
# Defaults: ./build, 1000 pairs, gaps of 0 to 40 ms (about a minute for the pairs).
set -euo pipefail

build_dir=$(realpath "${1:-build}")
pairs=${2:-1000}
max_gap=${3:-40}
# shellcheck source=bench/bench_common.sh
source "$(dirname "$0")/bench_common.sh"
bench_setup

calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
now() { date +%s.%N; }
# A process's state letter (T when stopped), or - when it is gone. No program is started: the
# storm's pairs must not wait for one.
state_of() {
    local line
    if read -r line 2>/dev/null <"/proc/$1/stat"; then
        line=${line##*) }
        echo "${line:0:1}"
    else
        echo -
    fi
}
# The processes (not $2) whose command line names $1: the encoders of a batch.
encoders_of() { pgrep -f -- "$1" | grep -vx "${2:-0}" || true; }
# Sleeps a number of milliseconds by a read that times out on a pipe nobody writes.
exec {never}<> <(:)
sleep_ms() {
    local seconds
    printf -v seconds '%d.%03d' $(($1 / 1000)) $(($1 % 1000))
    read -r -t "$seconds" -u "$never" _ || true
}
# Every file of a folder decodes without an error; prints how many do.
whole_files() {
    local n=0 f
    for f in "$1"/*; do
        [ -f "$f" ] || continue
        if [ -z "$("$real_ffmpeg" -nostdin -v error -i "$f" -f null - 2>&1)" ]; then n=$((n + 1)); fi
    done
    echo "$n"
}
work_folders() { find "$1" -maxdepth 1 -name '.morvane-work-*' | wc -l; }

# A copy of the program whose one 3GP profile encodes at playing speed (-re), so a batch lasts
# as long as its clips play; and an ffmpeg on PATH that can answer slowly or hang.
mkdir -p "$work/slow/app" "$work/wrap"
cp "$cli" "$work/slow/morvane-cli"
printf '%s\n' '[Info]' 'DefaultProfile=1' '[Slow]' 'Title=Slow' \
    'Command=ffmpeg -hide_banner -nostats -y -re -ss $START -i "$INPUT_FILE" -t $LENGTH -s 176x144 -r 15 -c:v mpeg4 -c:a aac -ar 8000 -ac 1 -f 3gp "$OUTPUT_DIR$OUTPUT_FILE.3gp"' \
    >"$work/slow/app/3GP_AAC_Profile.ini"
cat >"$work/wrap/ffmpeg" <<WRAP
#!/usr/bin/env bash
case " \$* " in
*" -encoders "* | *" -muxers "*) sleep "\${SLOW_QUERY:-0}" ;;
*) [ -n "\${HANG_ENCODER:-}" ] && exec sleep 100000 ;;
esac
exec "$real_ffmpeg" "\$@"
WRAP
chmod +x "$work/wrap/ffmpeg"
slow="$work/slow/morvane-cli"

echo "Making clips ..."
make_clips 3 20 320x240 testsrc
"$real_ffmpeg" -v error -nostdin -y -f lavfi -i "testsrc=size=640x480:rate=25:duration=60" \
    -f lavfi -i "sine=duration=60" -c:v rv20 -c:a ac3 -f rm "$work/clips/long.rm"

echo
echo "1. $pairs Ctrl+Z/SIGCONT pairs at random gaps of 0-$max_gap ms during a batch"
rm -rf "$work/out" && mkdir -p "$work/out"
start=$(now)
"$slow" -t 1 -o "$work/out" "${files[@]}" >"$work/storm.log" 2>&1 &
pid=$!
sent=0 stopped_after=0 stranded=0 longest=0
sleep 0.5
while [ "$sent" -lt "$pairs" ] && kill -0 "$pid" 2>/dev/null; do
    kill -TSTP "$pid" 2>/dev/null || break
    sleep_ms $((RANDOM % (max_gap + 1)))
    kill -CONT "$pid" 2>/dev/null || break
    sent=$((sent + 1))
    sleep_ms $((RANDOM % (max_gap + 1)))
    # After its SIGCONT the program must run, whatever order it saw the two in.
    if [ "$(state_of "$pid")" = T ]; then
        stopped_after=$((stopped_after + 1))
        sleep 1
        if [ "$(state_of "$pid")" = T ]; then
            stranded=$((stranded + 1))
            kill -CONT "$pid" 2>/dev/null || true
        fi
    fi
done
storm_end=$(now)
program_state=$(state_of "$pid")
encoder_states=""
for e in $(encoders_of "$work/out" "$pid"); do encoder_states+="$(state_of "$e")"; done
set +e
wait "$pid"
code=$?
set -e
end=$(now)
printf '  pairs sent during the batch   %d (in %.1f s)\n' "$sent" "$(calc "$storm_end - $start")"
printf '  stopped after a SIGCONT       %d (stranded, still stopped 1 s later: %d)\n' \
    "$stopped_after" "$stranded"
printf '  after the last pair           program %s, encoders %s (T = stopped)\n' \
    "$program_state" "${encoder_states:-none running}"
printf '  batch                         exit %d, %d of %d files whole, %d work folders left, %.1f s\n' \
    "$code" "$(whole_files "$work/out")" "${#files[@]}" "$(work_folders "$work/out")" \
    "$(calc "$end - $start")"

echo
echo "2. morvane-cli ... | head -2"
rm -rf "$work/out" && mkdir -p "$work/out"
set +e
"$cli" -t 1 -o "$work/out" "${files[@]}" 2>"$work/head.err" | head -2 >"$work/head.out"
code=${PIPESTATUS[0]}
set -e
printf '  exit %d, %d lines read, %d of %d files whole, %d work folders left\n' "$code" \
    "$(wc -l <"$work/head.out")" "$(whole_files "$work/out")" "${#files[@]}" \
    "$(work_folders "$work/out")"
printf '  stderr: %s\n' "$(tail -1 "$work/head.err")"

echo
echo "3. Signals before the batch starts"
early() { # NAME SIGNAL DELAY_MS ARGS...: sends SIGNAL after DELAY_MS, prints what happened
    local name=$1 signal=$2 delay=$3 t0 t1 c
    shift 3
    rm -rf "$work/out" && mkdir -p "$work/out"
    t0=$(now)
    PATH="$work/wrap:$PATH" "$cli" -t 1 -o "$work/out" "$@" >/dev/null 2>"$work/early.err" &
    local p=$!
    sleep_ms "$delay"
    local sent_at
    sent_at=$(now)
    kill "-$signal" "$p"
    set +e
    wait "$p"
    c=$?
    set -e
    t1=$(now)
    printf '  %-38s exit %3d after %.2f s (%.2f s after the signal), %d files written\n' \
        "$name" "$c" "$(calc "$t1 - $t0")" "$(calc "$t1 - $sent_at")" \
        "$(find "$work/out" -name '*.3gp' | wc -l)"
}
SLOW_QUERY=3 early "SIGUSR1 while the encoder is asked" USR1 500 "${files[0]}"
SLOW_QUERY=3 early "Ctrl+C while the encoder is asked" INT 500 "${files[0]}"
many=()
for i in $(seq 1 3000); do many+=("${files[$((i % 3))]}"); done
early "SIGUSR1 while opening 3000 files" USR1 1000 "${many[@]}"

echo
echo "4. Sources that are no files, and an encoder that hangs"
rm -rf "$work/out" && mkdir -p "$work/out"
mkfifo "$work/pipe.avi"
set +e
"$cli" -t 1 -o "$work/out" "$work/pipe.avi" >/dev/null 2>"$work/fifo.err"
code=$?
set -e
printf '  named pipe given                exit %d: %s\n' "$code" "$(head -1 "$work/fifo.err")"
cp "${files[1]}" "$work/swapped.avi"
"$slow" -t 1 -o "$work/out" "${files[0]}" "$work/swapped.avi" >"$work/swap.out" 2>&1 &
pid=$!
sleep 1
rm "$work/swapped.avi" && mkfifo "$work/swapped.avi"
hung=""
if ! timeout 120 tail --pid="$pid" -f /dev/null; then
    hung=" (hung for 120 s, then Ctrl+C)"
    kill -INT "$pid"
fi
set +e
wait "$pid"
code=$?
set -e
printf '  swapped for a pipe after opening exit %d%s: %s\n' "$code" "$hung" \
    "$(grep -a 'swapped.avi: [A-Z]' "$work/swap.out" | tail -1)"
rm -rf "$work/out" && mkdir -p "$work/out"
t0=$(now)
set +e
HANG_ENCODER=1 PATH="$work/wrap:$PATH" timeout -s INT 60 "$cli" -t 1 --stall-timeout 3 -o "$work/out" "${files[0]}" \
    >"$work/hang.out" 2>&1
code=$?
set -e
printf '  hanging encoder, --stall-timeout 3: exit %d after %.1f s: %s\n' "$code" \
    "$(calc "$(now) - $t0")" "$(tail -3 "$work/hang.out" | head -1)"

echo
echo "5. The RealMedia export (60 s of 640x480 RealVideo)"
rm -rf "$work/out" && mkdir -p "$work/out"
export_file() { find "$work/out" -path '*/.morvane-work-*' \( -name '*.avi' -o -name '*.mpg' \) 2>/dev/null | head -1; }
size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }
"$cli" -t 1 -o "$work/out" "$work/clips/long.rm" >/dev/null 2>&1 &
pid=$!
for _ in $(seq 1 200); do [ -n "$(export_file)" ] && [ "$(size_of "$(export_file)")" -gt 100000 ] && break; sleep 0.05; done
exporter=$(pgrep -f -- "-progress pipe:1.*$work/out" | head -1 || true)
kill -TSTP "$pid"
sleep 0.5
paused_size=$(size_of "$(export_file)")
sleep 2
printf '  paused: morvane-cli %s, export ffmpeg %s, export file %d -> %d bytes in 2 s\n' \
    "$(state_of "$pid")" "$(state_of "${exporter:-0}")" "$paused_size" "$(size_of "$(export_file)")"
kill -CONT "$pid"
sleep 1
printf '  resumed: export ffmpeg %s, export file %d bytes a second later\n' \
    "$(state_of "${exporter:-0}")" "$(size_of "$(export_file)")"
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
for _ in $(seq 1 40); do [ "$(state_of "${exporter:-0}")" = - ] && break; sleep 0.05; done
killed_size=$(size_of "$(export_file)")
sleep 1
printf '  kill -9 of morvane-cli: export ffmpeg %s, export file %d -> %d bytes a second later\n' \
    "$(state_of "${exporter:-0}")" "$killed_size" "$(size_of "$(export_file)")"
