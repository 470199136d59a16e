#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a program needs a Qt GUI library: morvane-cli must start where no display and no
# Qt GUI libraries are installed. Prints the program's NEEDED entries either way.
# Usage: check-no-gui-libraries.sh PROGRAM
set -eu
program="$1"
needed=$(readelf -d "$program" | grep '(NEEDED)') || {
    echo "$program: no NEEDED entries read" >&2
    exit 1
}
echo "$needed"
# A program of ours that does not name QtCore was not read right.
echo "$needed" | grep -q 'libQt6Core\.so' || {
    echo "$program: libQt6Core is not among its libraries" >&2
    exit 1
}
if echo "$needed" | grep -E 'libQt6(Gui|Widgets|OpenGL|Multimedia|Svg)\.so' >&2; then
    echo "$program: needs a Qt GUI library" >&2
    exit 1
fi
