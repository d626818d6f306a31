#!/usr/bin/env bash
# Runs the Windows build's unit suites and the installed program under Wine,
# on a private Xvfb with a fresh WINEPREFIX. Usage:
#   scripts/wine-tests.sh [BUILD_WINDOWS_DIR]     (default build-windows)
# DRAW_WINE_DISPLAY picks the X display (default :200).
set -euo pipefail
DRAW_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
WIN_BUILD="${1:-$DRAW_ROOT/build-windows}"
PROGRAM_BUILD="$WIN_BUILD/program"
DISPLAY_NUMBER="${DRAW_WINE_DISPLAY:-:200}"

# Suites (and suite::function) that are not built or not run for Windows,
# and why. Everything else in the build's tests/ runs.
declare -A NOT_UNDER_WINE=(
    [tst_pick::longWinnersDifferingAtTheEndLookDifferent]="the offscreen platform of the Windows Qt finds no fonts at all (it looks in Qt's own lib/fonts), so no text can look different"
    [tst_setting]="all its functions pass, then the process often hangs in exit(): the C++ runtime's thread-exit key is deleted from a static destructor and winpthreads' pthread_key_delete waits for ever on its key lock (1 run in 2 here); not fixed"
    [tst_launcher]="drives the Linux editor choice (xdg-open, VISUAL, shell scripts); Windows starts notepad.exe"
    [tst_resultlog]="not built: makes named pipes (mkfifo)"
    [tst_readerrors]="not built: makes named pipes (mkfifo)"
    [tst_errormessages]="not built: makes named pipes (mkfifo)"
    [tst_hostilefiles]="not built: makes named pipes (mkfifo)"
)

work=$(mktemp -d /tmp/xingsuo-wine.XXXXXX)
xvfb_pid=""
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
        kill "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# -noreset: a server that resets whenever its last client leaves closes a
# client it accepted at that moment (see xvfb-session.sh).
Xvfb "$DISPLAY_NUMBER" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$DISPLAY_NUMBER"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
started=$SECONDS
wineboot -i >/dev/null 2>&1
wineserver -w
echo "Wine prefix made in $((SECONDS - started)) s"

# Wine keeps no QT_* variables from the caller's environment: they are set
# inside the Windows command line. A GUI-subsystem program logs nowhere
# unless given a file: -o FILE,txt.
run_windows() { # run_windows DIR PROGRAM [ARGS...]
    local dir="$1" prog="$2"
    shift 2
    (cd "$dir" && timeout 120 wine cmd /c "set QT_QPA_PLATFORM=offscreen&& $prog $*" </dev/null)
}

failed=0
passed=0
for exe in "$PROGRAM_BUILD"/tests/core/tst_*.exe "$PROGRAM_BUILD"/tests/control/tst_*.exe "$PROGRAM_BUILD"/tests/ui/tst_*.exe; do
    name=$(basename "$exe" .exe)
    [ -n "${NOT_UNDER_WINE[$name]:-}" ] && continue
    # A suite with functions left out runs its other functions by name (the
    # test functions of its source; a name that is none fails the suite).
    functions=()
    skipped=$(printf '%s\n' "${!NOT_UNDER_WINE[@]}" | sed -n "s/^$name:://p")
    if [ -n "$skipped" ]; then
        source_file=$(ls "$DRAW_ROOT"/tests/*/"$name.cpp")
        mapfile -t functions < <(sed -n 's/^    void \([A-Za-z0-9]*\)()$/\1/p' "$source_file" |
            grep -v -x -F -e initTestCase -e cleanupTestCase -e init -e cleanup $(printf -- '-e %s ' $skipped))
    fi
    log="$work/$name.txt"
    t0=$SECONDS
    status=0
    run_windows "$(dirname "$exe")" "$name.exe" "${functions[@]}" -o "$(winepath -w "$log")",txt >/dev/null 2>&1 || status=$?
    totals=$(grep -a '^Totals:' "$log" 2>/dev/null | tr -d '\r' || true)
    if [ "$status" -eq 0 ] && [ -n "$totals" ]; then
        passed=$((passed + 1))
        echo "PASS $name ($((SECONDS - t0)) s) $totals"
    else
        failed=$((failed + 1))
        echo "FAIL $name (exit $status) ${totals:-no totals}"
        grep -a -E '^(FAIL|QFATAL|   Loc|   Actual|   Expected)' "$log" 2>/dev/null | tr -d '\r' | head -30 || true
    fi
done
for name in "${!NOT_UNDER_WINE[@]}"; do
    echo "not run: $name (${NOT_UNDER_WINE[$name]})"
done
echo "Wine unit suites: $passed passed, $failed failed"

# The installed program's road under Wine, when the checkout has one.
if [ -f "$DRAW_ROOT/scripts/wine-road.sh" ]; then
    if bash "$DRAW_ROOT/scripts/wine-road.sh" "$WIN_BUILD"; then
        echo "PASS wine-road"
    else
        failed=$((failed + 1))
        echo "FAIL wine-road"
    fi
fi
[ "$failed" -eq 0 ]
