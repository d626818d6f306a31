#!/usr/bin/env bash
# Several harnesses append to the same log at once, round after round: every
# record complete, none interleaved, each harness's results in its order.
# CONCURRENT_ROUNDS (20), CONCURRENT_WRITERS (2) and CONCURRENT_DRAWS (200)
# change the load.
set -euo pipefail
harness=$(realpath "$1")
checker=$(realpath "$2")
rounds=${CONCURRENT_ROUNDS:-20}
writers=${CONCURRENT_WRITERS:-2}
draws=${CONCURRENT_DRAWS:-200}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for round in $(seq "$rounds"); do
    dir="$work/$round"
    mkdir "$dir"
    cd "$dir"
    pids=()
    outs=()
    for w in $(seq "$writers"); do
        "$harness" --draws "$draws" --seed $((round * 100 + w)) >"w$w.out" &
        pids+=($!)
        outs+=("w$w.out")
    done
    for pid in "${pids[@]}"; do
        wait "$pid"
    done
    for out in "${outs[@]}"; do
        saved=$(grep -c '^SAVED ' "$out" || true)
        [ "$saved" = "$draws" ] || { echo "FAIL: round $round: $out saved $saved of $draws"; exit 1; }
    done
    records=$(python3 "$checker" Result.txt "${outs[@]}") || { echo "FAIL: round $round"; exit 1; }
    [ "$records" = $((writers * draws)) ] ||
        { echo "FAIL: round $round: $records records, not $((writers * draws))"; exit 1; }
    cd "$work"
    rm -rf "$dir"
done
echo "$rounds rounds of $writers writers x $draws draws: every record complete"
