#!/usr/bin/env bash
# The Windows program's end-to-end road under Wine, on a private Xvfb under
# openbox with a fresh WINEPREFIX:
#   1. the portable zip, unpacked in a temporary folder and started there:
#      a title, an ASCII entry typed and two Chinese entries pasted through
#      the clipboard, the list saved, "确 定", three draws, Result.txt checked
#      byte for byte (GB18030, CR LF), "退 出" and the process ends;
#   2. the installer, run silently: the installed files, the Start-menu entry,
#      the desktop shortcut (starting in Documents) and the uninstaller; the
#      installed program shows its settings window and ends on "退 出"; the
#      silent uninstall removes what was installed.
# Usage: scripts/wine-road.sh [BUILD_WINDOWS_DIR]   (default build-windows)
# XVFB_DISPLAY=N picks the display number (default: the first free one).
set -euo pipefail
DRAW_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
WIN_BUILD="$(cd "${1:-$DRAW_ROOT/build-windows}" && pwd)"
version=$(sed -n 's/^project(XingSuoDraw VERSION \([0-9.]*\).*/\1/p' "$DRAW_ROOT/CMakeLists.txt")
package="xingsuo-draw-$version-windows-x64"
zip="$WIN_BUILD/$package.zip"
setup="$WIN_BUILD/$package-setup.exe"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
for tool in Xvfb openbox wine wineboot wineserver xdotool xclip xprop import convert unzip python3; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/windows.sh installs what it needs)"
done
[ -f "$zip" ] || fail "no $zip: run scripts/windows.sh first"
[ -f "$setup" ] || fail "no $setup: run scripts/windows.sh first"

# shellcheck source=xvfb-session.sh
source "$DRAW_ROOT/scripts/xvfb-session.sh"
wine_cleanup() {
    local status=$?
    if [ -d "$work/prefix" ]; then WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true; fi
    xvfb_cleanup "$status"
}
trap wine_cleanup EXIT

step() { echo "--- $*"; }

# wait_until SECONDS WHAT COMMAND...: polls COMMAND until it succeeds.
wait_until() {
    local limit=$1 what=$2
    shift 2
    local end=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$end" ] || fail "waited $limit s for $what"
        sleep 0.1
    done
}
shown() { xdotool search --onlyvisible --name "$1"; }
not_shown() { ! xdotool search --onlyvisible --name "$1"; }
win() { # caption: wait until shown, print the window id
    wait_until 60 "the window '$1'" shown "$1"
    shown "$1" | head -n1
}
at() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
ended() { ! kill -0 "$1"; }
wait_end() { # pid what: the process ends within 30 s with status 0
    wait_until 30 "$2 to end" ended "$1"
    wait "$1" || fail "$2 ended with status $?"
}

start_xvfb openbox
# Wine's own folders: a fresh prefix, and a home of its own so that the
# prefix's Desktop and Documents are folders in it, never links into the
# user's home; no menu entries are made for the installer's shortcuts.
mkdir -p "$work/home"
export HOME="$work/home" WINEPREFIX="$work/prefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
started=$SECONDS
wineboot -i >/dev/null 2>&1
wineserver -w
echo "Wine prefix made in $((SECONDS - started)) s on $DISPLAY"
users="$WINEPREFIX/drive_c/users"

# ---------------------------------------------------------------- portable
step "unpack the portable zip and start the program in its folder"
mkdir -p "$work/portable"
unzip -q "$zip" -d "$work/portable"
portable="$work/portable/$package"
[ -f "$portable/xingsuo-draw.exe" ] || fail "no xingsuo-draw.exe in the zip"
[ -f "$portable/translations/qtbase_zh_CN.qm" ] || fail "no translations/qtbase_zh_CN.qm in the zip"
(cd "$portable" && exec wine xingsuo-draw.exe >"$work/app.log" 2>&1 </dev/null) &
app_pid=$!
setting=$(win "星梭抽奖 - 设置")

title="Wine年会"
step "type the title"
at "$setting" 152 60
xdotool key ctrl+a
enter_text "$title"
# The program keeps the event on disk: the title is there once it was read.
saved_title() {
    python3 - "$users" "$title" <<'PY'
import json, pathlib, sys
for p in pathlib.Path(sys.argv[1]).glob("*/AppData/*/xingsuo-draw/settings.json"):
    if sys.argv[2] in p.read_text(encoding="utf-8"):
        sys.exit(0)
sys.exit(1)
PY
}
wait_until 30 "the title in the saved settings" saved_title

