#!/usr/bin/env bash
# Builds the Windows program on this machine: installs the MinGW-w64 cross
# compiler, Wine and NSIS with apt, builds a static Qt for Windows once into a
# cache folder outside the build tree, cross-builds the program and its unit
# tests, and packs the portable zip and the installer into build-windows/.
#
#   scripts/windows.sh            everything (Qt from the cache when present)
#   scripts/windows.sh --qt-only  only the Qt cache
#   scripts/windows.sh --test     everything, then the Windows tests under Wine
#   scripts/windows.sh --cached-only  exits 0 when the Qt cache is there
#
# DRAW_WIN_CACHE (default /var/cache/xingsuo-draw) holds the built Qt, keyed by
# the Qt version and the flags it was built with; DRAW_WIN_BUILD (default
# build-windows in the checkout) holds the program's build and the packages;
# DRAW_HOST_ICONS, a Linux build's app/icons folder, spares building the
# icon-drawing tool again.
set -euo pipefail
DRAW_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
DRAW_WIN_CACHE="${DRAW_WIN_CACHE:-/var/cache/xingsuo-draw}"
DRAW_WIN_BUILD="${DRAW_WIN_BUILD:-$DRAW_ROOT/build-windows}"
DRAW_QT_VERSION=6.4.2
DRAW_TOOLCHAIN="$DRAW_ROOT/cmake/mingw-w64-x86_64.cmake"

mode=all
case "${1:-}" in
--qt-only) mode=qt ;;
--test) mode=test ;;
--cached-only) mode=cached ;;
"") ;;
*)
    echo "usage: $0 [--qt-only | --test]" >&2
    exit 2
    ;;
esac

DRAW_WIN_PACKAGES=(
    mingw-w64 g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
    wine wine64 nsis ninja-build zip dpkg-dev
    cmake qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
    xvfb xdotool xclip
)

sudo_cmd() {
    if [ "$(id -u)" -ne 0 ]; then
        sudo "$@"
    else
        "$@"
    fi
}

apt_get() {
    sudo_cmd env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"
}

install_packages() {
    local missing=()
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    apt_get update -qq
    apt_get install -y -qq --no-install-recommends "${missing[@]}"
}

