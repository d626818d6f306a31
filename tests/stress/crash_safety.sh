#!/usr/bin/env bash
# Kills a drawing harness with SIGKILL at random moments, 200 times, all
# appending to one log. Every result it printed as saved must be in the log,
# and every record must be a complete four-line block.
# Then the same with a prize plan: each run starts as the program does
# (settling the last stop against the log), stops, voids and meets a
# blocked save, and is killed at a random moment, at any write step. After
# the last kill a start's board must equal the log's complete records, and
# the log must hold whole records only.
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

mkdir plan
cd plan
plans=${CRASH_PLAN_RUNS:-100}
for i in $(seq "$plans"); do
    : >run.out
    "$harness" --plan-stops 1000000 --seed "$i" --fail-saves 3 --name-length 200 >run.out 2>/dev/null &
    pid=$!
    sleep "0.$(( RANDOM % 4 ))$(( RANDOM % 10 ))"
    kill -KILL "$pid" 2>/dev/null || true # an evening drawn to its end has stopped by itself
    wait "$pid" 2>/dev/null || true
    # A line the kill cut short was never fully reported.
    [ ! -s run.out ] || [ "$(tail -c 1 run.out | od -An -tx1 | tr -d ' ')" = 0a ] || sed -i '$d' run.out
    cat run.out >>plan.out
done
"$harness" --board >board.out
records=$(python3 "$checker" --board board.out Result.txt plan.out) || { tail -5 plan.out; exit 1; }
echo "$plans kills with a plan: $(grep -c '^SAVED ' plan.out || true) results reported saved," \
    "$(grep -c '^NOTSAVED ' plan.out || true) changes not saved, $(grep -c '^TAKENBACK ' plan.out || true)" \
    "cut-off ends taken back; $records complete records, the board equals them"
