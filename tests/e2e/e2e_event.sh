#!/usr/bin/env bash
# A whole event on a real X display (Xvfb): a column pasted from the
# clipboard and from the mouse selection, winners leaving the pool, the
# program killed mid-event and started again, and the event finished.
# Usage: e2e_event.sh PROGRAM
set -euo pipefail

program="$1"
for tool in Xvfb xdotool xclip convert import python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=../../scripts/xvfb-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb-session.sh"
start_xvfb "${DRAW_E2E_WM:-}" # openbox from CTest: a desktop
# The saved state goes to folders of this run only.
# (start_xvfb points the saved state at this run's own folders)
settings_file="$XDG_CONFIG_HOME/xingsuo-draw/settings.json"
list_file="$XDG_DATA_HOME/xingsuo-draw/list.json"

step() { echo "--- $*"; }
fail() { echo "FAIL: $*" >&2; exit 1; } # the cleanup prints the program's output
at() { xdotool mousemove --window "$1" "$2" "$3" click "${5:-1}"; sleep "${4:-0.3}"; }
# The saved list as one line per entry, read with the program's own file format.
saved_list() { python3 -c 'import json,sys; print("\n".join(json.load(open(sys.argv[1]))["entries"]))' "$list_file"; }
wait_for() { # a python condition on the saved list (entries) and settings (settings)
    for _ in $(seq 50); do
        python3 - "$list_file" "$settings_file" "$1" <<'PY' && return 0
import json, sys
try:
    entries = json.load(open(sys.argv[1]))["entries"]
    settings = json.load(open(sys.argv[2]))
except Exception:
    sys.exit(1)
sys.exit(0 if eval(sys.argv[3]) else 1)
PY
        sleep 0.1
    done
    fail "saved state never met: $1"
}
results() { python3 -c '
import sys
data = open(sys.argv[1], "rb").read().decode("gb18030")
print("\n".join(r.split("\r\n")[2][4:] for r in data.split("\r\n\r\n")[:-1]))' "$work/Result.txt"; }

cd "$work"
step "first start: the default values, nothing saved yet"
"$program" >"$work/app.log" 2>&1 &
app_pid=$!
setting=$(window "星梭抽奖 - 设置")
sleep 0.5
[ ! -e "$settings_file" ] && [ ! -e "$list_file" ] || fail "a first start wrote a state"

step "title, then paste a column with Ctrl+V and another with the middle button"
at "$setting" 152 60
xdotool key ctrl+a
enter_text "E2E年会"
at "$setting" 76 280 0.8
edit=$(window "星梭抽奖 - 编辑待选数据")
at "$edit" 139 27
printf '张三\r\n李四\r\n\r\n王五\r\n' | xclip -selection clipboard
xdotool key ctrl+v
sleep 0.3
printf 'Alice\nBob\n Carol\n' | xclip -selection primary
at "$edit" 139 27 0.3 2
wait_for 'entries == ["张三", "李四", "王五", "Alice", "Bob", " Carol"]'
echo "pasted: $(saved_list | paste -sd, -)"

step "hand over, OK, turn on winners leaving in the pop-up menu"
at "$edit" 340 393 0.8
gone "星梭抽奖 - 编辑待选数据"
at "$setting" 52 372 1
pick=$(window "星梭抽奖 - 现场")
at "$pick" 20 150 0.5 3
xdotool key Down Down Return
sleep 0.3
wait_for 'settings["winnersLeave"] is True and settings["title"] == "E2E年会"'

step "two draws, then the program is killed"
for _ in 1 2; do
    at "$pick" 240 220 0.4
    at "$pick" 240 220 0.4
done
wait_for 'len(entries) == 4'
kill -9 "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=""
mapfile -t won < <(results)
[ "${#won[@]}" = 2 ] || fail "${#won[@]} results before the kill, not 2"
[ "${won[0]}" != "${won[1]}" ] || fail "the same winner twice: ${won[0]}"
for w in "${won[@]}"; do
    saved_list | grep -qxF -- "$w" && fail "winner $w is still in the saved list"
done
echo "before the kill: ${won[*]}"

step "start again: the event is back"
"$program" >>"$work/app.log" 2>&1 &
app_pid=$!
setting=$(window "星梭抽奖 - 设置")
sleep 0.5
import -window "$setting" "$work/summary.png"
red=$(convert "$work/summary.png" -crop 41x33+160+266 +repage \
      -fx "(r>0.5 && g<0.3 && b<0.3) ? 1 : 0" -format "%[fx:mean*w*h]" info:)
python3 -c "import sys; sys.exit(0 if float('$red') > 5 else 1)" || fail "no restored count in the summary"
at "$setting" 52 372 1
pick=$(window "星梭抽奖 - 现场")

step "the four left are drawn, then the start is refused"
for _ in 1 2 3 4; do
    at "$pick" 240 220 0.4
    at "$pick" 240 220 0.4
done
wait_for 'entries == []'
at "$pick" 240 220 0.8
box=$(window "错误提示")
sleep 0.3
at "$box" 118 59 # its OK button
gone "错误提示"

step "exit"
at "$pick" 454 276 0.5
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "the program did not end"
wait "$app_pid" || fail "the program ended with an error"
app_pid=""

step "check Result.txt: six different winners, the whole list"
python3 - "$work/Result.txt" <<'PY'
import sys
data = open(sys.argv[1], "rb").read().decode("gb18030")
records = data.split("\r\n\r\n")[:-1]
assert len(records) == 6, f"{len(records)} records, not 6"
assert all(r.split("\r\n")[0] == "标题: E2E年会" for r in records), records
won = [r.split("\r\n")[2][4:] for r in records]
assert sorted(won) == sorted(["张三", "李四", "王五", "Alice", "Bob", " Carol"]), won
print("Result.txt: 6 different winners:", won)
PY
echo "e2e event passed"
