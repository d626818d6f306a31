#!/usr/bin/env bash
# Installs with apt-get whatever the build, the program and the tests need and
# this machine lacks. Sourced by run.sh and test.sh.
set -euo pipefail

DRAW_PACKAGES=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    qt6-qpa-plugins
    fonts-wqy-microhei
    libbenchmark-dev
    xvfb xdotool imagemagick x11-utils python3
    xclip
    desktop-file-utils dpkg-dev
    clang-format clang libclang-rt-dev
)

draw_missing_packages() {
    local missing=()
    for p in "${DRAW_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    echo "${missing[@]:-}"
}

draw_install() {
    local missing
    missing=$(draw_missing_packages)
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

draw_build() {
    local build_dir="$1"
    shift
    cmake -S "$DRAW_ROOT" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$build_dir" --parallel "$(nproc)"
}
