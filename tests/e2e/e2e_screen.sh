#!/usr/bin/env bash
# The live-draw window on a real X display, with a window manager (openbox)
# or bare (a kiosk):
#   - right after "确 定" the presenter keys work: Space twice, one record;
#   - ten toggles of full screen by F11, F5, Escape and double clicks, some
#     in quick bursts, each ending normal (the place it had, 480×288, title
#     bar on screen) or full screen (the whole screen, no title bar, the
#     layout whole), checked with xwininfo and a screenshot;
#   - "设 定" gives the settings window the keyboard.
# Usage: e2e_screen.sh openbox|bare PROGRAM SHOTS_DIR
set -euo pipefail

mode="$1"
program=$(realpath "$2")
mkdir -p "$3"
shots=$(realpath "$3")
for tool in Xvfb xdotool xwininfo import convert compare python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
if [ "$mode" = openbox ] && ! command -v openbox >/dev/null; then
    echo "SKIP: openbox is not installed"; exit 77
fi

# shellcheck source=../../scripts/xvfb-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb-session.sh"
start_xvfb "$([ "$mode" = openbox ] && echo openbox)"

step() { echo "--- $*"; }
fail() { echo "FAIL ($mode): $*" >&2; exit 1; } # the cleanup prints the program's output
at() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep "${4:-0.4}"; }
records() { # how many results Result.txt holds
    python3 -c '
import os
p = "Result.txt"
print(open(p, "rb").read().count(b"\r\n\r\n") if os.path.exists(p) else 0)'
}
geometry() { # x y width height of a window's client area
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /^ *Width/ {w=$NF} /^ *Height/ {h=$NF} END {print x, y, w, h}'
}
# Waits until the window stands as expected and stays so for a moment:
# a window manager catching up with quick toggles must not move it again.
settles_at() { # window, expected geometry
    local seen=""
    for _ in $(seq 40); do
        seen=$(geometry "$1")
        if [ "$seen" = "$2" ]; then
            sleep 0.4
            seen=$(geometry "$1")
            [ "$seen" = "$2" ] && return 0
        fi
        sleep 0.1
    done
    fail "window at '$seen', not '$2'"
}
# The screen's picture of an area, compared with the first one taken of it.
# A repaint after a resize can still be on its way when the geometry has
# settled: the first picture counts once two shots in a row agree, and a
# later one is taken again until it matches or the wait runs out.
same_picture() { # name, geometry "x y w h"
    local x y w h differ=""
    read -r x y w h <<<"$2"
    shot() { import -window root -crop "${w}x${h}+${x}+${y}" +repage "$1"; }
    pixels_apart() { compare -metric AE "$1" "$2" null: 2>&1 || true; }
    for _ in $(seq 50); do
        shot "$work/now.png"
        if [ ! -e "$work/$1.png" ]; then
            sleep 0.2
            shot "$work/again.png"
            if [ "$(pixels_apart "$work/now.png" "$work/again.png")" = 0 ]; then
                cp "$work/now.png" "$work/$1.png"
                cp "$work/now.png" "$shots/3${1:0:1}-screen-$1-$mode.png"
                return 0
            fi
            continue
        fi
        differ=$(pixels_apart "$work/$1.png" "$work/now.png")
        [ "$differ" = 0 ] && return 0
        sleep 0.1
    done
    fail "the $1 window looks different (${differ:-never steady} pixels)"
}
# Waits for a window to have the keyboard.
has_keyboard() { # window
    for _ in $(seq 100); do [ "$(xdotool getwindowfocus)" = "$1" ] && return 0; sleep 0.1; done
    fail "window $1 does not have the keyboard"
}

cd "$work"
step "start, one entry, 确 定"
"$program" >"$work/app.log" 2>&1 &
app_pid=$!
setting=$(window "星梭抽奖 - 设置")
sleep 0.5
at "$setting" 76 280 0.8 # "编辑待选列表"
edit=$(window "星梭抽奖 - 编辑待选数据")
at "$edit" 139 27
xdotool type --delay 30 "Alice"
xdotool key Return
sleep 0.2
at "$edit" 340 393 0.8 # "保存列表"
gone "星梭抽奖 - 编辑待选数据"
at "$setting" 52 372 # "确 定"
pick=$(window "星梭抽奖 - 现场")

step "Space twice at once: one draw"
has_keyboard "$pick"
xdotool key space
sleep 0.3
xdotool key space
# The record reaches the disk after the pool does (each synced): on a busy
# disk that takes a while.
for _ in $(seq 100); do [ "$(records)" = 0 ] || break; sleep 0.1; done
sleep 0.3
[ "$(records)" = 1 ] || fail "$(records) records after Space twice, not 1"

step "ten toggles of full screen"
normal=$(geometry "$pick")
read -r nx ny nw nh <<<"$normal"
[ "$nw $nh" = "480 288" ] || fail "the live-draw window is ${nw}x$nh, not 480x288"
if [ "$mode" = openbox ]; then
    [ "$ny" -ge 16 ] || fail "no room for the title bar above the window (y $ny)"
else
    # Centred on the 1280×1024 screen, to the pixel.
    [ $((nx - 400)) -ge -1 ] && [ $((nx - 400)) -le 0 ] && [ $((ny - 368)) -ge -1 ] && [ $((ny - 368)) -le 0 ] ||
        fail "the live-draw window is not centred ($nx $ny)"
fi
full="0 0 1280 1024"
same_picture normal "$normal"
on=0
for keys in F11 Escape F5 "F11 F11" dbl F5 "dbl F11" "F11 Escape F5" F11 "Escape F5 F11"; do
    for k in $keys; do # a burst, as fast as a presenter can press (a double click only first)
        case "$k" in
        dbl) xdotool mousemove --window "$pick" 10 10 click --repeat 2 --delay 60 1; on=$((1 - on)) ;;
        F11) xdotool key F11; on=$((1 - on)) ;;
        F5) xdotool key F5; on=1 ;;
        Escape) xdotool key Escape; on=0 ;;
        esac
    done
    if [ "$on" = 1 ]; then
        echo "$keys: full screen"
        settles_at "$pick" "$full"
        same_picture full "$full"
    else
        echo "$keys: normal"
        settles_at "$pick" "$normal"
        same_picture normal "$normal"
    fi
done
# Full screen shows the whole layout scaled, no title bar: the top rows are
# the window's grey, and the exit button's text stands near the bottom.
python3 - "$work/full.png" <<'PY' || fail "full screen is not the whole layout"
import subprocess, sys
def ink(crop):
    out = subprocess.run(["convert", sys.argv[1], "-crop", crop, "+repage", "-colorspace", "Gray",
                          "-fx", "p<0.5 ? 1 : 0", "-format", "%[fx:mean*w*h]", "info:"],
                         capture_output=True, text=True, check=True).stdout
    return float(out)
top = ink("1280x24+0+0")
exit_text = ink("120x60+1160+850")  # "退 出" at (454, 276) of 480x288, scaled 8/3 from y 128
print(f"top rows: {top} dark pixels, exit text: {exit_text}")
sys.exit(0 if top == 0 and exit_text > 20 else 1)
PY

step "设 定 gives the settings window the keyboard"
at "$pick" 342 276 0.8
setting=$(window "星梭抽奖 - 设置")
has_keyboard "$setting"

step "exit"
at "$setting" 132 372 0.5 # "退 出"
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "the program did not end"
wait "$app_pid" || fail "the program ended with an error"
app_pid=""
echo "screen ($mode) passed"