step "the list window: one entry typed, two pasted"
at "$setting" 76 280
edit=$(win "星梭抽奖 - 编辑待选数据")
entries=(WineBob 张三丰 䶮)
for entry in "${entries[@]}"; do
    at "$edit" 139 27
    enter_text "$entry"
    at "$edit" 338 27 # "添加到列表"
done
saved_list() {
    python3 - "$users" "${entries[@]}" <<'PY'
import json, pathlib, sys
for p in pathlib.Path(sys.argv[1]).glob("*/AppData/*/xingsuo-draw/list.json"):
    try:
        got = json.loads(p.read_text(encoding="utf-8")).get("entries")
    except ValueError:
        continue # being replaced
    if got == sys.argv[2:]:
        sys.exit(0)
sys.exit(1)
PY
}
wait_until 30 "the three entries in the saved list, in order" saved_list

step "save the list and confirm"
at "$edit" 340 393 # "保存列表"
wait_until 30 "the list window to hide" not_shown "星梭抽奖 - 编辑待选数据"
at "$setting" 52 372 # "确 定"
pick=$(win "星梭抽奖 - 现场")
wait_until 30 "the settings window to hide" not_shown "星梭抽奖 - 设置"

# The rolling display (Label3) of the live-draw window: dark text and no red
# once a draw rolls (the last result shows in the title's red until then).
rolling() {
    import -window "$pick" -crop 433x41+24+112 +repage "$work/display.png" || return 1
    local dark red
    dark=$(convert "$work/display.png" -fx "(r<0.3 && g<0.3 && b<0.3) ? 1 : 0" -format "%[fx:mean*w*h]" info:)
    red=$(convert "$work/display.png" -fx "(r>0.5 && g<0.3 && b<0.3) ? 1 : 0" -format "%[fx:mean*w*h]" info:)
    python3 -c "import sys; sys.exit(0 if float(sys.argv[1]) > 20 and float(sys.argv[2]) == 0 else 1)" "$dark" "$red"
}
records() { # the number of complete records in Result.txt
    [ -f "$portable/Result.txt" ] || { echo 0; return; }
    python3 -c "import sys; print(open(sys.argv[1], 'rb').read().count(b'\r\n\r\n'))" "$portable/Result.txt"
}
has_records() { [ "$(records)" -ge "$1" ]; }
# Start and stop press the roll button 40 px apart: two presses on one spot
# in quick succession are a double click, and its second press is no click.
for round in 1 2 3; do
    step "draw $round"
    at "$pick" 220 200 # start
    wait_until 30 "draw $round to roll" rolling
    at "$pick" 260 240 # stop
    wait_until 30 "record $round in Result.txt" has_records "$round"
done
[ "$(records)" -eq 3 ] || fail "$(records) records after three draws"

step "check Result.txt"
python3 - "$portable/Result.txt" "$title" "${entries[@]}" <<'PY' || fail "Result.txt is not three good records"
import re, sys
data = open(sys.argv[1], "rb").read()
title, entries = sys.argv[2], set(sys.argv[3:])
assert data.endswith(b"\r\n\r\n"), "the log ends with an empty CR LF line"
assert b"\n" not in data.replace(b"\r\n", b""), "a line without CR LF"
assert b"\r" not in data.replace(b"\r\n", b""), "a bare CR"
text = data.decode("gb18030")
assert text.encode("gb18030") == data, "the bytes are not GB18030 as written"
records = text.split("\r\n\r\n")[:-1]
assert len(records) == 3, f"{len(records)} records, not 3"
for r in records:
    lines = r.split("\r\n")
    assert len(lines) == 3, lines
    assert lines[0] == "标题: " + title, lines[0]
    assert re.fullmatch(r"时间: \d{4}[-/.]\d{1,2}[-/.]\d{1,2}( \d{1,2}:\d\d(:\d\d)?)?", lines[1]), lines[1]
    assert lines[2].startswith("结果: ") and lines[2][4:] in entries, lines[2]
print("Result.txt: 3 records,", len(data), "bytes, results", [r.split("\r\n")[2][4:] for r in records])
PY

step "exit"
at "$pick" 454 276 # "退 出"
wait_end "$app_pid" "the portable program"
app_pid=""

