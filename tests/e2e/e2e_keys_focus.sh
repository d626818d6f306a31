#!/usr/bin/env bash
# Focus and keys on a real X display (Xvfb), where windows are activated
# after the clicks that activate them, not at once:
#   - the entry box's hint never becomes part of a typed entry: clicked into
#     while the data editing window is not yet active, after the refusal
#     box, and when typed text meets a mere re-activation;
#   - Enter that closes a message box of the live-draw window neither stops
#     nor starts a draw when its release reaches that window.
# Every entry is checked where it ends up: the result written to Result.txt.
# Usage: e2e_keys_focus.sh PROGRAM
set -euo pipefail

program=$(realpath "$1")
for tool in Xvfb xdotool python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=../../scripts/xvfb-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb-session.sh"
start_xvfb

step() { echo "--- $*"; }
fail() { echo "FAIL: $*" >&2; exit 1; } # the cleanup prints the program's output
at() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep "${4:-0.4}"; }
records() { # the results in Result.txt of the current folder, one a line
    python3 - <<'PY'
import os
if os.path.exists("Result.txt"):
    text = open("Result.txt", "rb").read().decode("gb18030")
    for record in text.split("\r\n\r\n")[:-1]:
        print(record.split("\r\n")[2][4:])
PY
}
close_box() { # the error box of the program: closed by a real Enter press
    window "错误提示" >/dev/null
    sleep 0.3
    xdotool key Return
    gone "错误提示"
    sleep 0.5
}

# One run of the program in a folder of its own, with saved state of its own
# (nothing carries over from the run before); no text editor can be found.
start_program() {
    mkdir -p "$work/$1"
    mkdir -p "$work/nobin"
    cd "$work/$1"
    env -u VISUAL PATH="$work/nobin" XDG_CONFIG_HOME="$work/$1/config" XDG_DATA_HOME="$work/$1/data" \
        "$program" >"$work/$1.log" 2>&1 &
    app_pid=$!
    setting=$(window "星梭抽奖 - 设置")
    sleep 0.5
    at "$setting" 76 280 0.8 # "编辑待选列表"
    edit=$(window "星梭抽奖 - 编辑待选数据")
}
# Hands the list over, confirms and draws once; the live-draw window stays.
draw_once() {
    at "$edit" 340 393 0.8 # "保存列表"
    gone "星梭抽奖 - 编辑待选数据"
    at "$setting" 52 372 1 # "确 定"
    pick=$(window "星梭抽奖 - 现场")
    at "$pick" 240 220 0.5 # roll
    at "$pick" 240 220 0.5 # stop
}
end_program() {
    at "$pick" 454 276 0.5 # "退 出"
    for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$app_pid" 2>/dev/null && fail "the program did not end"
    wait "$app_pid" || fail "the program ended with an error"
    app_pid=""
}
expect_results() { # expected results, one an argument
    local got
    got=$(records | tr '\n' '|')
    local want
    want=$(printf '%s|' "$@")
    [ "$got" = "$want" ] || fail "Result.txt holds '$got', not '$want'"
}

step "click into the box of a data editing window that is not active yet"
start_program click
xdotool windowfocus --sync "$setting" # the settings window has the keyboard
sleep 0.5
at "$edit" 139 27 # the click that activates the window lands in the box
xdotool type --delay 40 "Zhang"
xdotool key Return
sleep 0.3
draw_once
expect_results "Zhang"

step "Enter closing a box while rolling does not stop the draw"
at "$pick" 240 220 0.5   # roll
at "$pick" 398 276 0.3   # " 结 果": no editor, a box
close_box
expect_results "Zhang"   # nothing was recorded by the Enter
at "$pick" 240 220 0.5   # the operator stops the draw
expect_results "Zhang" "Zhang"

step "Enter closing a box after a draw does not start one"
at "$pick" 398 276 0.3
close_box
at "$pick" 240 220 0.5   # this click starts a draw: none was started by the Enter
expect_results "Zhang" "Zhang"
at "$pick" 240 220 0.5   # and this one stops it
expect_results "Zhang" "Zhang" "Zhang"
end_program

step "type after the refusal box was closed with Enter"
start_program refusal
at "$edit" 338 27 0.3 # "添加到列表" with nothing typed
close_box
xdotool type --delay 40 "Li"
xdotool key Return
sleep 0.3
draw_once
expect_results "Li"
end_program

step "typed text stays when the window is merely activated again"
start_program again
at "$edit" 139 27
xdotool type --delay 40 "Wang"
xdotool windowfocus --sync "$setting"
sleep 0.5
xdotool windowfocus --sync "$edit"
sleep 0.5
xdotool key Return
sleep 0.3
draw_once
expect_results "Wang"
end_program

echo "keys and focus passed"
