#!/usr/bin/env bash
# Measures what the hall's sounds cost while the draw rolls and rewrites the
# "Sound while rolling" section of docs/performance.md: the program's CPU
# time (utime + stime from /proc/PID/stat) over fixed rolls, with sound and
# muted (S) taken in turns in the same run, through a PulseAudio server of
# the run's own with a null sink.
#   ./scripts/measure_sound.sh [ROUNDS] [SECONDS]   (default 3 rounds of 10 s)
# Uses the build in build/ (cmake --build build --target xingsuo-draw).
set -euo pipefail
DRAW_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
rounds="${1:-3}"
seconds="${2:-10}"
program="${DRAW_PROGRAM:-$DRAW_ROOT/build/app/xingsuo-draw}"
[ -x "$program" ] || { echo "no program at $program: build the xingsuo-draw target first" >&2; exit 1; }
# shellcheck source=xvfb-session.sh
source "$DRAW_ROOT/scripts/xvfb-session.sh"
start_xvfb # with a sound server of its own (pulse-session.sh)

fail() { { echo "FAILED: $*"; cat "$work/app.log"; } >&2; exit 1; }
at() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep "${4:-0.4}"; }
hz=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Percent of one core the program used while rolling for $seconds.
roll_cpu() {
    xdotool key space
    sleep 0.5
    local c0 c1
    c0=$(cpu_ticks "$app_pid")
    sleep "$seconds"
    c1=$(cpu_ticks "$app_pid")
    xdotool key space
    sleep 1.5
    python3 -c "print(f'{($c1 - $c0) / $hz / $seconds * 100:.2f}')"
}

cd "$work"
"$program" >"$work/app.log" 2>&1 &
app_pid=$!
setting=$(window "星梭抽奖 - 设置")
sleep 0.5
at "$setting" 76 280 0.8 # "编辑待选列表"
edit=$(window "星梭抽奖 - 编辑待选数据")
at "$edit" 139 27
for name in Alice Bob Carol Dave Erin; do
    xdotool type --delay 20 "$name"
    xdotool key Return
done
at "$edit" 340 393 0.8 # "保存列表"
at "$setting" 52 372       # "确 定"
window "星梭抽奖 - 现场" >/dev/null
sleep 1

with=()
muted=()
for round in $(seq "$rounds"); do
    with+=("$(roll_cpu)")
    xdotool key s
    muted+=("$(roll_cpu)")
    xdotool key s
    echo "round $round: with sound ${with[-1]} %, muted ${muted[-1]} %"
done
kill -0 "$app_pid" 2>/dev/null || fail "the program is gone"

python3 - "$DRAW_ROOT/docs/performance.md" "$rounds" "$seconds" "$(nproc)" "$(cut -d' ' -f1 /proc/loadavg)" \
    "${with[*]}" "${muted[*]}" <<'PY'
import re, statistics, sys, time
path, rounds, seconds, cores, load = sys.argv[1:6]
with_sound = [float(x) for x in sys.argv[6].split()]
muted = [float(x) for x in sys.argv[7].split()]
extra = statistics.median(with_sound) - statistics.median(muted)
section = f"""## Sound while rolling

Measured by `./scripts/measure_sound.sh` on {time.strftime('%Y-%m-%d', time.gmtime())}, same machine ({cores} cores,
load {load} at the end): the program's CPU time (utime + stime from
`/proc/PID/stat`) over {rounds} rolls of {seconds} s with the program's own roll loop playing
and {rounds} muted with S, in turns in one run, on Xvfb, through a PulseAudio server of
the run's own with a null sink (the server's own CPU not counted).

| rolling | per roll, % of one core | median |
|---|---|---|
| with sound | {', '.join(f'{x:.2f}' for x in with_sound)} | {statistics.median(with_sound):.2f} |
| muted | {', '.join(f'{x:.2f}' for x in muted)} | {statistics.median(muted):.2f} |

Sound costs **{extra:.2f} %** of one core while rolling (target under 3 %).
"""
text = open(path, encoding="utf-8").read()
pattern = re.compile(r"## Sound while rolling\n.*?(?=\n## |\Z)", re.S)
if pattern.search(text):
    text = pattern.sub(section.rstrip("\n") + "\n", text)
else:
    text = text.rstrip("\n") + "\n\n" + section
open(path, "w", encoding="utf-8").write(text)
print(section)
PY
