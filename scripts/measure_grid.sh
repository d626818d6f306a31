#!/usr/bin/env bash
# What rolling costs on a real X display: the single display against a grid
# of 50 cells (a prize plan drawing 50 at once), at the design size and in
# full screen on a 3840×2160 screen, with 32,767 entries in the list. Prints
# the program's CPU time per second of rolling (percent of one core) and
# that of the X server.
#   ./scripts/measure_grid.sh [PROGRAM] [SECONDS]
# XVFB_DISPLAY picks the display number (else the first free one).
set -euo pipefail
DRAW_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
program="${1:-$DRAW_ROOT/build/app/xingsuo-draw}"
seconds="${2:-10}"
for tool in Xvfb xdotool openbox python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
export XVFB_SCREEN=3840x2160x24
# shellcheck source=xvfb-session.sh
source "$DRAW_ROOT/scripts/xvfb-session.sh"
wm_pid=""
fail() { echo "FAIL: $*" >&2; cat "$work/app.log" >&2 2>/dev/null || true; exit 1; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)

# The saved state the program restores: the list, and the plan when asked.
write_state() { # cells (0: no plan)
    rm -rf "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
    mkdir -p "$XDG_DATA_HOME/xingsuo-draw"
    python3 - "$XDG_DATA_HOME/xingsuo-draw" "$1" <<'PY'
import json, sys
folder, cells = sys.argv[1], int(sys.argv[2])
json.dump({"format": "xingsuo-draw list", "version": 1, "entries": ["员工%05d" % i for i in range(32767)],
           "fileName": "", "filePath": "", "fileSize": "", "imported": False},
          open(folder + "/list.json", "w"), ensure_ascii=False)
if cells:
    json.dump({"format": "xingsuo-draw prizes", "version": 1, "onceEach": True,
               "prizes": [{"name": "三等奖", "count": 30000, "perStop": cells}], "announced": 0, "stops": 0,
               "awards": [], "pools": [{"size": -1, "fingerprint": ""}]},
              open(folder + "/prizes.json", "w"), ensure_ascii=False)
PY
}

start_xvfb
openbox >"$work/wm.log" 2>&1 &
wm_pid=$!
trap 'status=$?; [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null; xvfb_cleanup "$status"' EXIT
sleep 1
cd "$work"

measure() { # cells fullscreen(0/1) -> "program% xserver%"
    write_state "$1"
    "$program" >"$work/app.log" 2>&1 &
    app_pid=$!
    local setting pick
    setting=$(window "星梭抽奖 - 设置")
    sleep 1
    xdotool mousemove --window "$setting" 52 372 click 1
    pick=$(window "星梭抽奖 - 现场")
    sleep 0.5
    xdotool windowactivate --sync "$pick"
    if [ "$2" = 1 ]; then
        xdotool key F5
        sleep 1.5
    fi
    xdotool key Return # roll
    sleep 2
    local c0 x0 c1 x1
    c0=$(cpu_ticks "$app_pid"); x0=$(cpu_ticks "$xvfb_pid")
    sleep "$seconds"
    c1=$(cpu_ticks "$app_pid"); x1=$(cpu_ticks "$xvfb_pid")
    import -window root "$work/shot-$1-$2.png" 2>/dev/null || true
    [ -n "${SHOTS:-}" ] && cp "$work/shot-$1-$2.png" "$SHOTS/" 2>/dev/null || true
    kill "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=""
    python3 -c "print(f'{($c1 - $c0) / $hz / $seconds * 100:.2f} {($x1 - $x0) / $hz / $seconds * 100:.2f}')"
}

for size in 0 1; do
    for cells in 0 50; do
        read -r p x < <(measure "$cells" "$size")
        label=$([ "$size" = 1 ] && echo "3840x2160 full screen" || echo "design size")
        what=$([ "$cells" = 0 ] && echo "single display" || echo "grid of 50")
        echo "$label, $what: program ${p} % of one core, X server ${x} %"
    done
done