# --------------------------------------------------------------- installer
step "install silently"
wine "$setup" /S >"$work/setup.log" 2>&1 </dev/null || fail "the installer ended with status $?"
instdir="$WINEPREFIX/drive_c/Program Files/xingsuo-draw"
installed=("$instdir/xingsuo-draw.exe" "$instdir/translations/qtbase_zh_CN.qm" "$instdir/uninstall.exe"
    "$instdir/LICENSE.txt" "$instdir/README.txt")
for f in "${installed[@]}"; do
    [ -f "$f" ] || fail "not installed: $f"
done
cmp -s "$instdir/xingsuo-draw.exe" "$portable/xingsuo-draw.exe" || fail "the installed program is not the zip's"
user_dir=$(find "$users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n1)
[ -n "$user_dir" ] || fail "no user folder in the prefix"
menu="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/星梭抽奖"
links=("$menu/星梭抽奖.lnk" "$menu/卸载 星梭抽奖.lnk" "$user_dir/Desktop/星梭抽奖.lnk")
for f in "${links[@]}"; do
    [ -f "$f" ] || fail "no shortcut $f"
done
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\xingsuo-draw' /v UninstallString \
    2>/dev/null | grep -q 'uninstall.exe' || fail "no uninstall entry in the registry"
echo "installed: ${#installed[@]} files, ${#links[@]} shortcuts, the uninstall entry"

step "the shortcuts start the program in Documents"
documents=$(winepath -w "$user_dir/Documents")
for f in "$menu/星梭抽奖.lnk" "$user_dir/Desktop/星梭抽奖.lnk"; do
    python3 - "$f" "$documents" 'C:\Program Files\xingsuo-draw\xingsuo-draw.exe' <<'PY' ||
import struct, sys
data = open(sys.argv[1], "rb").read()
flags = struct.unpack_from("<I", data, 0x14)[0]
pos = 0x4C
if flags & 0x01:  # the target's item list
    pos += 2 + struct.unpack_from("<H", data, pos)[0]
info_path = ""
if flags & 0x02:  # the target's path
    size, _, _, _, local_off = struct.unpack_from("<IIIII", data, pos)
    end = data.index(b"\0", pos + local_off)
    info_path = data[pos + local_off:end].decode("latin-1")
    pos += size
unicode = bool(flags & 0x80)
strings = {}
for bit, name in ((0x04, "name"), (0x08, "relative"), (0x10, "workdir"), (0x20, "args"), (0x40, "icon")):
    if flags & bit:
        n = struct.unpack_from("<H", data, pos)[0]
        pos += 2
        width = 2 if unicode else 1
        raw = data[pos:pos + n * width]
        strings[name] = raw.decode("utf-16-le" if unicode else "latin-1").rstrip("\0")
        pos += n * width
workdir = strings.get("workdir", "")
assert workdir.lower() == sys.argv[2].lower(), f"starts in {workdir!r}, not {sys.argv[2]!r}"
assert info_path.lower() == sys.argv[3].lower(), f"points at {info_path!r}"
print(f"{sys.argv[1].rsplit('/', 1)[-1]}: {info_path} in {workdir}")
PY
        fail "the shortcut $f does not start the program in Documents"
done

step "start the installed program as the shortcuts do"
(cd "$user_dir/Documents" && exec wine "$instdir/xingsuo-draw.exe" >"$work/installed.log" 2>&1 </dev/null) &
app_pid=$!
setting=$(win "星梭抽奖 - 设置")
at "$setting" 132 372 # "退 出"
wait_end "$app_pid" "the installed program"
app_pid=""

step "uninstall silently"
# The uninstaller runs a copy of itself from the temporary folder and returns
# at once: wait for the files to go.
wine "$instdir/uninstall.exe" /S >"$work/uninstall.log" 2>&1 </dev/null || fail "the uninstaller ended with status $?"
none_left() {
    for f in "${installed[@]}" "${links[@]}"; do
        [ ! -e "$f" ] || return 1
    done
    [ ! -e "$instdir" ] && [ ! -e "$menu" ]
}
wait_until 60 "the uninstaller to remove the files" none_left
! wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\xingsuo-draw' >/dev/null 2>&1 ||
    fail "the uninstall entry is still in the registry"
echo "Wine road passed: portable draw, install, installed start, uninstall"
