#!/usr/bin/env bash
# Two harnesses append 500 results each to the same log at once: 1,000
# complete records, none interleaved, each harness's results in its order.
set -euo pipefail
harness="$1"
checker="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$harness" --draws 500 --seed 11 >a.out &
a=$!
"$harness" --draws 500 --seed 22 >b.out &
b=$!
wait "$a"
wait "$b"
[ "$(grep -c '^SAVED ' a.out)" = 500 ] || { echo "FAIL: first harness saved $(grep -c '^SAVED ' a.out)"; exit 1; }
[ "$(grep -c '^SAVED ' b.out)" = 500 ] || { echo "FAIL: second harness saved $(grep -c '^SAVED ' b.out)"; exit 1; }
records=$(python3 "$checker" Result.txt a.out b.out)
[ "$records" = 1000 ] || { echo "FAIL: $records records, not 1000"; exit 1; }
echo "1000 complete records from two writers"
