#!/usr/bin/env bash
# One running copy per saved event, with two real processes on a real X
# display: a second start says so, brings the first copy's window to the
# front and exits without touching the saved event; when the first copy
# cannot answer, the second still exits untouched; a copy killed with
# SIGKILL does not block the next start; a lock file no running copy can be
# shown to hold is named, and taken over only when the operator says so.
# Usage: e2e_one_copy.sh PROGRAM
set -euo pipefail

program="$1"
for tool in Xvfb xdotool xprop openbox md5sum; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=../../scripts/xvfb-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb-session.sh"
start_xvfb openbox # minimising needs a window manager
second_pid=""
trap 'status=$?; [ -n "$second_pid" ] && kill -CONT "$app_pid" 2>/dev/null; kill "$wm_pid" $second_pid 2>/dev/null || true
      xvfb_cleanup "$status"' EXIT

step() { echo "--- $*"; }
fail() { echo "FAIL: $*" >&2; exit 1; } # the cleanup prints both copies' output
state_sum() { md5sum "$XDG_CONFIG_HOME/xingsuo-draw/settings.json" "$XDG_DATA_HOME/xingsuo-draw/list.json"; }
shown() { xdotool search --onlyvisible --name "$1" 2>/dev/null | grep -qx "$2"; }
minimised() { xprop -id "$1" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_HIDDEN; }
# The second copy's message box, titled "星梭抽奖" alone.
second_box() {
    for _ in $(seq 100); do
        for id in $(xdotool search --onlyvisible --pid "$second_pid" 2>/dev/null); do
            [ "$(xdotool getwindowname "$id")" = "星梭抽奖" ] && { echo "$id"; return 0; }
        done
        sleep 0.1
    done
    fail "the second copy showed no message box"
}

# An event under way: a saved list and settings, winners leaving.
mkdir -p "$XDG_CONFIG_HOME/xingsuo-draw" "$XDG_DATA_HOME/xingsuo-draw"
cat >"$XDG_CONFIG_HOME/xingsuo-draw/settings.json" <<'JSON'
{"format": "xingsuo-draw settings", "version": 1, "title": "年会", "subtitle": "一等奖", "picture": "",
 "lines": [{"face": null, "color": null}, {"face": null, "color": null}], "noRepeatDraw": 0, "winnersLeave": true}
JSON
cat >"$XDG_DATA_HOME/xingsuo-draw/list.json" <<'JSON'
{"format": "xingsuo-draw list", "version": 1, "entries": ["甲", "乙", "丙"], "fileName": "", "filePath": "",
 "fileSize": "", "imported": false}
JSON
cd "$work"

step "the first copy starts; its window is minimised"
"$program" >"$work/first.log" 2>&1 &
app_pid=$!
first=$(window "星梭抽奖 - 设置")
sleep 0.5
xdotool windowminimize "$first"
for _ in $(seq 50); do minimised "$first" && break; sleep 0.1; done
minimised "$first" || fail "the first copy's window did not minimise"
before=$(state_sum)

step "a second start: says so, the first copy comes to the front, nothing saved changes"
"$program" >"$work/second.log" 2>&1 &
second_pid=$!
box=$(second_box)
grep -q "already running (process $app_pid)" "$work/second.log" || fail "the second copy did not name the first"
for _ in $(seq 30); do minimised "$first" || break; sleep 0.1; done
minimised "$first" && fail "the first copy's window stayed minimised"
shown "星梭抽奖 - 设置" "$first" || fail "the first copy's window is not shown"
[ "$(xdotool search --onlyvisible --name "星梭抽奖 - 设置" | wc -l)" -eq 1 ] || fail "the second copy opened windows"
xdotool windowactivate --sync "$box" key Return
wait "$second_pid" && status=0 || status=$?
second_pid=""
[ "$status" -eq 0 ] || fail "the second copy ended with $status"
[ "$(state_sum)" = "$before" ] || fail "the second copy touched the saved event"
kill -0 "$app_pid" || fail "the first copy ended"

step "a first copy that cannot answer: the second exits untouched"
kill -STOP "$app_pid"
"$program" >"$work/second.log" 2>&1 &
second_pid=$!
box=$(second_box)
xdotool windowactivate --sync "$box" key Return
wait "$second_pid" && status=0 || status=$?
second_pid=""
kill -CONT "$app_pid"
[ "$status" -eq 1 ] || fail "the second copy ended with $status, not 1"
[ "$(state_sum)" = "$before" ] || fail "the second copy touched the saved event"

step "the first copy killed with SIGKILL: the next start is the one copy"
kill -KILL "$app_pid"
wait "$app_pid" 2>/dev/null || true
"$program" >"$work/first.log" 2>&1 &
app_pid=$!
window "星梭抽奖 - 设置" >/dev/null
sleep 0.5
xdotool search --onlyvisible --name "^星梭抽奖$" >/dev/null 2>&1 && fail "the restart was refused"
kill -0 "$app_pid" || fail "the restart ended"

step "a garbled lock file: the start names it and quits at Enter, taking it over only when asked"
kill -KILL "$app_pid"
wait "$app_pid" 2>/dev/null || true
lockfile="$XDG_CONFIG_HOME/xingsuo-draw/running.lock"
printf 'garbled\n' >"$lockfile"
"$program" >"$work/second.log" 2>&1 &
second_pid=$!
box=$(second_box)
xdotool windowactivate --sync "$box" key Return # the default: 退出
wait "$second_pid" && status=0 || status=$?
second_pid=""
[ "$status" -eq 1 ] || fail "the start ended with $status, not 1"
grep -q "running.lock is not shown to be held" "$work/second.log" || fail "the lock file was not named"
[ "$(cat "$lockfile")" = garbled ] || fail "the lock file was taken over without asking"
"$program" >"$work/first.log" 2>&1 &
app_pid=$!
second_pid=$app_pid
box=$(second_box)
xdotool windowactivate --sync "$box" key alt+t # 接管并启动(&T)
second_pid=""
window "星梭抽奖 - 设置" >/dev/null
[ "$(head -1 "$lockfile")" = "$app_pid" ] || fail "the lock file is not the new copy's"
echo "PASS"
