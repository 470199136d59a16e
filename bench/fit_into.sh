#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Benchmark of "fit into": 20 varied clips (test patterns, fractals, noise, life, colour bars,
# with motion and sound; 5 to 60 s; AVI, MPEG program streams, QuickTime, WMV, VOB) converted by
# morvane-cli --fit into each size. Prints one line per clip and size: the file's size, its share
# of the size (goal 90-100%, never over), the picture rate it got, and the picture's quality
# against the source at that size (SSIM and PSNR of the picture as the profile frames it).
#
#   bench/fit_into.sh [BUILD_DIR] [TYPE] [PROFILE] [SIZES]
# Defaults: ./build, type 0 (3GP + AMR), profile 3 (MPEG-4 QCIF, Simple Profile Level 3: up to
# 300 kbit/s of picture), sizes "300K 1M". A clip whose range at the level's highest rate stays
# under the size is marked "level": it cannot reach 90% without breaking the level.
set -euo pipefail

build_dir=$(realpath "${1:-build}")
type=${2:-0}
profile=${3:-3}
read -r -a sizes <<<"${4:-300K 1M}"
# shellcheck source=bench/bench_common.sh
source "$(dirname "$0")/bench_common.sh"
bench_setup

# name|seconds|container|video source|audio source|video codec options|audio codec options
clips=(
    "testsrc2-tone|5|avi|testsrc2=size=320x240:rate=25|sine=frequency=440|-c:v mpeg4 -q:v 3|-c:a libmp3lame"
    "mandelbrot-zoom|8|avi|mandelbrot=size=320x240:rate=25|sine=frequency=220|-c:v mpeg4 -q:v 3|-c:a libmp3lame"
    "life-glider|10|mov|life=size=320x240:rate=25:mold=10:ratio=0.2:death_color=#004020|anoisesrc=amplitude=0.2|-c:v libx264 -crf 20 -pix_fmt yuv420p|-c:a aac"
    "smptebars-pan|12|mpg|smptebars=size=640x480:rate=25,scroll=h=0.004|sine=frequency=1000|-c:v mpeg2video -q:v 3|-c:a mp2"
    "noise-heavy|15|avi|testsrc2=size=320x240:rate=25,noise=alls=40:allf=t|anoisesrc=amplitude=0.3|-c:v mpeg4 -q:v 2|-c:a pcm_s16le"
    "cellauto|20|wmv|cellauto=size=320x240:rate=25:rule=110|sine=frequency=660|-c:v wmv2 -q:v 3|-c:a wmav2"
    "mandelbrot-long|60|avi|mandelbrot=size=320x240:rate=25:end_scale=0.01|aevalsrc=sin(2*PI*(200+100*sin(t))*t)|-c:v mpeg4 -q:v 3|-c:a libmp3lame"
    "testsrc2-dvd|30|vob|testsrc2=size=720x480:rate=30000/1001,setsar=32/27|sine=frequency=500|-c:v mpeg2video -q:v 3 -f vob|-c:a mp2"
    "rgbtest-speech|25|mov|rgbtestsrc=size=320x240:rate=15,hue=H=2*PI*t/5|anoisesrc=color=pink:amplitude=0.2|-c:v libx264 -crf 22 -pix_fmt yuv420p|-c:a aac"
    "life-dense|40|avi|life=size=640x480:rate=25:ratio=0.5:mold=25|sine=frequency=330|-c:v mpeg4 -q:v 4|-c:a libmp3lame"
    "noise-light|45|mpg|testsrc2=size=352x288:rate=25,noise=alls=10:allf=t|sine=frequency=880|-c:v mpeg1video -q:v 4|-c:a mp2"
    "smptehd-still|18|mov|smptehdbars=size=1280x720:rate=25|sine=frequency=1000|-c:v libx264 -crf 18 -pix_fmt yuv420p|-c:a aac"
    "mandelbrot-hd|22|mov|mandelbrot=size=640x360:rate=30|anoisesrc=color=brown:amplitude=0.3|-c:v libx264 -crf 20 -pix_fmt yuv420p|-c:a aac"
    "testsrc-plain|35|avi|testsrc=size=320x240:rate=25|sine=frequency=300|-c:v msmpeg4 -q:v 3|-c:a libmp3lame"
    "gradient-fade|50|wmv|gradients=size=320x240:rate=25:speed=0.02|sine=frequency=150|-c:v wmv2 -q:v 3|-c:a wmav2"
    "noise-pattern|6|avi|testsrc2=size=640x480:rate=30,noise=alls=25:allf=t+u|anoisesrc=amplitude=0.5|-c:v mpeg4 -q:v 2|-c:a pcm_s16le"
    "life-sparse|28|mpg|life=size=320x240:rate=25:ratio=0.05|sine=frequency=740|-c:v mpeg2video -q:v 3|-c:a mp2"
    "bars-rotating|14|mov|smptebars=size=320x240:rate=25,rotate=a=PI*t/7|sine=frequency=520|-c:v libx264 -crf 20 -pix_fmt yuv420p|-c:a aac"
    "bars-silent|55|avi|smptebars=size=320x240:rate=25,hue=s=0.5+0.5*sin(t)|anullsrc=r=44100|-c:v mpeg4 -q:v 3|-c:a libmp3lame"
    "testsrc2-ntsc|60|mov|testsrc2=size=640x480:rate=30000/1001|aevalsrc=0.3*sin(2*PI*440*t)*sin(2*PI*t)|-c:v libx264 -crf 22 -pix_fmt yuv420p|-c:a aac"
)

