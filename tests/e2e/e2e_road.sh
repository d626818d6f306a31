#!/usr/bin/env bash
# Drives the real program on a real X display (Xvfb) the way an organiser
# would: real clicks and keys on the real windows, the real file dialog.
# Usage: e2e_road.sh PROGRAM SHOTS_DIR
set -euo pipefail

program="$1"
shots="$2"
for tool in Xvfb xdotool xclip import convert identify iconv python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=../../scripts/xvfb-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb-session.sh"
mkdir -p "$shots"
rm -f "$shots"/0?-*.png # its own shots only

# A display of our own, at 96 dots per inch.
start_xvfb "${DRAW_E2E_WM:-}" # openbox from CTest: a desktop

step() { echo "--- $*"; }
fail() { echo "FAIL: $*" >&2; exit 1; } # the cleanup prints the program's output
at() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep "${4:-0.3}"; }
shot() { # window id, name, expected width, expected height
    local file="$shots/$2.png"
    import -window "$1" "$file"
    local size
    size=$(identify -format "%w %h" "$file")
    [ "$size" = "$3 $4" ] || fail "$2 is $size, not $3 $4"
    local spread
    spread=$(convert "$file" -colorspace Gray -format "%[fx:standard_deviation]" info:)
    python3 -c "import sys; sys.exit(0 if float('$spread') > 0.02 else 1)" || fail "$2 looks blank"
    echo "shot $file ($size)"
}

cd "$work"
printf 'Alice\r\n王五\r\n赵六\r\n' | iconv -f UTF-8 -t GBK > "$work/names.txt"

step "start on the settings window"
"$program" >"$work/app.log" 2>&1 &
app_pid=$!
setting=$(window "星梭抽奖 - 设置")
sleep 0.5
shot "$setting" 01-settings 306 401

step "type a title"
at "$setting" 152 60
xdotool key ctrl+a
enter_text "E2E年会"
sleep 0.2

step "about window"
at "$setting" 252 372 0.8
about=$(window "星梭抽奖 - 关于")
shot "$about" 02-about 306 208
xdotool mousemove --window "$about" 249 178 mousedown 1
sleep 0.3
shot "$about" 03-about-ok-pressed 306 208
xdotool mouseup 1
gone "星梭抽奖 - 关于"

step "open the list window and type three entries"
at "$setting" 76 280 0.8
edit=$(window "星梭抽奖 - 编辑待选数据")
at "$edit" 139 27
for entry in Alice Bob Carol; do
    enter_text "$entry"
    xdotool key Return
    sleep 0.2
done

step "read a GBK list file through the file dialog"
at "$edit" 48 393 0.3
dialog=""
for _ in $(seq 100); do # the file dialog: the one shown window that is not the program's own
    dialog=$(xdotool search --onlyvisible --name "." 2>/dev/null | while read -r id; do
        name=$(xdotool getwindowname "$id" 2>/dev/null || true)
        case "$name" in 星梭抽奖*) ;; *) echo "$id" ;; esac
    done | tail -n1)
    [ -n "$dialog" ] && break
    sleep 0.1
done
[ -n "$dialog" ] || fail "no file dialog"
sleep 0.5
xdotool windowactivate --sync "$dialog" 2>/dev/null || true
sleep 0.3
xdotool key ctrl+a
enter_text "$work/names.txt"
xdotool key Return
sleep 1
shot "$edit" 04-edit-after-import 393 450

step "remove repeats and hand the list over"
at "$edit" 176 393
shot "$edit" 05-edit-after-dedup 393 450
at "$edit" 340 393 0.8
gone "星梭抽奖 - 编辑待选数据"
shot "$setting" 06-settings-summary 306 401
# The count in the summary is drawn in dark red over the gap of "共       个候选数据".
red=$(convert "$shots/06-settings-summary.png" -crop 41x33+160+266 +repage \
      -fx "(r>0.5 && g<0.3 && b<0.3) ? 1 : 0" -format "%[fx:mean*w*h]" info:)
python3 -c "import sys; sys.exit(0 if float('$red') > 5 else 1)" || fail "no count in the summary"

step "repeat-draw choice: not allowed, then allowed"
at "$setting" 215 324
at "$setting" 100 324

step "OK: the live draw"
at "$setting" 52 372 1
pick=$(window "星梭抽奖 - 现场")
gone "星梭抽奖 - 设置"
shot "$pick" 07-live-draw-armed 480 288
for round in 1 2 3; do
    at "$pick" 240 220 0.6
    [ "$round" = 1 ] && shot "$pick" 08-live-draw-rolling 480 288
    at "$pick" 240 220 0.5
done
shot "$pick" 09-live-draw-result 480 288

step "settings and back"
at "$pick" 342 276 0.8
setting=$(window "星梭抽奖 - 设置")
at "$setting" 52 372 1
pick=$(window "星梭抽奖 - 现场")

step "exit"
at "$pick" 454 276 0.5
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app_pid" 2>/dev/null; then fail "the program did not end"; fi
wait "$app_pid" || fail "the program ended with an error"
app_pid=""

step "check Result.txt"
python3 - "$work/Result.txt" <<'PY'
import re, sys
data = open(sys.argv[1], "rb").read()
assert data.endswith(b"\r\n\r\n"), "log must end with an empty CR LF line"
assert b"\n" not in data.replace(b"\r\n", b""), "every line ends with CR LF"
text = data.decode("gb18030")
records = text.split("\r\n\r\n")[:-1]
assert len(records) == 3, f"{len(records)} records, not 3"
entries = {"Alice", "Bob", "Carol", "王五", "赵六"}
for r in records:
    lines = r.split("\r\n")
    assert len(lines) == 3, lines
    assert lines[0] == "标题: E2E年会", lines[0]
    assert re.fullmatch(r"时间: \d{4}-\d\d-\d\d( \d\d:\d\d:\d\d)?", lines[1]), lines[1]
    assert lines[2].startswith("结果: ") and lines[2][4:] in entries, lines[2]
print("Result.txt: 3 complete records:", [r.split("\r\n")[2][4:] for r in records])
PY
echo "e2e road passed"
