#!/usr/bin/env bash
# Start-up to the settings window of the Windows program under Wine against
# the Linux build, on one Xvfb under openbox, and the section "Start-up under
# Wine" of docs/performance.md rewritten with the figures.
#   scripts/measure_wine_start.sh [RUNS] [BUILD_WINDOWS_DIR]   (default 7, build-windows)
# The Linux program is build/app/xingsuo-draw (built here when missing).
# Each start is timed from launch until the window is mapped (polled with
# xdotool); the program is then ended with "退 出". A first start of each
# warms the caches and is not counted.
set -euo pipefail
DRAW_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-7}"
WIN_BUILD="$(cd "${2:-$DRAW_ROOT/build-windows}" && pwd)"
version=$(sed -n 's/^project(XingSuoDraw VERSION \([0-9.]*\).*/\1/p' "$DRAW_ROOT/CMakeLists.txt")
package="xingsuo-draw-$version-windows-x64"
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
[ -f "$WIN_BUILD/$package.zip" ] || fail "no $WIN_BUILD/$package.zip: run scripts/windows.sh first"
linux="$DRAW_ROOT/build/app/xingsuo-draw"
if [ ! -x "$linux" ]; then
    cmake -S "$DRAW_ROOT" -B "$DRAW_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$DRAW_ROOT/build" --parallel 2 --target xingsuo-draw >/dev/null
fi

# shellcheck source=xvfb-session.sh
source "$DRAW_ROOT/scripts/xvfb-session.sh"
wine_cleanup() {
    local status=$?
    if [ -d "$work/prefix" ]; then WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true; fi
    xvfb_cleanup "$status"
}
trap wine_cleanup EXIT
start_xvfb openbox
mkdir -p "$work/home" "$work/linux"
unzip -q "$WIN_BUILD/$package.zip" -d "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
HOME="$work/home" wineboot -i >/dev/null 2>&1
HOME="$work/home" wineserver -w

now_ms() { date +%s%N | awk '{printf "%.1f", $1 / 1e6}'; }
caption="星梭抽奖 - 设置"
start_once() { # dir command...: prints the milliseconds to the window named $caption
    local dir=$1 t0 t1 id=""
    shift
    t0=$(now_ms)
    (cd "$dir" && exec "$@" >>"$work/app.log" 2>&1 </dev/null) &
    app_pid=$!
    for _ in $(seq 20000); do
        id=$(xdotool search --onlyvisible --name "$caption" 2>/dev/null | head -n1) && [ -n "$id" ] && break
        kill -0 "$app_pid" 2>/dev/null || { cat "$work/app.log" >&2; fail "$* ended before its window"; }
    done
    t1=$(now_ms)
    [ -n "$id" ] || fail "no window '$caption' from $*"
    if [ "$caption" = "星梭抽奖 - 设置" ]; then
        xdotool mousemove --window "$id" 132 372 click 1 # "退 出"
    else
        kill "$app_pid"
    fi
    for _ in $(seq 300); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$app_pid" 2>/dev/null && fail "$* did not end"
    wait "$app_pid" || true
    app_pid=""
    python3 -c "print(round($t1 - $t0, 1))"
}
measure() { # label dir command...
    local label=$1
    shift
    start_once "$@" >/dev/null # warm-up
    for _ in $(seq "$runs"); do start_once "$@"; done >"$work/$label.txt"
    echo "$label: $(xargs <"$work/$label.txt")" >&2
}
measure linux "$work/linux" "$linux"
measure wine "$work/$package" env HOME="$work/home" wine xingsuo-draw.exe
# Wine's own start: its Notepad, a small GUI program of Wine's own.
caption="Notepad"
measure notepad "$work" env HOME="$work/home" wine notepad.exe

python3 - "$DRAW_ROOT/docs/performance.md" "$work/linux.txt" "$work/wine.txt" "$work/notepad.txt" "$runs" <<'PY'
import datetime, os, re, statistics, sys
doc, linux_file, wine_file, notepad_file, runs = sys.argv[1:]
linux = sorted(float(x) for x in open(linux_file).read().split())
wine = sorted(float(x) for x in open(wine_file).read().split())
notepad = sorted(float(x) for x in open(notepad_file).read().split())
wine_version = os.popen("wine --version").read().strip()
load = os.getloadavg()[0]
row = lambda v: f"{v[0]:.0f} | {statistics.median(v):.0f} | {v[-1]:.0f}"
ratio = statistics.median(wine) / statistics.median(linux)
section = f"""## Start-up under Wine

Measured by `./scripts/measure_wine_start.sh` on {datetime.date.today()}, same machine
(load {load:.1f} at the end): the Windows program from the portable zip under
{wine_version} (a fresh prefix, made before the first start) against the Linux
build (RelWithDebInfo), both on one Xvfb under openbox, from launch until the
settings window is mapped; {runs} starts each after one that is not counted.

| program | min | median | max |
|---|---|---|---|
| Linux build, ms | {row(linux)} |
| Windows build under Wine, ms | {row(wine)} |
| Wine's own Notepad under Wine, ms | {row(notepad)} |

Ratio of the medians, Wine to Linux: **{ratio:.1f}**. Wine's Notepad, a
small program of Wine's own, takes {statistics.median(notepad):.0f} ms to its window in the same
prefix: that much of the figure is Wine starting a GUI program at all (its
loader, the wineserver, the X11 driver); the rest is the program's own
start, Qt's included, under Wine.
"""
text = open(doc, encoding="utf-8").read()
pattern = re.compile(r"## Start-up under Wine\n.*?(?=\n## |\Z)", re.S)
if pattern.search(text):
    text = pattern.sub(lambda _: section.rstrip("\n") + "\n", text)
else:
    text = text.rstrip("\n") + "\n\n" + section
open(doc, "w", encoding="utf-8").write(text)
print(section)
PY
