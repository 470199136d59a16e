#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs Morvane's Debian package on a clean Debian 12 root and checks that it runs there.
#
#   sudo tests/install/check_deb.sh [PACKAGE.deb]
#
# Without an argument the package is built first (./build.sh package, into $MORVANE_BUILD_DIR or
# ./build). Needs root, debootstrap (installed when missing) and access to a Debian mirror
# ($MORVANE_MIRROR, default http://deb.debian.org/debian). Not part of ctest.
#
# In the new root, as an ordinary user, it checks that:
#   - apt installs the package with its Depends only (no Recommends),
#   - the programs are in bin/, their data (profiles, help) in share/morvane/, with the manual
#     pages, the changelog, the desktop entry, the metainfo and the icons,
#   - morvane-cli converts a clip made with ffmpeg into each output type, checked with ffprobe,
#   - log.txt goes to the user's data folder (root's too), never beside the program,
#   - a profile file in the user's config folder replaces the shipped one, and stays when the
#     package is installed again,
#   - morvane starts (offscreen) and is still running after a few seconds.
#
# Environment: MORVANE_MIRROR, MORVANE_KEEP_ROOT=1 (keep the root folder for a look),
# MORVANE_DEBOOTSTRAP_CACHE (downloaded packages kept between runs; default
# /var/cache/morvane-check-deb).
set -euo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
mirror=${MORVANE_MIRROR:-http://deb.debian.org/debian}
cache=${MORVANE_DEBOOTSTRAP_CACHE:-/var/cache/morvane-check-deb}
started=$SECONDS

step() { printf '\n== %s (%ds)\n' "$*" $((SECONDS - started)); }
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

[ "$(id -u)" -eq 0 ] || fail "run this as root (it uses debootstrap and chroot)"

# ---- The package ----------------------------------------------------------------------------
if [ $# -ge 1 ]; then
    deb=$(realpath "$1")
else
    step "Building the package"
    build_dir=${MORVANE_BUILD_DIR:-build}
    "$repo/build.sh" package
    deb=$(ls -t "$repo/$build_dir"/morvane_*.deb 2>/dev/null | head -n 1 || true)
fi
[ -f "$deb" ] || fail "no package found (${deb:-none})"
echo "Package: $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends

if ! command -v debootstrap >/dev/null; then
    step "Installing debootstrap"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
fi

# ---- A clean Debian 12 root ------------------------------------------------------------------
root=$(mktemp -d /var/tmp/morvane-deb-root.XXXXXX)
chmod 755 "$root" # it becomes "/" for the root's own users (_apt, tester)
mounted=()
cleanup() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount -l "${mounted[i]}" 2>/dev/null || true
    done
    if [ "${MORVANE_KEEP_ROOT:-0}" = 1 ]; then
        echo "Root kept in $root"
    else
        rm -rf --one-file-system "$root"
    fi
}
trap cleanup EXIT

step "debootstrap bookworm from $mirror"
mkdir -p "$cache"
if ! debootstrap --variant=minbase --cache-dir="$cache" bookworm "$root" "$mirror" \
    >"$root.debootstrap.log" 2>&1; then
    tail -n 30 "$root.debootstrap.log" >&2
    fail "debootstrap could not make the root (log above)"
fi
rm -f "$root.debootstrap.log"

# The archives a fresh Debian 12 installation uses.
security=${mirror%/debian}/debian-security
[ "$mirror" = "http://deb.debian.org/debian" ] || security=http://deb.debian.org/debian-security
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security bookworm-security main
EOF

# /proc tells a program where its executable really is; /dev gives /dev/null and friends.
mount -t proc proc "$root/proc" || fail "cannot mount /proc in the root"
mounted+=("$root/proc")
mount --bind /dev "$root/dev" || fail "cannot bind /dev into the root"
mounted+=("$root/dev")
cp /etc/resolv.conf "$root/etc/resolv.conf"

in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
# Runs as the root's ordinary user "tester", with the given PATH.
as_user_path() {
    local path=$1
    shift
    chroot --userspec="$tester_ids" "$root" env -i HOME=/home/tester PATH="$path" \
        LANG=C.UTF-8 XDG_RUNTIME_DIR=/tmp/runtime-tester "$@"
}
as_user() { as_user_path /usr/bin:/bin "$@"; }

# ---- Install with apt, so that Depends are resolved -----------------------------------------
step "apt-get install ./$(basename "$deb") (Depends only)"
cp "$deb" "$root/tmp/morvane.deb"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    /tmp/morvane.deb >"$root/tmp/apt.log" 2>&1 || {
    tail -n 30 "$root/tmp/apt.log" >&2
    fail "apt could not install the package"
}
echo "$(in_root dpkg-query -W -f='${binary:Package}\n' | wc -l) packages in the root"

step "Installed files"
for file in /usr/bin/morvane /usr/bin/morvane-cli; do
    [ -x "$root$file" ] && [ ! -L "$root$file" ] || fail "$file is not a program"
done
for file in /usr/share/morvane/app/3GP_AMR_Profile.ini /usr/share/morvane/app/3GP_AAC_Profile.ini \
    /usr/share/morvane/app/3GP2_AAC_Profile.ini /usr/share/morvane/help/help.html \
    /usr/share/applications/morvane.desktop /usr/share/icons/hicolor/scalable/apps/morvane.svg \
    /usr/share/icons/hicolor/48x48/apps/morvane.png \
    /usr/share/metainfo/invalid.morvane.Morvane.metainfo.xml \
    /usr/share/man/man1/morvane.1.gz /usr/share/man/man1/morvane-cli.1.gz \
    /usr/share/doc/morvane/changelog.Debian.gz /usr/share/doc/morvane/copyright; do
    [ -f "$root$file" ] || fail "$file is missing"
done
[ ! -e "$root/usr/lib/morvane" ] || fail "/usr/lib/morvane is still there"
head -n 1 "$root/usr/share/doc/morvane/copyright" | grep -q '^Format: .*copyright-format/1.0' ||
    fail "the copyright file is not in Debian's machine-readable format"
[ -f "$root/usr/share/morvane/Derov.skf" ] || echo "note: no skin (Derov.skf) in the package"
echo "programs, profiles, help, manual pages, changelog, desktop entry, icons and copyright:" \
    "in place"

# ---- Convert as an ordinary user ---------------------------------------------------------------
in_root useradd --create-home --shell /bin/bash tester
tester_ids="$(in_root id -u tester):$(in_root id -g tester)"
in_root install -d -o tester -g tester -m 700 /tmp/runtime-tester
step "A test clip made with ffmpeg"
as_user ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=320x240:rate=25:duration=3 \
    -f lavfi -i sine=frequency=440:duration=3 -c:v mpeg4 -c:a pcm_s16le -shortest \
    "/home/tester/test clip.avi"

probe() {
    as_user ffprobe -v error -show_entries "$1" -of default=noprint_wrappers=1:nokey=1 "$2"
}

# type, file extension, expected brand, expected video codec, expected audio codec
while read -r type extension brand video audio; do
    step "morvane-cli -t $type"
    # A folder per type: types 0 and 1 both make "test clip.3gp".
    as_user mkdir -p "/home/tester/out/$type"
    as_user morvane-cli -t "$type" -o "/home/tester/out/$type" "/home/tester/test clip.avi" ||
        fail "morvane-cli -t $type ended with $?"
    out="/home/tester/out/$type/test clip.$extension"
    [ -s "$root$out" ] || fail "no $out"
    got_brand=$(probe format_tags=major_brand "$out")
    mapfile -t codecs < <(probe stream=codec_name "$out")
    got_video=${codecs[0]:-none}
    got_audio=${codecs[1]:-none}
    duration=$(probe format=duration "$out")
    echo "$out: brand $got_brand, $got_video + $got_audio, ${duration}s"
    [[ "$got_brand" == "$brand"* ]] || fail "brand $got_brand, expected $brand"
    [ "$got_video" = "$video" ] || fail "video $got_video, expected $video"
    [ "$got_audio" = "$audio" ] || fail "audio $got_audio, expected $audio"
    awk -v d="$duration" 'BEGIN { exit !(d > 2.5 && d < 3.5) }' || fail "duration $duration"
done <<'EOF'
0 3gp 3gp h263 amr_nb
1 3gp 3gp mpeg4 aac
2 3g2 3g2 mpeg4 aac
EOF
ls -AR "$root/home/tester/out"
for type in 0 1 2; do
    [ "$(ls -A "$root/home/tester/out/$type" | wc -l)" -eq 1 ] ||
        fail "type $type left more than its output in its folder"
done

step "log.txt goes to the user's data folder"
# A profile of the user's own whose encoder fails: its job is logged with the encoder's words.
broken=/tmp/broken-config/Morvane/Morvane/profiles
in_root mkdir -p "$broken"
printf '%s\n' '[Info]' 'DefaultProfile=1' '[Broken]' 'Title=Broken' \
    'Command=sh -c "echo no sound today >&2; exit 1" $INPUT_FILE' \
    >"$root$broken/3GP_AAC_Profile.ini"
in_root chmod -R a+rX /tmp/broken-config
as_user mkdir /home/tester/out2
status=0
as_user env XDG_CONFIG_HOME=/tmp/broken-config morvane-cli -t 1 -o /home/tester/out2 \
    "/home/tester/test clip.avi" || status=$?
[ "$status" -eq 1 ] || fail "with a failing encoder morvane-cli ended with $status, expected 1"
log=/home/tester/.local/share/Morvane/Morvane/log.txt
grep -q "no sound today" "$root$log" || fail "the failed job is not in $log"
# Root's entries go to root's own data folder, not beside the program.
in_root env HOME=/root XDG_CONFIG_HOME=/tmp/broken-config morvane-cli -t 1 -o /tmp \
    "/home/tester/test clip.avi" || true
grep -q "no sound today" "$root/root/.local/share/Morvane/Morvane/log.txt" ||
    fail "root's failed job is not in /root/.local/share/Morvane/Morvane/log.txt"
[ -z "$(find "$root/usr" -name log.txt)" ] || fail "log.txt was written under /usr"
echo "$log and root's log.txt hold the failed jobs; nothing was written under /usr"

step "A user's own profile wins and stays when the package is installed again"
profiles=/home/tester/.config/Morvane/Morvane/profiles
as_user mkdir -p "$profiles"
as_user sh -c "sed 's/^Title=Normal: /Title=Edited: /' /usr/share/morvane/app/3GP_AAC_Profile.ini \
    >$profiles/3GP_AAC_Profile.ini"
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --reinstall /tmp/morvane.deb \
    >>"$root/tmp/apt.log" 2>&1 || fail "apt could not install the package again"
as_user morvane-cli --list-profiles | grep -q ' \* 2\. Edited: ' ||
    fail "the edited profile is not listed after the package was installed again"
echo "the edited 3GP + AAC profile is listed after the reinstall"

# ---- The window -----------------------------------------------------------------------------
step "morvane starts offscreen"
status=0
as_user env QT_QPA_PLATFORM=offscreen timeout 4 morvane >"$root/tmp/morvane.log" 2>&1 || status=$?
cat "$root/tmp/morvane.log"
[ "$status" -eq 124 ] || fail "morvane ended by itself with $status within 4 seconds"
echo "morvane was still running after 4 seconds"

step "PASS: the package installs on a clean Debian 12 root, converts and starts"
