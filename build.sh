#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up a Debian 12 machine for Morvane, builds it, and runs it or its tests.
#   ./build.sh run [ARGS...]   install what is missing, build, start Morvane
#   ./build.sh test            install what is missing, build, run every test
#   ./build.sh build           install what is missing and build
#   ./build.sh package         install what is missing, build, make the Debian package (.deb)
# The build goes to ./build (or $MORVANE_BUILD_DIR); the package's own build, with Debian's
# compiler and linker flags, to ./build-package (or $MORVANE_PACKAGE_BUILD_DIR), and the .deb
# into the build folder.
set -euo pipefail
cd "$(dirname "$0")"

# Exactly what the build, the programs and the tests need.
PACKAGES=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-multimedia-dev libqt6svg6-dev
    qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
    ffmpeg libavcodec-extra
    xvfb openbox
    python3
)

# Only the package command needs these (dpkg-shlibdeps works out the package's Depends).
PACKAGE_TOOLS=(dpkg-dev file)

# install_packages [EXTRA_PACKAGE...]
install_packages() {
    local missing=()
    for package in "${PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

build_dir=${MORVANE_BUILD_DIR:-build}

build() {
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$build_dir" -j "$(nproc)"
}

# The packaged programs are built with the flags of dpkg-buildflags and all its hardening:
# stack protector, FORTIFY_SOURCE (CPPFLAGS, which CMake does not read by itself), PIE, RELRO
# and BIND_NOW. Tests are not built there.
package_build_dir=${MORVANE_PACKAGE_BUILD_DIR:-build-package}
build_package() {
    local -A flags
    local name
    for name in CPPFLAGS CFLAGS CXXFLAGS LDFLAGS; do
        flags[$name]=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$name")
    done
    cmake -S . -B "$package_build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
        -DCMAKE_C_FLAGS="${flags[CPPFLAGS]} ${flags[CFLAGS]}" \
        -DCMAKE_CXX_FLAGS="${flags[CPPFLAGS]} ${flags[CXXFLAGS]}" \
        -DCMAKE_EXE_LINKER_FLAGS="${flags[LDFLAGS]}" -DCMAKE_SHARED_LINKER_FLAGS="${flags[LDFLAGS]}"
    cmake --build "$package_build_dir" -j "$(nproc)"
    cpack --config "$package_build_dir/CPackConfig.cmake" -B "$build_dir" -G DEB
}

command=${1:-run}
[ $# -gt 0 ] && shift
case "$command" in
run)
    install_packages
    build
    exec "$build_dir/program/morvane" "$@"
    ;;
test)
    install_packages
    build
    ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
    ;;
build)
    install_packages
    build
    ;;
package)
    install_packages "${PACKAGE_TOOLS[@]}"
    build_package
    ;;
*)
    echo "usage: $0 run|test|build|package" >&2
    exit 2
    ;;
esac
