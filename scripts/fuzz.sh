#!/usr/bin/env bash
# Builds the list-file fuzzer with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it for the given number of seconds
# (default 60) from the seed corpus in tests/fuzz/corpus.
#   ./scripts/fuzz.sh [SECONDS]
set -euo pipefail
DRAW_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
build="$DRAW_ROOT/build-fuzz"
command -v clang++ >/dev/null || { echo "SKIP: clang++ is not installed"; exit 77; }
generator=()
[ -f "$build/CMakeCache.txt" ] || ! command -v ninja >/dev/null || generator=(-G Ninja)
CXX=clang++ cmake -S "$DRAW_ROOT" -B "$build" "${generator[@]}" -DDRAW_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target list_fuzzer >/dev/null
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp "$DRAW_ROOT"/tests/fuzz/corpus/* "$corpus"/
cd "$build"
status=0
"$build/tests/fuzz/list_fuzzer" "$corpus" -max_total_time="$seconds" -max_len=25000 -timeout=10 \
    -rss_limit_mb=4096 -error_exitcode=1 -timeout_exitcode=1 -print_final_stats=1 >"$build/fuzz.log" 2>&1 ||
    status=$?
# The last coverage line, any finding, and the final statistics.
grep -E "cov: " "$build/fuzz.log" | tail -n 1 || true
grep -E -A 30 "ERROR|SUMMARY|deadly|crash-" "$build/fuzz.log" | head -n 60 || true
grep -E "^(Done|stat::)" "$build/fuzz.log" || true
exit "$status"
