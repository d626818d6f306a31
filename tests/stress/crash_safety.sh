#!/usr/bin/env bash
# Kills a drawing harness with SIGKILL at random moments, 200 times, all
# appending to one log. Every result it printed as saved must be in the log,
# and every record must be a complete four-line block.
set -euo pipefail
harness="$1"
checker="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
runs=${CRASH_RUNS:-200}
for i in $(seq "$runs"); do
    : >"out.$i" # the kill may come before the harness has opened it
    "$harness" --draws 1000000 --seed "$i" >>"out.$i" 2>/dev/null &
    pid=$!
    # The random moment counts from its first saved result: on a busy
    # machine its start alone can outlast the whole wait.
    for _ in $(seq 2000); do
        [ -s "out.$i" ] || ! kill -0 "$pid" 2>/dev/null && break
        sleep 0.005
    done
    sleep "0.0$(( RANDOM % 6 ))$(( RANDOM % 10 ))"
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null || true
    cat "out.$i" >> all.out
done
saved=$(grep -c '^SAVED ' all.out || true)
records=$(python3 "$checker" --allow-cut Result.txt all.out)
echo "$runs kills: $saved results reported saved, $records complete records in the log"
[ "$saved" -gt 0 ] || { echo "FAIL: nothing was saved"; exit 1; }
[ "$records" -ge "$saved" ] || { echo "FAIL: fewer records than saved results"; exit 1; }