echo "Making ${#clips[@]} clips ..." >&2
mkdir -p "$work/clips"
paths=()
for entry in "${clips[@]}"; do
    IFS='|' read -r name seconds container video audio vopts aopts <<<"$entry"
    f="$work/clips/$name.$container"
    # shellcheck disable=SC2086 # the codec options are words
    "$real_ffmpeg" -v error -nostdin -y -f lavfi -i "$video" -f lavfi -i "$audio" -t "$seconds" \
        -map 0:v -map 1:a $vopts $aopts "$f"
    paths+=("$f")
done

# The profile's frame (first pass): the picture size, and its video filter for the reference.
case $type in
    0) profile_file=3GP_AMR_Profile.ini ;;
    1) profile_file=3GP_AAC_Profile.ini ;;
    *) profile_file=3GP2_AAC_Profile.ini ;;
esac
# The second line of the profile's section ([Info] is the first section).
first_pass=$(awk -v n="$profile" '/^\[/ { s++; k = 0; next } /^[;#]/ || !/=/ { next }
    s == n + 1 && ++k == 2 { sub(/^[^=]*=/, ""); print; exit }' "$build_dir/program/app/$profile_file")
frame_filter=$(grep -o '\-vf "[^"]*"' <<<"$first_pass" | sed 's/^-vf "//; s/"$//')
level_rate=$(awk '{for (i = 1; i < NF; i++) if ($i == "-level") print $(i + 1)}' <<<"$first_pass")
video_rate=$(awk '{for (i = 1; i < NF; i++) if ($i == "-b:v") print $(i + 1)}' <<<"$first_pass")
audio_rate=$(awk '{for (i = 1; i < NF; i++) if ($i == "-b:a") print $(i + 1)}' <<<"$first_pass")
echo "Profile $profile of type $type: -b:v $video_rate, -b:a $audio_rate, -level $level_rate" >&2

bytes_of() { # 300K -> 300000
    awk -v s="$1" 'BEGIN { u = toupper(substr(s, length(s))); n = s + 0;
        if (u == "K") n *= 1000; else if (u == "M") n *= 1000000; printf "%d", n }'
}
kbit() { awk -v s="$1" 'BEGIN { u = tolower(substr(s, length(s))); n = s + 0;
    if (u == "k") n *= 1000; else if (u == "m") n *= 1000000; printf "%d", n }'; }
