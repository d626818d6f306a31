#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary root and checks
# that it holds a program that starts, its desktop entry and its icons.
# Usage: check_package.sh BUILD_DIR
set -euo pipefail
build="$1"
for tool in cpack dpkg-deb desktop-file-validate identify; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/*.deb)
echo "package: $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6widgets6 qt6-qpa-plugins fonts-wqy-microhei; do
    [[ "$depends" == *"$dep"* ]] || fail "Depends lacks $dep: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
bin="$root/usr/bin/xingsuo-draw"
desktop="$root/usr/share/applications/xingsuo-draw.desktop"
[ -x "$bin" ] || fail "no program in the package"
[ -f "$root/usr/share/doc/xingsuo-draw/README.md" ] || fail "no README in the package"
desktop-file-validate "$desktop" || fail "desktop entry does not validate"
grep -q '^Name=星梭抽奖$' "$desktop" || fail "desktop entry has the wrong name"
grep -q '^Icon=xingsuo-draw$' "$desktop" || fail "desktop entry names no icon"
for size in 16 24 32 48 64 128 256; do
    icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/xingsuo-draw.png"
    [ "$(identify -format '%w %h' "$icon")" = "$size $size" ] || fail "icon $size is missing or the wrong size"
done
if ldd "$bin" | grep -q "not found"; then
    ldd "$bin"
    fail "unresolved libraries"
fi

# The unpacked program starts and keeps running on its settings window.
cd "$work"
set +e
XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM=offscreen timeout 3 "$bin" >"$work/run.log" 2>&1
status=$?
set -e
[ "$status" = 124 ] || { cat "$work/run.log"; fail "the program ended by itself (status $status)"; }
[ ! -e "$work/Result.txt" ] || fail "starting the program wrote a result log"
echo "package checks passed"
