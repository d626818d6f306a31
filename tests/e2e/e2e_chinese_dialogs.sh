#!/usr/bin/env bash
# Qt's own dialogs in Chinese in the real program on a real X display,
# started in the C locale: the list-file dialog, the font and colour
# dialogs and an error box, each photographed for a look.
# Usage: e2e_chinese_dialogs.sh PROGRAM SHOTS_DIR
set -euo pipefail

program=$(realpath "$1")
mkdir -p "$2"
shots=$(realpath "$2")
for tool in Xvfb xdotool import convert python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=../../scripts/xvfb-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb-session.sh"
mkdir -p "$shots"
rm -f "$shots"/2?-*.png
start_xvfb "${DRAW_E2E_WM:-}" # openbox from CTest: a desktop

step() { echo "--- $*"; }
fail() { echo "FAIL: $*" >&2; exit 1; } # the cleanup prints the program's output
# Captions are compared here: xdotool's own name search misses non-ASCII
# captions of a program running in the C locale.
shown_named() { # ids of the shown windows whose caption is exactly $1
    local id
    for id in $(xdotool search --onlyvisible --name . 2>/dev/null || true); do
        [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && echo "$id"
    done
    return 0
}
window() { # wait for a shown window whose caption is exactly $1, print its id
    local id
    for _ in $(seq 100); do
        for id in $(shown_named "$1"); do
            [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && { echo "$id"; return 0; }
        done
        sleep 0.1
    done
    fail "no window '$1'"
}
gone() {
    for _ in $(seq 100); do
        [ -z "$(shown_named "$1")" ] && return 0
        sleep 0.1
    done
    fail "window '$1' still shown"
}
at() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep "${4:-0.3}"; }
shot() { # window id, name
    local file="$shots/$2.png"
    sleep 0.5
    import -window "$1" "$file"
    local spread
    spread=$(convert "$file" -colorspace Gray -format "%[fx:standard_deviation]" info:)
    python3 -c "import sys; sys.exit(0 if float('$spread') > 0.02 else 1)" || fail "$2 looks blank"
    echo "shot $file ($(convert "$file" -format '%wx%h' info:))"
}

cd "$work"
printf 'not a picture\n' > "$work/broken.jpg"

step "start in the C locale"
LANG=C LC_ALL=C LANGUAGE= "$program" >"$work/app.log" 2>&1 &
app_pid=$!
setting=$(window "星梭抽奖 - 设置")
sleep 0.5

step "the font dialog and Qt's colour dialog"
at "$setting" 256 60 0.8
font=$(window "字体")
shot "$font" 21-font-dialog
# The colour button sits in the dialog's second row.
xdotool key Tab space
colour=$(window "颜色")
shot "$colour" 22-colour-dialog
xdotool key Escape
gone "颜色"
at "$font" 200 132 # its cancel button
gone "字体"

step "an error box: a broken picture chosen at 浏 览"
setting=$(window "星梭抽奖 - 设置")
xdotool windowactivate --sync "$setting" 2>/dev/null || true
at "$setting" 48 212 0.8
dialog=$(window "打开")
xdotool windowactivate --sync "$dialog" 2>/dev/null || true
xdotool key ctrl+a
xdotool type --delay 30 "$work/broken.jpg"
xdotool key Return
box=$(window "错误提示")
shot "$box" 23-error-box
xdotool key Return
gone "错误提示"

step "the list-file dialog (last: the list window covers part of the settings)"
at "$setting" 76 280 0.8
edit=$(window "星梭抽奖 - 编辑待选数据")
at "$edit" 48 393 0.3
dialog=$(window "打开") # Qt's own caption, translated
shot "$dialog" 20-list-file-dialog
xdotool windowactivate --sync "$dialog" 2>/dev/null || true
xdotool key Escape
gone "打开"

kill "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
app_pid=""
echo "Chinese dialogs passed"