# The highest video rate a fitted file may get: the level's, with the profiles' 78% room.
cap=$(case "$first_pass" in
    *"-c:v mpeg4"*) case $level_rate in 8|9|1) echo 49920 ;; 2) echo 99840 ;; *) echo 299520 ;; esac ;;
    *) case $level_rate in 10) echo 49920 ;; 45|20) echo 99840 ;; *) echo 299520 ;; esac ;;
esac)
cap=$(( cap > $(kbit "$video_rate") ? cap : $(kbit "$video_rate") ))
audio_bits=$(kbit "$audio_rate")

printf '%-18s %5s %7s %9s %7s %5s %6s %6s %s\n' clip secs target result "%" fps SSIM PSNR note
within=0
over=0
total=0
for i in "${!paths[@]}"; do
    src=${paths[$i]}
    name=$(basename "${src%.*}")
    seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$src")
    for size in "${sizes[@]}"; do
        target=$(bytes_of "$size")
        rm -rf "$work/out"/*
        total=$((total + 1))
        if ! "$cli" -t "$type" -p "$profile" -o "$work/out" --fit "$size" "$src" \
            >"$work/cli.log" 2>&1; then
            # The job's last line is its reason: "[1/1] clip.avi: 60 s of sound ...".
            reason=$({ grep -v '^morvane-cli:\|^Converting Finished' "$work/cli.log" || true; } |
                tail -1 | sed 's/^\[[^]]*\] [^:]*: //')
            printf '%-18s %5.1f %7s %9s %7s %5s %6s %6s %s\n' "$name" "$seconds" "$size" - - - - - \
                "failed: $reason"
            continue
        fi
        out=$(find "$work/out" -maxdepth 1 -name '*.3g*' | head -1)
        made=$(stat -c %s "$out")
        share=$(awk -v m="$made" -v t="$target" 'BEGIN { printf "%.1f", 100 * m / t }')
        fps=$(ffprobe -v error -select_streams v:0 -show_entries stream=avg_frame_rate -of csv=p=0 \
            "$out" | awk -F/ '{ if ($2 > 0) printf "%.1f", $1 / $2; else print "-" }')
        # The reference: the source framed as the profile frames it, at the file's picture rate.
        ref=$(sed -E "s/^fps=[0-9.]+/fps=$fps/" <<<"$frame_filter")
        quality=$("$real_ffmpeg" -nostdin -v info -i "$out" -i "$src" -lavfi \
            "[1:v]$ref,split[r1][r2];[0:v]fps=$fps,setsar=1,split[o1][o2];[o1][r1]ssim;[o2][r2]psnr" \
            -f null - 2>&1 | awk '/SSIM Y:/ { for (i = 1; i <= NF; i++) if ($i ~ /^All:/) { sub("All:", "", $i); s = $i } }
                 /PSNR y:/ { for (i = 1; i <= NF; i++) if ($i ~ /^average:/) { sub("average:", "", $i); p = $i } }
                 END { printf "%.3f %.1f", s, p }')
        errors=$("$real_ffmpeg" -nostdin -v error -i "$out" -f null - 2>&1 | wc -l)
        note=""
        reachable=$(awk -v s="$seconds" -v c="$cap" -v a="$audio_bits" \
            'BEGIN { printf "%d", (c + a) * s / 8 + 1500 + 480 * s }')
        if [ "$reachable" -lt "$target" ]; then note="level cap: about $((reachable / 1000)) KB"; fi
        if [ "$made" -gt "$target" ]; then note="OVER $note"; over=$((over + 1)); fi
        if [ "$errors" -gt 0 ]; then note="$note decode errors: $errors"; fi
        if awk -v s="$share" 'BEGIN { exit !(s >= 90 && s <= 100) }'; then within=$((within + 1)); fi
        # shellcheck disable=SC2086 # two figures
        printf '%-18s %5.1f %7s %9d %6s%% %5s %6s %6s %s\n' "$name" "$seconds" "$size" "$made" \
            "$share" "$fps" $quality "$note"
    done
done
echo "Within 90-100% of the size: $within of $total; over the size: $over."
