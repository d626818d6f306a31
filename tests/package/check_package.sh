#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary root and checks
# that it holds a program that starts, its desktop entry and its icons, its
# documentation and metadata, and that Debian's own checker passes it:
# lintian may report no error and no warning, unless the package's own
# override file explains it with a comment.
# Usage: check_package.sh BUILD_DIR
set -euo pipefail
build="$1"
for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate identify lintian appstreamcli; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/*.deb)
echo "package: $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6multimedia6 qt6-qpa-plugins qt6-translations-l10n fonts-wqy-microhei; do
    [[ "$depends" == *"$dep"* ]] || fail "Depends lacks $dep: $depends"
done
# The extended description: present, and every line a continuation line
# (a CMake list in the description would start lines with ";").
description=$(dpkg-deb -f "$deb" Description)
[ "$(printf '%s\n' "$description" | wc -l)" -ge 3 ] || fail "no extended description: $description"
if printf '%s\n' "$description" | tail -n +2 | grep -qv '^ [^ ;]'; then
    fail "malformed extended description: $description"
fi

root="$work/root"
dpkg-deb -x "$deb" "$root"
bin="$root/usr/bin/xingsuo-draw"
desktop="$root/usr/share/applications/xingsuo-draw.desktop"
[ -x "$bin" ] || fail "no program in the package"
doc="$root/usr/share/doc/xingsuo-draw"
for file in README.md README.zh-CN.md copyright changelog.gz; do
    [ -f "$doc/$file" ] || fail "no $file in the package"
done
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' "$doc/copyright" ||
    fail "copyright is not in the machine-readable format"
# The changelog's latest entry is this version (a version bump needs one).
version=$(dpkg-deb -f "$deb" Version)
[ "$(zcat "$doc/changelog.gz" | head -n1)" = "xingsuo-draw ($version) unstable; urgency=medium" ] ||
    fail "the changelog's latest entry is not version $version"
[ -f "$root/usr/share/man/man1/xingsuo-draw.1.gz" ] || fail "no manual page"
# The manual page documents the options: --help, --version, --fresh and --import-report.
manual=$(zcat "$root/usr/share/man/man1/xingsuo-draw.1.gz")
for option in help version fresh 'import\-report'; do
    [[ "$manual" == *"\\-\\-$option"* ]] || fail "the manual page does not document --$option"
done

# AppStream: valid without a single remark, launching the shipped desktop
# entry, with screenshots the project has under docs/screenshots.
metainfo="$root/usr/share/metainfo/org.example.xingsuo_draw.metainfo.xml"
[ -f "$metainfo" ] || fail "no AppStream metadata"
appstreamcli validate --no-net --pedantic "$metainfo" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log"; fail "the AppStream metadata does not validate"; }
if grep -q '^[EWI]:' "$work/appstream.log"; then
    cat "$work/appstream.log"
    fail "the AppStream metadata draws remarks"
fi
grep -q "<release version=\"$version\"" "$metainfo" || fail "the AppStream metadata lacks release $version"
grep -q '<launchable type="desktop-id">xingsuo-draw.desktop</launchable>' "$metainfo" ||
    fail "the AppStream metadata does not launch xingsuo-draw.desktop"
screenshots=$(grep -o 'screenshots/[^<]*\.png' "$metainfo")
[ -n "$screenshots" ] || fail "the AppStream metadata shows no screenshot"
source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
for shot in $screenshots; do
    [ -f "$source_dir/docs/$shot" ] || fail "the AppStream screenshot $shot is not in docs/screenshots"
done

# Debian's checker. Overrides are only accepted with their reason: a comment
# right above each of them.
overrides="$root/usr/share/lintian/overrides/xingsuo-draw"
if [ -f "$overrides" ]; then
    awk 'NF && !/^#/ && prev !~ /^#/ { print "override without a reason: " $0; bad = 1 } { prev = $0 }
         END { exit bad }' "$overrides" || fail "a lintian override gives no reason"
    echo "lintian overrides shipped:"
    cat "$overrides"
fi
set +e
lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.log" 2>&1
status=$?
set -e
grep -v '^running with root privileges' "$work/lintian.log" || true
[ "$status" = 0 ] || fail "lintian reports errors or warnings (status $status)"
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
