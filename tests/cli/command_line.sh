#!/usr/bin/env bash
# The built program's command line, run without a display in the C locale:
# --help and --version print and exit 0, anything unknown exits 2;
# --import-report prints a roster's report and exits 0, or 1 for a file it
# refuses.
# Usage: command_line.sh PROGRAM
set -uo pipefail

program="$1"
unset DISPLAY WAYLAND_DISPLAY
export LANG=C LC_ALL=C
failures=0
err_file=$(mktemp)
work=$(mktemp -d)
trap 'rm -rf "$err_file" "$work"' EXIT
samples="$(cd "$(dirname "$0")/../core/rosters" && pwd)"

check() { # name, expected exit status, expected text (grep -F), stream (out|err), arguments...
    local name="$1" want="$2" text="$3" stream="$4"
    shift 4
    local out err status
    out=$(timeout 10 "$program" "$@" 2>"$err_file")
    status=$?
    err=$(cat "$err_file")
    local shown="$out"
    [ "$stream" = err ] && shown="$err"
    if [ "$status" != "$want" ]; then
        echo "FAIL $name: exit $status, not $want"; failures=$((failures + 1)); return
    fi
    if ! grep -qF -- "$text" <<<"$shown"; then
        echo "FAIL $name: no '$text' in: $shown"; failures=$((failures + 1)); return
    fi
    if [ "$stream" = out ] && [ -n "$err" ]; then
        echo "FAIL $name: unexpected error output: $err"; failures=$((failures + 1)); return
    fi
    echo "ok   $name"
}

check "--help" 0 "用法 Usage: xingsuo-draw" out --help
check "-h lists --fresh" 0 "--fresh" out -h
check "--version" 0 "xingsuo-draw 1.0" out --version
check "-v" 0 "星梭抽奖 xingsuo-draw" out -v
check "Qt's own option passes" 0 "xingsuo-draw 1.0" out -platform offscreen --version
check "--fresh with --version" 0 "xingsuo-draw 1.0" out --fresh --version
check "--bogus" 2 "未知选项 unknown option: --bogus" err --bogus
check "-x" 2 "未知选项 unknown option: -x" err -x
check "unknown after a known one" 2 "--nosuch" err --fresh --nosuch
check "a stray argument" 2 "不需要参数 unexpected argument: list.txt" err list.txt
check "value on a flag" 2 "选项有误" err --help=yes
check "-h lists --import-report" 0 "--import-report" out -h
check "--import-report without a file" 2 "选项有误" err --import-report

# A GBK CSV with a title row, a blank row, a repeated 工号 and two 张伟.
printf '2026年会名单,,\r\n工号,姓名,部门\r\nXS1001,张伟,销售部\r\nXS1002,张伟,研发部\r\nXS1001,张伟,销售部\r\n,,\r\nXS1003,李娜,研发部\r\n' |
    iconv -f UTF-8 -t GBK >"$work/名单.csv"
# The fingerprint as documented: SHA-256 over "工号<TAB>姓名<TAB>部门<LF>" per person.
fingerprint=$(printf 'XS1001\t张伟\t销售部\nXS1002\t张伟\t研发部\nXS1003\t李娜\t研发部\n' | sha256sum | cut -c1-12)
csv="$work/名单.csv"
check "report: how it was read" 0 "（GBK，逗号分隔）" out --import-report "$csv"
check "report: header" 0 "表头: 第 2 行（工号 A 列，姓名 B 列，部门 C 列）" out --import-report "$csv"
check "report: rows read" 0 "读入行数: 5" out --import-report "$csv"
check "report: blank rows" 0 "跳过空行: 1（第 6 行）" out --import-report "$csv"
check "report: repeated 工号" 0 "重复工号: XS1001 第 3、5 行（保留第 3 行）" out --import-report "$csv"
check "report: two 张伟" 0 "同名: 张伟 — XS1001（第 3 行）、XS1002（第 4 行）" out --import-report "$csv"
check "report: final count" 0 "最终人数: 3" out --import-report "$csv"
check "report: fingerprint" 0 "指纹: $fingerprint" out --import-report "$csv"
check "report: workbook" 0 "最终人数: 5" out --import-report "$samples/shared.xlsx"
check "report: lost leading zeros" 0 "工号位数不一: 纯数字工号有 3 位 1 人、5 位 4 人" out \
    --import-report "$samples/shared.xlsx"
printf 'a,b\nc,d\n' >"$work/no-header.csv"
check "refused: no header" 1 "找不到表头" err --import-report "$work/no-header.csv"
check "refused: no such file" 1 "不能导入" err --import-report "$work/nothing.csv"
printf 'PK\003\004broken' >"$work/broken.xlsx"
check "refused: a broken workbook" 1 "工作簿已损坏" err --import-report "$work/broken.xlsx"

[ "$failures" = 0 ] || { echo "$failures command-line check(s) failed"; exit 1; }
echo "command line: all checks passed"
