#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts Morvane under Xvfb with its own D-Bus session and accessibility bus, and prints what a
# screen reader sees: every control's role and name (atspi_listing.py).
#   tests/accessibility/atspi-listing.sh [PROGRAM [FILE...]]
# PROGRAM defaults to build/program/morvane; the FILEs are added to its list as it starts.
# Needs: xvfb, python3-pyatspi, at-spi2-core, dbus. Exits 77 when one is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=${1:-$here/../../build/program/morvane}
[ $# -gt 0 ] && shift
for tool in Xvfb dbus-run-session /usr/libexec/at-spi-bus-launcher; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "missing: python3-pyatspi" >&2; exit 77; }

exec dbus-run-session -- bash -s "$program" "$here" "$@" <<'INNER'
set -euo pipefail
program=$1
here=$2
shift 2
display=:$((90 + RANDOM % 800))
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
bus=$!
trap 'kill $app $bus $xvfb 2>/dev/null || true' EXIT
sleep 1
settings=$(mktemp -d)
DISPLAY=$display XDG_CONFIG_HOME=$settings QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    QT_ACCESSIBILITY=1 "$program" "$@" >/dev/null 2>&1 &
app=$!
DISPLAY=$display /usr/bin/python3 "$here/atspi_listing.py" morvane
INNER
