#!/usr/bin/env bash
# The hall's sounds through a real sound server (PulseAudio with a null
# sink, recorded from its monitor), on a real X display:
#   - silent before the first roll, heard while rolling;
#   - silent within half a second after the stop's sting ends;
#   - silent while muted with S, heard again after S;
#   - the server killed mid-roll: the stop, its record and the next draw go
#     on, and the program is still there; the operator is told once, on
#     the settings window, never over the live-draw window.
# Usage: e2e_sound.sh PROGRAM
set -euo pipefail

program=$(realpath "$1")
for tool in Xvfb xdotool pulseaudio pactl parec python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

here="$(dirname "${BASH_SOURCE[0]}")"
# shellcheck source=../../scripts/xvfb-session.sh
source "$here/../../scripts/xvfb-session.sh"
start_xvfb "${DRAW_E2E_WM:-}" # with a sound server of its own (scripts/pulse-session.sh)
start_recording

# RMS in 16-bit units: the roll loop plays at some thousands, the null
# sink's silence is 0.
heard_floor=300
silence_ceiling=30
sting_seconds=0.6

step() { echo "--- $*"; }
fail() {
    {
        echo "FAIL: $*"
        echo "program output:"
        cat "$work/app.log" 2>/dev/null
        echo "server output:"
        tail -n 20 "$work/pulse.log" 2>/dev/null
        echo "recorder output:"
        tail -n 5 "$work/parec.log" 2>/dev/null
    } >&2
    exit 1
}
at() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep "${4:-0.4}"; }
records() { python3 -c '
import os
p = "Result.txt"
print(open(p, "rb").read().count(b"\r\n\r\n") if os.path.exists(p) else 0)'; }
wait_records() { # until Result.txt holds this many records
    for _ in $(seq 100); do [ "$(records)" = "$1" ] && return 0; sleep 0.1; done
    fail "$(records) records, not $1"
}
heard() { # seconds, what it is
    local rms
    rms=$(listen "$1")
    echo "RMS $rms: $2"
    [ "$rms" != none ] && [ "$rms" -ge "$heard_floor" ] || fail "not heard: $2 (RMS $rms)"
}
silent() { # seconds, what it is
    local rms
    rms=$(listen "$1")
    echo "RMS $rms: $2"
    [ "$rms" != none ] && [ "$rms" -le "$silence_ceiling" ] || fail "not silent: $2 (RMS $rms)"
}
alive() { kill -0 "$app_pid" 2>/dev/null || fail "the program is gone"; }

cd "$work"
step "start, three entries, 确 定"
"$program" >"$work/app.log" 2>&1 &
app_pid=$!
setting=$(window "星梭抽奖 - 设置")
sleep 0.5
at "$setting" 76 280 0.8 # "编辑待选列表"
edit=$(window "星梭抽奖 - 编辑待选数据")
at "$edit" 139 27
for name in Alice Bob Carol; do
    xdotool type --delay 30 "$name"
    xdotool key Return
done
sleep 0.2
at "$edit" 340 393 0.8 # "保存列表"
gone "星梭抽奖 - 编辑待选数据"
at "$setting" 52 372 # "确 定"
pick=$(window "星梭抽奖 - 现场")
sleep 0.5

step "nothing rolls: silence"
silent 0.8 "before the first roll"

step "rolling: heard; stopped: silent once the sting is over"
xdotool key space
sleep 0.5
heard 1 "rolling"
xdotool key space
stopped=$(date +%s.%N)
heard 0.3 "the stop's sting"
wait_records 1
# From the sting's end plus half a second on.
sleep "$(python3 -c "import time; print(max(0.0, $stopped + $sting_seconds + 0.5 - time.time()))")"
silent 1 "after the stop's sting"

step "muted with S: a roll and its stop are silent"
xdotool key s
sleep 0.3
xdotool key space
sleep 0.4
silent 1 "rolling, muted"
xdotool key space
wait_records 2
silent 1 "the stop, muted"

step "S again: heard"
xdotool key s
sleep 0.3
xdotool key space
sleep 0.5
heard 1 "rolling after unmuting"

step "the server killed mid-roll: the draw goes on"
stop_pulse
sleep 1
alive
xdotool key space
wait_records 3
sleep 0.5
xdotool key space
sleep 0.5
xdotool key space
wait_records 4
alive
no_notice() { ! xdotool search --onlyvisible --name "^声音$" >/dev/null 2>&1 || fail "$1"; }
no_notice "the sound notice shows over the live-draw window"

step "told once, on the settings window"
at "$pick" 342 276 0.8 # "设 定"
setting=$(window "星梭抽奖 - 设置")
window "^声音$" >/dev/null
sleep 0.3
xdotool key Return
gone "^声音$"
at "$setting" 52 372 # "确 定"
pick=$(window "星梭抽奖 - 现场")
at "$pick" 342 276 1 # "设 定"
window "星梭抽奖 - 设置" >/dev/null
no_notice "the sound notice came twice"
alive
echo "PASS"