# A deb-src entry for the suites this machine installs from, in a sources
# file of this script's own, so that apt-get source finds Debian's Qt.
DRAW_SRC_LIST=/etc/apt/sources.list.d/xingsuo-draw-src.sources
enable_deb_src() {
    local main=/etc/apt/sources.list.d/debian.sources wanted
    if [ -f "$main" ]; then
        # Every "Types: deb" stanza again as deb-src, with the same mirror,
        # suites, components and key.
        wanted=$(awk '
            BEGIN { RS = ""; ORS = "\n\n" }
            /(^|\n)Types:[^\n]*deb([ \n]|$)/ {
                out = ""
                n = split($0, lines, "\n")
                for (i = 1; i <= n; i++) {
                    if (lines[i] ~ /^#/) continue
                    if (lines[i] ~ /^Types:/) lines[i] = "Types: deb-src"
                    out = out lines[i] "\n"
                }
                printf "%s\n", out
            }' "$main")
    else
        local codename
        codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
        wanted="Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
"
    fi
    if [ -f "$DRAW_SRC_LIST" ] && [ "$(cat "$DRAW_SRC_LIST")" = "$(printf '%s' "$wanted")" ]; then
        if [ -n "$(ls /var/lib/apt/lists/*_source_Sources* 2>/dev/null)" ]; then
            return 0
        fi
    else
        printf '%s\n' "$wanted" | sudo_cmd tee "$DRAW_SRC_LIST" >/dev/null
    fi
    apt_get update -qq
}

# The roster import reads workbooks with QZipReader, which QtGui builds
# with its textodfwriter feature (on by default here), and QXmlStreamReader,
# which is QtCore's own: FEATURE_xml below is only the Qt Xml module.
# The options Qt is configured with; their hash (with the toolchain file's)
# names the cache folder, so other options never reuse a Qt built without them.
DRAW_QT_FLAGS=(
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=OFF
    -DFEATURE_static_runtime=ON
    -DFEATURE_optimize_size=ON
    -DQT_BUILD_EXAMPLES=OFF
    -DQT_BUILD_TESTS=OFF
    -DFEATURE_network=OFF
    -DFEATURE_sql=OFF
    -DFEATURE_dbus=OFF
    -DFEATURE_vulkan=OFF
    -DFEATURE_printsupport=OFF
    -DFEATURE_xml=OFF
    -DFEATURE_concurrent=OFF
    -DFEATURE_gif=OFF
    -DFEATURE_icu=OFF
    -DFEATURE_zstd=OFF
    -DINPUT_opengl=no
    -DFEATURE_tabletevent=OFF
    -DFEATURE_system_doubleconversion=OFF
    -DFEATURE_system_freetype=OFF
    -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_system_jpeg=OFF
    -DFEATURE_system_libb2=OFF
    -DFEATURE_system_pcre2=OFF
    -DFEATURE_system_png=OFF
    -DFEATURE_system_textmarkdownreader=OFF
    -DFEATURE_system_zlib=OFF
    -DFEATURE_testlib=ON
)
qt_flags_hash() {
    { printf '%s\n' "$DRAW_QT_VERSION" "${DRAW_QT_FLAGS[@]}"; cat "$DRAW_TOOLCHAIN"; } |
        sha256sum | cut -c1-12
}
DRAW_QT_PREFIX="$DRAW_WIN_CACHE/qt-$DRAW_QT_VERSION-mingw-$(qt_flags_hash)"

# Builds Qt into DRAW_QT_PREFIX unless it is there. The build runs in a work
# folder and installs into a staging folder; only a finished install is
# renamed into place, so a failed or stopped build leaves no cache behind.
build_qt() {
    if [ -f "$DRAW_QT_PREFIX/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
        echo "Qt $DRAW_QT_VERSION for Windows: $DRAW_QT_PREFIX (cached)"
        return 0
    fi
    sudo_cmd mkdir -p "$DRAW_WIN_CACHE"
    local work="$DRAW_WIN_CACHE/work-$(basename "$DRAW_QT_PREFIX")"
    # One build at a time; a second caller waits and then finds the cache.
    exec 9>"$DRAW_WIN_CACHE/.lock"
    flock 9
    if [ -f "$DRAW_QT_PREFIX/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
        exec 9>&-
        return 0
    fi
    local started=$SECONDS
    enable_deb_src
    rm -rf "$work"
    mkdir -p "$work/src"
    (cd "$work/src" && apt-get source -qq qt6-base >/dev/null 2>"$work/source.log") || {
        cat "$work/source.log" >&2
        echo "apt-get source qt6-base failed" >&2
        return 1
    }
    local src
    src=$(find "$work/src" -maxdepth 1 -mindepth 1 -type d -name "qt6-base-$DRAW_QT_VERSION*" | head -n1)
    [ -n "$src" ] || { echo "no qt6-base source in $work/src" >&2; return 1; }
    local host_cmake
    host_cmake=$(dirname "$(dirname "$(readlink -f /usr/lib/*/cmake/Qt6/Qt6Config.cmake)")")
    local stage="$work/stage"
    echo "Building Qt $DRAW_QT_VERSION for Windows (about 20 minutes on 2 cores); log: $work/build.log"
    if ! {
        cmake -S "$src" -B "$work/build" -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$DRAW_TOOLCHAIN" \
            -DCMAKE_INSTALL_PREFIX="$DRAW_QT_PREFIX" \
            -DQT_HOST_PATH=/usr \
            -DQT_HOST_PATH_CMAKE_DIR="$host_cmake" \
            "${DRAW_QT_FLAGS[@]}" &&
            cmake --build "$work/build" --parallel "$(nproc)" &&
            DESTDIR="$stage" cmake --install "$work/build"
    } >"$work/build.log" 2>&1; then
        tail -n 40 "$work/build.log" >&2
        echo "Qt build failed; the log is $work/build.log" >&2
        return 1
    fi
    mv "$stage$DRAW_QT_PREFIX" "$DRAW_QT_PREFIX"
    rm -rf "$work"
    exec 9>&-
    echo "Qt $DRAW_QT_VERSION for Windows built in $((SECONDS - started)) s: $DRAW_QT_PREFIX"
}

if [ "$mode" = cached ]; then
    [ -f "$DRAW_QT_PREFIX/lib/cmake/Qt6/qt.toolchain.cmake" ]
    exit
fi
install_packages "${DRAW_WIN_PACKAGES[@]}"
build_qt
[ "$mode" = qt ] && exit 0

DRAW_VERSION=$(sed -n 's/^project(XingSuoDraw VERSION \([0-9.]*\).*/\1/p' "$DRAW_ROOT/CMakeLists.txt")
DRAW_PACKAGE="xingsuo-draw-$DRAW_VERSION-windows-x64"

# The icon is drawn by the program's own artwork code, run on this machine
# from a Linux build of the drawing tool, and packed into an .ico.
# DRAW_HOST_ICONS names a folder of icon files a Linux build already drew
# (test.sh hands over build/app/icons), so the tool is not built again.
make_icon() {
    local host="$DRAW_WIN_BUILD/host-tools" ico="$DRAW_WIN_BUILD/xingsuo-draw.ico"
    local icons="${DRAW_HOST_ICONS:-}"
    if [ -z "$icons" ]; then
        cmake -S "$DRAW_ROOT" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDRAW_BUILD_TESTS=OFF \
            -DDRAW_BUILD_BENCH=OFF >/dev/null
        cmake --build "$host" --target icons --parallel "$(nproc)" >/dev/null
        icons="$host/app/icons"
    fi
    python3 "$DRAW_ROOT/scripts/make_ico.py" "$ico.new" "$icons"/xingsuo-draw-{16,24,32,48,64,128,256}.png
    mv "$ico.new" "$ico"
}

cross_build() {
    local build="$DRAW_WIN_BUILD/program"
    cmake -S "$DRAW_ROOT" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$DRAW_QT_PREFIX/lib/cmake/Qt6/qt.toolchain.cmake" \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$DRAW_TOOLCHAIN" \
        -DCMAKE_BUILD_TYPE=Release -DDRAW_BUILD_TESTS=ON -DDRAW_BUILD_BENCH=OFF \
        -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DDRAW_WINDOWS_ICON="$DRAW_WIN_BUILD/xingsuo-draw.ico" >/dev/null
    cmake --build "$build" --parallel "$(nproc)"
}

# The portable zip and the installer, from one staging folder.
pack() {
    local build="$DRAW_WIN_BUILD/program" stage="$DRAW_WIN_BUILD/$DRAW_PACKAGE"
    rm -rf "$stage"
    mkdir -p "$stage/translations"
    x86_64-w64-mingw32-strip -o "$stage/xingsuo-draw.exe" "$build/app/xingsuo-draw.exe"
    cp /usr/share/qt6/translations/qtbase_zh_CN.qm "$stage/translations/"
    cp "$DRAW_WIN_BUILD/xingsuo-draw.ico" "$stage/"
    sed 's/$/\r/' "$DRAW_ROOT/LICENSE" >"$stage/LICENSE.txt"
    sed 's/$/\r/' "$DRAW_ROOT/packaging/windows/README.txt" >"$stage/README.txt"
    rm -f "$DRAW_WIN_BUILD/$DRAW_PACKAGE.zip"
    (cd "$DRAW_WIN_BUILD" && zip -qr9 "$DRAW_PACKAGE.zip" "$DRAW_PACKAGE" -x "$DRAW_PACKAGE/xingsuo-draw.ico")
    makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$DRAW_VERSION" -DSTAGE="$stage" \
        -DOUTFILE="$DRAW_WIN_BUILD/$DRAW_PACKAGE-setup.exe" "$DRAW_ROOT/packaging/windows/installer.nsi"
    ls -l "$DRAW_WIN_BUILD/$DRAW_PACKAGE.zip" "$DRAW_WIN_BUILD/$DRAW_PACKAGE-setup.exe"
}

started=$SECONDS
mkdir -p "$DRAW_WIN_BUILD"
make_icon
cross_build
pack
echo "Windows program built and packed in $((SECONDS - started)) s (Qt from $DRAW_QT_PREFIX)"
if [ "$mode" = test ]; then
    "$DRAW_ROOT/scripts/wine-tests.sh" "$DRAW_WIN_BUILD"
fi
