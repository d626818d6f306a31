#!/usr/bin/env bash
# The built program's command line, run without a display in the C locale:
# --help and --version print and exit 0, anything unknown exits 2.
# Usage: command_line.sh PROGRAM
set -uo pipefail

program="$1"
unset DISPLAY WAYLAND_DISPLAY
export LANG=C LC_ALL=C
failures=0
err_file=$(mktemp)
trap 'rm -f "$err_file"' EXIT

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

[ "$failures" = 0 ] || { echo "$failures command-line check(s) failed"; exit 1; }
echo "command line: all checks passed"
