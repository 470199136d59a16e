#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Real-media matrix: makes a set of awkward "files from the wild" with ffmpeg, converts each
# one with morvane-cli to every output type with two profiles (the type's default and its
# largest), and judges every result the way a user would: one file, right brand, codecs,
# frame size, frame rate, sound, bit rate, duration, kept picture shape, clean decode.
#
#   bench/real_media_matrix.sh [BUILD_DIR] [--quick]
#
# BUILD_DIR defaults to "build" (relative to the repo top); the program is
# BUILD_DIR/program/morvane-cli and its profiles are in BUILD_DIR/program/app/.
# --quick converts with the default profile of each type only.
# --media-only DIR makes the test files into DIR and converts nothing (phone_conformance.sh).
# The exit status is 0 whenever the report could be made: failed conversions are reported,
# not returned. Needs ffmpeg, ffprobe, bash, python3 and coreutils.
# REAL_MEDIA_MATRIX_KEEP=1 keeps the temporary folder (test files and outputs) for a look by hand.
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/.." && pwd)

build_arg=build
quick=0
media_only=
want_media_dir=0
for a in "$@"; do
    if [ "$want_media_dir" = 1 ]; then media_only=$a; want_media_dir=0; continue; fi
    case "$a" in
        --quick) quick=1 ;;
        --media-only) want_media_dir=1 ;;
        -h|--help)
            n=0
            while IFS= read -r line; do
                n=$((n + 1))
                [ "$n" -ge 2 ] && [ "$n" -le 15 ] && { line=${line#\#}; printf '%s\n' "${line# }"; }
            done <"${BASH_SOURCE[0]}"
            exit 0 ;;
        -*) echo "unknown option $a" >&2; exit 2 ;;
        *) build_arg=$a ;;
    esac
