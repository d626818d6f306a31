#!/usr/bin/env bash
# Installs with apt-get whatever the build, the program and the tests need and
# this machine lacks. Sourced by run.sh and test.sh.
set -euo pipefail

# What building and starting the program needs (run.sh).
DRAW_RUN_PACKAGES=(
    cmake g++ make ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    qt6-base-private-dev
    qt6-qpa-plugins qt6-translations-l10n
    qt6-multimedia-dev libqt6multimedia6
    fonts-wqy-microhei
)
# Everything, for the tests, the package checks and the benchmarks (test.sh).
DRAW_PACKAGES=(
    "${DRAW_RUN_PACKAGES[@]}"
    libbenchmark-dev
    xvfb xdotool imagemagick x11-utils python3 openbox
    xclip
    pulseaudio pulseaudio-utils
    desktop-file-utils dpkg-dev lintian appstream
    clang-format clang libclang-rt-dev
    python3-openpyxl python3-xlsxwriter
)

draw_missing_packages() {
    local missing=()
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    echo "${missing[@]:-}"
}

# draw_install: everything; draw_install_run: only what the program needs.
draw_install() { draw_install_packages "${DRAW_PACKAGES[@]}"; }
draw_install_run() { draw_install_packages "${DRAW_RUN_PACKAGES[@]}"; }

draw_install_packages() {
    local missing
    missing=$(draw_missing_packages "$@")
    [ -z "$missing" ] && return 0
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    echo "Installing: $missing"
    $sudo apt-get update -qq
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}

# draw_generator BUILD_DIR: "-G Ninja" for a new build folder when ninja is
# there (it keeps both cores busy from the first file to the last link);
# nothing for a folder already configured, which keeps its generator.
draw_generator() {
    [ -f "$1/CMakeCache.txt" ] || ! command -v ninja >/dev/null || echo "-G Ninja"
}

# draw_build BUILD_DIR [--target TARGET] [CMAKE_OPTION...]: configures and
# builds everything, or only TARGET and what it needs.
draw_build() {
    local build_dir="$1"
    shift
    local target=()
    if [ "${1:-}" = --target ]; then
        target=(--target "$2")
        shift 2
    fi
    cmake -S "$DRAW_ROOT" -B "$build_dir" $(draw_generator "$build_dir") -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$build_dir" --parallel "$(nproc)" "${target[@]}"
}
