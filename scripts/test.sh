#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on
# any failure. Each step's wall time is printed last.
#
# The order keeps both cores busy without loading the tests: the program's
# build first; then the full CTest run in the foreground while the
# sanitizer build and the Windows cross-build compile beside it at the
# lowest priority (nice 19), on the CPU the end-to-end roads leave idle;
# then the sanitizer run and the Windows checks under Wine, each alone.
set -euo pipefail
DRAW_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=setup.sh
source "$DRAW_ROOT/scripts/setup.sh"
draw_install

started=$SECONDS
timings=()
note_time() { timings+=("$(printf '%-52s %4d s' "$1" "$2")"); }
print_timings() {
    echo "Wall time by step (the background builds overlap the CTest run):"
    printf '  %s\n' "${timings[@]}"
    printf '  %-52s %4d s\n' total $((SECONDS - started))
    # CTest's counts of the full run close the output.
    if [ -s "$DRAW_ROOT/build/ctest-all.log" ]; then
        echo "The full CTest run:"
        sed -n '/tests passed, /,$p' "$DRAW_ROOT/build/ctest-all.log" | grep -v -e '^Label Time' -e '^unit *=' -e '^$' || true
    fi
}
trap print_timings EXIT
failed=()
# step NAME COMMAND...: runs COMMAND, notes its wall time and any failure.
step() {
    local name="$1" t0=$SECONDS status=0
    shift
    "$@" || status=$?
    note_time "$name" $((SECONDS - t0))
    [ "$status" -eq 0 ] || failed+=("$name (exit $status)")
    return 0
}

# Line tables only (-g1): the same code as with -g and file:line in every
# backtrace, for a third less compile time than full debug information. The
# sanitizer build at -O1, the level AddressSanitizer is meant for, compiles
# in another third less than at -O2.
DRAW_CI_FLAGS=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG")
DRAW_CI_ASAN_FLAGS=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG")

# Background jobs, at nice 19 with their output in a log of their own.
declare -A bg_pid bg_t0
bg_start() { # bg_start NAME COMMAND...
    local name="$1"
    shift
    bg_t0[$name]=$SECONDS
    # A subshell that lowers its own priority: COMMAND may be a function.
    (
        renice -n 19 -p "$BASHPID" >/dev/null
        "$@"
    ) >"$DRAW_ROOT/build/$name.log" 2>&1 &
    bg_pid[$name]=$!
}
bg_wait() { # bg_wait NAME: fails as the job did, showing its log's end
    local name="$1" status=0
    # Nothing left to make room for: back to the normal priority (root only;
    # children the job starts from now on inherit it from their parents).
    local pids=("${bg_pid[$name]}") i=0
    while [ "$i" -lt "${#pids[@]}" ]; do
        mapfile -t -O "${#pids[@]}" pids < <(pgrep -P "${pids[$i]}" || true)
        i=$((i + 1))
    done
    renice -n 0 -p "${pids[@]}" >/dev/null 2>&1 || true
    wait "${bg_pid[$name]}" || status=$?
    note_time "$name (background, start to end)" $((SECONDS - bg_t0[$name]))
    if [ "$status" -ne 0 ]; then
        tail -n 60 "$DRAW_ROOT/build/$name.log"
        echo "$name failed (exit $status); its log: build/$name.log"
    fi
    return "$status"
}

draw_build_main() { draw_build "$DRAW_ROOT/build" -DDRAW_BUILD_TESTS=ON "${DRAW_CI_FLAGS[@]}"; }
step "build" draw_build_main
[ ${#failed[@]} -eq 0 ] || exit 1

# The list-file fuzzer's clang build, first of the background jobs: the
# CTest run's fuzz test waits for it (a lock) and then only fuzzes.
bg_start build-fuzz "$DRAW_ROOT/scripts/fuzz.sh" --build-only

# The core and widget suites once more, built with AddressSanitizer and
# UndefinedBehaviorSanitizer: only the suites labelled unit and what they link.
bg_start build-asan draw_build "$DRAW_ROOT/build-asan" --target unit-tests \
    -DDRAW_SANITIZE=ON -DDRAW_BUILD_BENCH=OFF "${DRAW_CI_ASAN_FLAGS[@]}"

# The Windows build's unit suites under Wine, when the cross-built Qt is in
# its cache (scripts/windows.sh makes it, about 20 minutes once); the build
# in build-windows/ is reused, and the icon files are the ones build/ drew.
# DRAW_WINE_TESTS=0 turns them off.
wine=""
if [ "${DRAW_WINE_TESTS:-1}" = 0 ]; then
    wine="Windows checks under Wine skipped: DRAW_WINE_TESTS=0; unset it to run them"
elif ! "$DRAW_ROOT/scripts/windows.sh" --cached-only >/dev/null 2>&1; then
    wine="Windows checks under Wine skipped: no cross-built Qt in ${DRAW_WIN_CACHE:-/var/cache/xingsuo-draw}; run ./scripts/windows.sh once (about 20 minutes) to enable them"
else
    # The checks under Wine follow the build in the same job, so they run
    # beside the sanitizer suites instead of after them.
    windows_build_and_checks() {
        env DRAW_WIN_BUILD="$DRAW_ROOT/build-windows" DRAW_HOST_ICONS="$DRAW_ROOT/build/app/icons" \
            "$DRAW_ROOT/scripts/windows.sh" || return
        echo "=== Windows checks under Wine"
        "$DRAW_ROOT/scripts/wine-tests.sh" "$DRAW_ROOT/build-windows"
    }
    bg_start build-windows windows_build_and_checks
fi

# Everything: unit, widget, end-to-end, package, stress and fuzz tests.
run_all_tests() {
    ctest --test-dir "$DRAW_ROOT/build" --output-on-failure --no-tests=error --parallel "$(nproc)" --timeout 600 \
        2>&1 | tee "$DRAW_ROOT/build/ctest-all.log"
    return "${PIPESTATUS[0]}"
}
rm -f "$DRAW_ROOT/build/ctest-all.log"
step "ctest: all $(ctest --test-dir "$DRAW_ROOT/build" -N | sed -n 's/^Total Tests: //p') tests" run_all_tests

step "build-fuzz: finishing" bg_wait build-fuzz
step "build-asan: finishing" bg_wait build-asan
if ! printf '%s\n' "${failed[@]}" | grep -q '^build-asan'; then
    step "ctest under the sanitizers: unit suites" \
        ctest --test-dir "$DRAW_ROOT/build-asan" --output-on-failure --no-tests=error --parallel "$(nproc)" -L unit
fi

if [ -z "$wine" ]; then
    step "build-windows and the checks under Wine: finishing" bg_wait build-windows
    # What the suites and the Wine road said (the whole log: build/build-windows.log).
    sed -n '/^=== Windows checks under Wine/,$p' "$DRAW_ROOT/build/build-windows.log" |
        grep -a -E '^(===|PASS|FAIL|not run|Wine|   Loc|   Actual|   Expected)' || true
else
    echo "$wine"
fi

if [ ${#failed[@]} -ne 0 ]; then
    printf 'FAILED: %s\n' "${failed[@]}"
    exit 1
fi
