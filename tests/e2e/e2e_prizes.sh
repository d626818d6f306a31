#!/usr/bin/env bash
# An evening prize by prize on a real X display (Xvfb under openbox): a plan
# of three prizes drawing 3, 2 and 1 at a stop, made in the plan window; an
# absent winner voided and redrawn; the program killed with SIGKILL in the
# middle of a prize and started again; the winners board in full screen; the
# winners list exported and read back as UTF-8 CSV.
# Usage: e2e_prizes.sh PROGRAM [SHOTS]   (XVFB_DISPLAY picks the display)
set -euo pipefail

program="$1"
shots="${2:-}"
for tool in Xvfb xdotool xclip xwininfo openbox import python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=../../scripts/xvfb-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb-session.sh"
start_xvfb openbox
list_file="$XDG_DATA_HOME/xingsuo-draw/list.json"
prizes_file="$XDG_DATA_HOME/xingsuo-draw/prizes.json"

step() { echo "--- $*"; }
fail() { echo "FAIL: $*" >&2; exit 1; } # the cleanup prints the program's output
at() { xdotool mousemove --window "$1" "$2" "$3" click "${5:-1}"; sleep "${4:-0.3}"; }
key() { xdotool key "$@"; sleep 0.3; }
# A popup menu of the program's, mapped (an override-redirect window of its
# own): keys sent before it is would go to the window below it, where Down
# is a roll key.
menu_shown() {
    local id
    for _ in $(seq 100); do
        for id in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
            [[ $(xwininfo -id "$id" 2>/dev/null) == *'Override Redirect State: yes'* ]] && return 0
        done
        sleep 0.1
    done
    fail "no menu shown"
}
shot() { [ -n "$shots" ] && { mkdir -p "$shots"; import -window "${2:-root}" "$shots/$1.png" 2>/dev/null || true; }; return 0; }
# Result.txt as "title|result" lines.
records() { python3 -c '
import sys
data = open(sys.argv[1], "rb").read().decode("gb18030")
for r in data.split("\r\n\r\n")[:-1]:
    lines = r.split("\r\n")
    print(lines[0][4:] + "|" + lines[2][4:])' "$work/Result.txt"; }
count_records() { [ -e "$work/Result.txt" ] && records | wc -l || echo 0; }
wait_records() { # n
    for _ in $(seq 50); do [ "$(count_records)" = "$1" ] && return 0; sleep 0.1; done
    fail "Result.txt holds $(count_records) records, not $1"
}
start_program() {
    "$program" >>"$work/app.log" 2>&1 &
    app_pid=$!
    setting=$(window "星梭抽奖 - 设置")
    sleep 0.8
}
to_pick() { # the settings' OK, then the live-draw window active
    at "$setting" 52 372 0.8
    pick=$(window "星梭抽奖 - 现场")
    xdotool windowactivate --sync "$pick"
    sleep 0.5
}
draw() { key Return; sleep 2.2; key Return; sleep 0.5; } # start, roll past the plan's 2 s, stop
export_to() { # file name typed into the save dialog
    at "$pick" 20 250 0 3 # the window's right-click menu; its last item exports
    menu_shown
    key Up Return
    local dialog
    dialog=$(window "导出中奖名单")
    xdotool windowactivate --sync "$dialog"
    key ctrl+a
    enter_text "$1" # a Chinese name comes as an input method hands it over
    sleep 0.3
    key Return
    for _ in $(seq 100); do [ -e "$work/$1" ] && break; sleep 0.1; done
    [ -e "$work/$1" ] || fail "the export did not write $1"
    local told="" id
    for _ in $(seq 100); do # the message that tells where it went, not the closing file dialog
        for id in $(xdotool search --onlyvisible --name "导出中奖名单" 2>/dev/null); do
            [ "$id" != "$dialog" ] && told=$id
        done
        [ -n "$told" ] && break
        sleep 0.1
    done
    [ -n "$told" ] || fail "no message after the export"
    xdotool windowactivate --sync "$told"
    key Return
    gone "导出中奖名单"
}

cd "$work"
# The list comes as a saved list: ten names.
mkdir -p "$(dirname "$list_file")"
python3 - "$list_file" <<'PY'
import json, sys
names = ["张伟", "王芳", "李娜", "刘洋", "陈静", "<b>杨帆</b>", "赵磊", "黄敏", "周杰", "吴婷"]
json.dump({"format": "xingsuo-draw list", "version": 1, "entries": names, "fileName": "", "filePath": "",
           "fileSize": "", "imported": False}, open(sys.argv[1], "w"), ensure_ascii=False)
PY

step "the plan window from the settings window's right-click menu"
start_program
at "$setting" 152 60
key ctrl+a
enter_text "年会抽奖"
sleep 0.5
at "$setting" 295 8 0 3
menu_shown
key Down Return
plan=$(window "星梭抽奖 - 奖项")
xdotool windowactivate --sync "$plan"
for _ in 1 2 3; do at "$plan" 50 216; done # 添加奖项
row=(70 100 131)
name=("三等奖" "二等奖" "一等奖")
count=(3 2 1)
for i in 0 1 2; do
    at "$plan" 90 "${row[$i]}" 0.2
    xdotool click --repeat 2 1; sleep 0.3 # edit the name
    key ctrl+a
    enter_text "${name[$i]}"
    key Return
    for column in 205 305; do # places, then winners per stop: the same number
        at "$plan" "$column" "${row[$i]}" 0.2
        key ctrl+a
        xdotool type --delay 20 "${count[$i]}"
        key Tab
    done
done
shot 40-plan-window "$plan"
at "$plan" 330 336 0.8 # 保 存
gone "星梭抽奖 - 奖项"
python3 - "$prizes_file" <<'PY' || fail "the plan was not saved as made"
import json, sys
p = json.load(open(sys.argv[1]))
assert [(x["name"], x["count"], x["perStop"]) for x in p["prizes"]] == [("三等奖", 3, 3), ("二等奖", 2, 2), ("一等奖", 1, 1)], p
assert p["onceEach"] is True
PY

step "三等奖: three at one stop, in the grid and in Result.txt"
to_pick
draw
wait_records 3
shot 41-three-winners "$pick"
records | python3 -c '
import sys
lines = sys.stdin.read().split("\n")[:-1]
assert all(l.split("|")[0] == "年会抽奖 · 三等奖" for l in lines), lines
assert len(set(l.split("|")[1] for l in lines)) == 3, lines' || fail "three different 三等奖 records"

step "void the first winner (未到场 → 补抽), not allowed a later prize"
absent=$(records | sed -n 1p | cut -d'|' -f2)
key Delete # the menu opens at the release
menu_shown
key Down Return # the first winner in the menu
box=$(window "未到场 → 补抽")
xdotool windowactivate --sync "$box"
shot 42-void-question "$box"
key alt+n
gone "未到场 → 补抽"
wait_records 4
records | tail -n1 | grep "^年会抽奖 · 三等奖|作废 $absent（第 1 名，未到场，不再参加后面的奖项）$" >/dev/null \
    || fail "the void's record: $(records | tail -n1)"
export_to before.csv

step "kill -9 in the middle of 三等奖, then start again"
kill -9 "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=""
start_program
to_pick
export_to after.csv
cmp -s before.csv after.csv || fail "the board after the restart differs: $(diff before.csv after.csv)"

step "the redraw draws place 1 only, never the voided winner"
draw
wait_records 5
redrawn=$(records | tail -n1 | cut -d'|' -f2)
[ "$redrawn" != "$absent" ] || fail "the voided winner came back"
shot 43-redraw "$pick"

step "二等奖 (announced first, then two at once) and 一等奖, then nothing more"
key Return # the hall sees 二等奖
[ "$(count_records)" = 5 ] || fail "announcing the next prize drew someone"
draw
wait_records 7
key Return
draw
wait_records 8
records | python3 -c '
import sys
lines = sys.stdin.read().split("\n")[:-1]
titles = [l.split("|")[0] for l in lines]
assert titles == ["年会抽奖 · 三等奖"] * 5 + ["年会抽奖 · 二等奖"] * 2 + ["年会抽奖 · 一等奖"], titles
# six places and the voided first draw: seven different people
won = [l.split("|")[1] for l in lines if not l.split("|")[1].startswith("作废 ")]
assert len(won) == 7 and len(set(won)) == 7, won' || fail "the evening's records: $(records)"
key Return
sleep 0.5
# Told on the operator's console: no box over the hall's winners.
[ -z "$(xdotool search --onlyvisible --name "错误提示" 2>/dev/null)" ] || fail "a box over the winners after the last prize"
[ "$(count_records)" = 8 ] || fail "a start after the last prize drew someone"

step "the winners board, full screen"
xdotool windowactivate --sync "$pick"
key m
board=$(window "星梭抽奖 - 中奖名单")
xdotool windowactivate --sync "$board"
sleep 0.3
key F5
for _ in $(seq 50); do
    read -r bw bh < <(xdotool getwindowgeometry "$board" | awk '/Geometry/ {split($2, s, "x"); print s[1], s[2]}')
    [ "$bw" -ge 1200 ] && break
    sleep 0.1
done
[ "$bw" -ge 1200 ] || fail "the board is not full screen (${bw}x${bh})"
shot 44-board-full-screen
key Escape
at "$board" 10 10 0.3 # back to the live-draw window for the export
xdotool windowactivate --sync "$pick"
sleep 0.3

step "the export, read back as UTF-8 CSV"
export_to 中奖名单.csv
python3 - 中奖名单.csv "$absent" <<'PY' || fail "the exported CSV"
import csv, io, sys
raw = open(sys.argv[1], "rb").read()
assert raw.startswith(b"\xef\xbb\xbf"), "no byte-order mark"
rows = list(csv.reader(io.StringIO(raw[3:].decode("utf-8"), newline="")))
assert rows[0] == ["奖项", "名次", "中奖者", "时间", "状态", "首次抽取时奖池人数", "奖池指纹"], rows[0]
body = rows[1:]
assert len(body) == 7, body
assert [r[0] for r in body] == ["三等奖"] * 4 + ["二等奖"] * 2 + ["一等奖"], body
void = [r for r in body if r[4].startswith("作废")]
assert len(void) == 1 and void[0][2] == sys.argv[2] and void[0][1] == "1", void
assert body[0][5] == "10" and len(body[0][6]) == 12, body[0]
assert body[4][5] == "6", body[4] # three 三等奖 winners and the voided one are out
print("CSV:", len(body), "rows")
PY
echo "PASS: e2e_prizes"