done
case "$build_arg" in
    /*) build_dir=$build_arg ;;
    *) build_dir=$top/$build_arg ;;
esac
cli=$build_dir/program/morvane-cli
helper=$here/real_media_matrix.py

for tool in ffmpeg ffprobe python3 nice; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
[ -f "$helper" ] || { echo "missing $helper" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/real_media_matrix.XXXXXX") || exit 1
# REAL_MEDIA_MATRIX_KEEP=1 keeps the files and outputs for a look by hand
cleanup() {
    if [ "${REAL_MEDIA_MATRIX_KEEP:-0}" = 1 ]; then echo "Kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
media=${media_only:-$work/media}
mkdir -p "$media" "$work/out"

# ---------------------------------------------------------------------------------------
# The files. Each is short and at most 640x480 (the DVD-style stream excepted: 720x480).
# Moving test picture with a little noise (real pictures are not flat), tones for sound.
# ---------------------------------------------------------------------------------------
gen_log=$work/generate.log
: >"$gen_log"
made=()
skipped=()

ff() { nice -n 10 ffmpeg -nostdin -hide_banner -v error -y "$@" >>"$gen_log" 2>&1; }
# pic SIZE RATE SECONDS
pic() { printf 'testsrc2=size=%s:rate=%s:duration=%s,noise=alls=6:allf=t' "$1" "$2" "$3"; }
# tone SECONDS [RATE] [LAYOUT]: a chord, one frequency per channel
tone() {
    local d=$1 r=${2:-44100} layout=${3:-stereo} expr
    case "$layout" in
        mono) expr='0.4*sin(440*2*PI*t)' ;;
        stereo) expr='0.4*sin(440*2*PI*t)|0.4*sin(554*2*PI*t)' ;;
        5.1) expr='0.3*sin(440*2*PI*t)|0.3*sin(554*2*PI*t)|0.3*sin(659*2*PI*t)|0.3*sin(110*2*PI*t)|0.3*sin(330*2*PI*t)|0.3*sin(880*2*PI*t)' ;;
    esac
    printf "aevalsrc=%s:s=%s:d=%s:c=%s" "$expr" "$r" "$d" "$layout"
}
# mk NAME "what it exercises" ffmpeg-arguments... (the output path is $media/NAME)
mk() {
    local name=$1 what=$2
    shift 2
    echo "== $name" >>"$gen_log"
    if ff "$@" "$media/$name" && [ -s "$media/$name" ]; then
        made+=("$name")
        printf '%s\t%s\n' "$name" "$what" >>"$work/what.tsv"
    else
        rm -f "$media/$name"
        skipped+=("$name")
    fi
}
# mk_pipe NAME "what" FORMAT ffmpeg-arguments...: written through a pipe (no seeking back,
# so the muxer cannot go back to the header to store the duration)
mk_pipe() {
    local name=$1 what=$2 fmt=$3
    shift 3
    echo "== $name" >>"$gen_log"
    if nice -n 10 ffmpeg -nostdin -hide_banner -v error -y "$@" -f "$fmt" pipe:1 2>>"$gen_log" >"$media/$name" \
        && [ -s "$media/$name" ]; then
        made+=("$name")
        printf '%s\t%s\n' "$name" "$what" >>"$work/what.tsv"
    else
        rm -f "$media/$name"
        skipped+=("$name")
    fi
}
: >"$work/what.tsv"

echo "Making the test files in $media ..."
t0=$(date +%s)
L="-f lavfi -i"

# MPEG-1 video elementary stream: no maximum rate given, so the sequence header carries the
# "variable" bit rate code (about 105 Mbit/s) and a reader estimating the duration from the
# size and that rate gets a few hundredths of a second for 8 s of pictures.
mk mpeg1_es_vbr_header.m1v "MPEG-1 elementary stream, header bit rate 'variable': estimated duration far too short" \
    $L "$(pic 352x240 25 8)" -c:v mpeg1video -b:v 500k -f mpeg1video
# MPEG-1 + MP2 in Matroska written to a pipe: no Duration element at all.
mk_pipe mpeg1_no_duration.mkv "MPEG-1 + MP2, no duration in the header (Matroska written to a pipe)" matroska \
    $L "$(pic 352x240 25 6)" $L "$(tone 6 44100)" -c:v mpeg1video -b:v 500k -c:a mp2 -b:a 192k
# MPEG-1 system stream (program stream) with the same 'variable' video rate code.
mk mpeg1_system.mpg "MPEG-1 system stream (MPEG-1 video + MP2)" \
    $L "$(pic 352x240 25 6)" $L "$(tone 6 44100)" -c:v mpeg1video -b:v 500k -c:a mp2 -b:a 192k -f mpeg
# MP3 with cover art
ff $L "testsrc=size=300x300:rate=1:duration=1" -frames:v 1 "$work/cover.png"
mk mp3_cover_art.mp3 "MP3 with ID3 tags and an embedded cover picture (attached picture, not video)" \
    $L "$(tone 6 44100)" -i "$work/cover.png" -map 0:a -map 1:v -c:a libmp3lame -b:a 128k -c:v png \
    -disposition:v attached_pic -metadata:s:v title="Album cover" -metadata:s:v comment="Cover (front)" \
    -id3v2_version 3 -metadata title="Test song" -metadata artist="Nobody" -metadata album="Bench"
mk mp3_id3_only.mp3 "MP3 with ID3 tags only" \
    $L "$(tone 5 44100)" -c:a libmp3lame -b:a 128k -id3v2_version 3 -metadata title="Tags only" -metadata artist="Nobody"
# DVD-style MPEG-2, 720x480 with 32:27 pixels (16:9 picture), AC-3
mk dvd_16x9.mpg "DVD-style MPEG-2 720x480, sample aspect 32:27 (16:9), AC-3, program stream" \
    $L "$(pic 720x480 30000/1001 6)" $L "$(tone 6 48000)" -c:v mpeg2video -b:v 4000k -maxrate 8000k -bufsize 1835k \
    -g 15 -bf 2 -aspect 16:9 -c:a ac3 -b:a 192k -f dvd
mk dvd_16x9.vob "DVD-style MPEG-2 720x480 16:9 as a .vob" \
    $L "$(pic 720x480 30000/1001 6)" $L "$(tone 6 48000)" -c:v mpeg2video -b:v 4000k -maxrate 8000k -bufsize 1835k \
    -g 15 -bf 2 -aspect 16:9 -c:a ac3 -b:a 192k -f vob
# Phone clips held upright: landscape pictures with a display matrix turning them portrait
# (the rotation is stamped on a stream copy: ffmpeg 5.1 drops it when it encodes)
ff $L "$(pic 320x240 30 6)" $L "$(tone 6 48000)" -c:v libx264 -preset veryfast -b:v 1000k -pix_fmt yuv420p \
    -c:a aac -b:a 128k "$work/upright.mp4"
mk phone_rotated_90.mp4 "phone clip, H.264 + AAC, display matrix rotation 90 (shown 240x320)" \
    -i "$work/upright.mp4" -c copy -metadata:s:v:0 rotate=90
ff $L "$(pic 320x240 30 5)" $L "$(tone 5 44100)" -c:v libx264 -preset veryfast -b:v 1000k -pix_fmt yuv420p \
    -c:a aac -b:a 128k -f mov "$work/upright.mov"
mk phone_rotated_270.mov "phone clip, QuickTime H.264 + AAC, rotation 270 (shown 240x320)" \
    -i "$work/upright.mov" -c copy -metadata:s:v:0 rotate=270
# Sub-second sounds
mk beep_0.3s.wav "sub-second sound: 0.3 s WAV" $L "$(tone 0.3 44100 mono)" -c:a pcm_s16le
mk beep_0.5s.mp3 "sub-second sound: 0.5 s MP3" $L "$(tone 0.5 44100)" -c:a libmp3lame -b:a 128k
# Tiny videos
mk one_frame.mp4 "a single video frame, no sound" $L "$(pic 320x240 25 1)" -frames:v 1 -c:v mpeg4 -q:v 3
mk tiny_0.6s.avi "0.6 s AVI, MPEG-4 video + MP3 sound" \
    $L "$(pic 320x240 25 0.6)" $L "$(tone 0.6 44100)" -c:v mpeg4 -q:v 3 -c:a libmp3lame -b:a 128k
# Streams that do not start together
mk audio_leads_2s.mkv "sound starts 2 s before the picture (Matroska)" \
    $L "$(tone 6 48000)" -itsoffset 2 $L "$(pic 320x240 25 4)" -map 0:a -map 1:v -c:v mpeg4 -q:v 3 -c:a aac -b:a 128k
mk video_starts_late.mp4 "picture starts 1.5 s late (MP4 edit list)" \
    $L "$(tone 6 48000)" -itsoffset 1.5 $L "$(pic 320x240 25 4.5)" -map 0:a -map 1:v -fps_mode passthrough -c:v libx264 \
    -preset veryfast -b:v 800k -pix_fmt yuv420p -c:a aac -b:a 128k
mk avi_mpeg4_mp3.avi "AVI, MPEG-4 + MP3, sound starting at 0, 640x480" \
    $L "$(pic 640x480 25 6)" $L "$(tone 6 44100)" -c:v mpeg4 -vtag XVID -b:v 1500k -c:a libmp3lame -b:a 128k
# Many channels, unusual sample formats
mk surround_5.1_aac.mp4 "5.1 sound (6-channel AAC) with H.264" \
    $L "$(pic 320x240 25 5)" $L "$(tone 5 48000 5.1)" -c:v libx264 -preset veryfast -b:v 800k -pix_fmt yuv420p \
    -c:a aac -b:a 384k
mk surround_5.1_ac3.mkv "5.1 sound (6-channel AC-3) with MPEG-4 in Matroska" \
    $L "$(pic 320x240 25 5)" $L "$(tone 5 48000 5.1)" -c:v mpeg4 -q:v 3 -c:a ac3 -b:a 448k
mk hires_96k_24bit.wav "96 kHz 24-bit stereo WAV" $L "$(tone 4 96000)" -c:a pcm_s24le
mk mono_8bit.wav "8-bit mono WAV, 11025 Hz" $L "$(tone 3 11025 mono)" -c:a pcm_u8
# Odd sizes, uneven timing
mk odd_321x241.avi "odd frame size 321x241 (MPEG-4 + MP3)" \
    $L "$(pic 322x242 25 5),scale=321:241" $L "$(tone 5 44100)" -c:v mpeg4 -q:v 3 -c:a libmp3lame -b:a 128k
mk variable_fps.mkv "variable frame rate (frames dropped unevenly), H.264 + AAC" \
    $L "$(pic 320x240 30 6),select='not(eq(mod(n\,5)\,1))*not(between(n\,60\,89))'" $L "$(tone 6 48000)" \
    -fps_mode vfr -c:v libx264 -preset veryfast -b:v 600k -pix_fmt yuv420p -c:a aac -b:a 128k
# Old codecs
mk mjpeg_pcm.avi "Motion JPEG AVI with PCM sound (camera style)" \
    $L "$(pic 320x240 15 4)" $L "$(tone 4 22050 mono)" -c:v mjpeg -q:v 4 -pix_fmt yuvj420p -c:a pcm_s16le
mk msmpeg4v2_mp3.avi "MS MPEG-4 v2 AVI with MP3" \
    $L "$(pic 320x240 25 5)" $L "$(tone 5 44100)" -c:v msmpeg4v2 -b:v 800k -c:a libmp3lame -b:a 128k
mk h263_amr.3gp "old phone clip: H.263 176x144 + AMR-NB in 3GP" \
    $L "$(pic 176x144 15 5)" $L "$(tone 5 8000 mono)" -c:v h263 -b:v 128k -c:a libopencore_amrnb -b:a 12.2k -f 3gp
if [[ $(ffmpeg -hide_banner -encoders 2>/dev/null) == *" cinepak "* ]]; then
    mk cinepak.avi "Cinepak AVI with PCM sound" \
        $L "$(pic 160x120 12 2)" $L "$(tone 2 22050 mono)" -c:v cinepak -c:a pcm_u8
fi
mk quicktime_bframes.mov "QuickTime MOV, H.264 with B-frames + AAC" \
    $L "$(pic 480x360 25 5)" $L "$(tone 5 48000)" -c:v libx264 -preset veryfast -bf 3 -b:v 900k -pix_fmt yuv420p \
    -c:a aac -b:a 128k -f mov
# Web and free formats
mk vp8_vorbis.webm "WebM, VP8 + Vorbis" \
    $L "$(pic 320x240 25 5)" $L "$(tone 5 48000)" -c:v libvpx -deadline realtime -cpu-used 8 -b:v 600k \
    -c:a libvorbis -q:a 3
mk vp9_opus.webm "WebM, VP9 + Opus" \
    $L "$(pic 320x240 25 5)" $L "$(tone 5 48000)" -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 600k \
    -c:a libopus -b:a 96k
mk vorbis.ogg "Ogg/Vorbis sound" $L "$(tone 5 44100)" -c:a libvorbis -q:a 3
mk lossless.flac "FLAC sound" $L "$(tone 5 44100)" -c:a flac
# Windows and Real formats
mk wmv2_wmav2.wmv "Windows Media: WMV2 + WMA2 in ASF" \
    $L "$(pic 320x240 25 5)" $L "$(tone 5 44100)" -c:v wmv2 -b:v 800k -c:a wmav2 -b:a 128k
mk wma_audio.wma "WMA sound only" $L "$(tone 5 44100)" -c:a wmav2 -b:a 128k -f asf
mk real_rv10_ac3.rm "RealMedia, RealVideo 1.0 + AC-3" \
    $L "$(pic 320x240 25 5)" $L "$(tone 5 48000)" -c:v rv10 -b:v 600k -c:a ac3 -b:a 192k -f rm
mk real_rv20_144.rm "RealMedia, RealVideo 2.0 + RealAudio 14.4 (8 kHz mono)" \
    $L "$(pic 320x240 25 5)" $L "$(tone 5 8000 mono)" -c:v rv20 -b:v 600k -c:a real_144 -f rm
# Longer clip, extra streams
mk long_12s.mp4 "12 s clip, 640x480 H.264 + AAC" \
    $L "$(pic 640x480 25 12)" $L "$(tone 12 44100)" -c:v libx264 -preset veryfast -b:v 1200k -pix_fmt yuv420p \
    -c:a aac -b:a 128k
printf '1\n00:00:00,500 --> 00:00:02,000\nHello\n\n2\n00:00:03,000 --> 00:00:04,500\nWorld\n' >"$work/subs.srt"
mk subtitles.mkv "Matroska with a SubRip subtitle stream besides picture and sound" \
    $L "$(pic 320x240 25 5)" $L "$(tone 5 48000)" -i "$work/subs.srt" -map 0:v -map 1:a -map 2:s \
    -c:v mpeg4 -q:v 3 -c:a aac -b:a 128k -c:s srt
mk timed_text.mp4 "MP4 with a timed-text (mov_text) stream besides picture and sound" \
    $L "$(pic 320x240 25 5)" $L "$(tone 5 48000)" -i "$work/subs.srt" -map 0:v -map 1:a -map 2:s \
    -c:v mpeg4 -q:v 3 -c:a aac -b:a 128k -c:s mov_text
mk data_stream.ts "MPEG-TS with an extra data stream (KLV-like) besides picture and sound" \
    $L "$(pic 320x240 25 5)" $L "$(tone 5 48000)" -i "$work/subs.srt" -map 0:v -map 1:a -map 2:s \
    -c:v mpeg2video -b:v 1000k -c:a mp2 -b:a 192k -c:s copy -f mpegts
t1=$(date +%s)
echo "Made ${#made[@]} files in $((t1 - t0)) s."
if [ "${#skipped[@]}" -gt 0 ]; then
    echo "Could not make: ${skipped[*]} (see the ffmpeg messages below)"
    tail -n 40 "$gen_log"
fi
[ "${#made[@]}" -gt 0 ] || { echo "no test file could be made" >&2; exit 1; }
[ -n "$media_only" ] && exit 0

args=(--cli "$cli" --media "$media" --what "$work/what.tsv" --out "$work/out" --jobs 2)
[ "$quick" = 1 ] && args+=(--quick)
nice -n 10 python3 -B "$helper" "${args[@]}"
rc=$?
# The report is the product: only a broken run of the helper itself is an error.
[ "$rc" = 0 ] || exit "$rc"
exit 0
