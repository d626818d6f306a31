# Sourced by xvfb-session.sh: a PulseAudio server of this run only (its own
# runtime folder, a null sink named "hall", nothing from the user's
# configuration), and a way to record what the hall hears from the sink's
# monitor. xvfb_cleanup stops the server.
pulse_pid=""

# Starts the server (once) and points every client of this run at it.
start_pulse() {
    [ -n "$pulse_pid" ] && return 0
    export XDG_RUNTIME_DIR="$work/run" PULSE_RUNTIME_PATH="$work/run/pulse" PULSE_STATE_PATH="$work/pulse-state"
    mkdir -p "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"
    chmod 700 "$XDG_RUNTIME_DIR"
    export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
    # No cookie to share: this run's clients are the only ones on the socket.
    export PULSE_COOKIE="$work/pulse-cookie"
    cat >"$work/pulse.pa" <<EOF
load-module module-null-sink sink_name=hall rate=44100 channels=2
set-default-sink hall
load-module module-native-protocol-unix auth-anonymous=1 socket=$PULSE_RUNTIME_PATH/native
EOF
    pulseaudio --daemonize=no --exit-idle-time=-1 -n -F "$work/pulse.pa" --use-pid-file=no \
        --system=no --disallow-exit --log-target=stderr >"$work/pulse.log" 2>&1 &
    pulse_pid=$!
    for _ in $(seq 100); do
        pactl info >/dev/null 2>&1 && return 0
        kill -0 "$pulse_pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "PulseAudio did not start"
    cat "$work/pulse.log"
    return 1
}

stop_pulse() {
    kill -9 "$pulse_pid" 2>/dev/null || true
    wait "$pulse_pid" 2>/dev/null || true
    pulse_pid=""
}

# What the hall hears, recorded from the sink's monitor into one WAV file
# for the whole run (parec writes raw samples to a pipe only at its end, a
# file as it goes; a fresh recording takes about a second to start).
start_recording() {
    parec -d hall.monitor --latency-msec=20 --format=s16le --rate=44100 --channels=1 \
        --file-format=wav "$work/hall.wav" 2>>"$work/parec.log" &
    for _ in $(seq 50); do
        [ "$(stat -c %s "$work/hall.wav" 2>/dev/null || echo 0)" -gt 4410 ] && return 0
        sleep 0.1
    done
    echo "nothing recorded from the sink"
    return 1
}

# listen SECONDS: the RMS (16-bit units) of what the sink plays during the
# next SECONDS; "none" when less than a tenth of a second came in.
listen() {
    local from to
    from=$(stat -c %s "$work/hall.wav")
    sleep "$1"
    to=$(stat -c %s "$work/hall.wav")
    python3 - "$work/hall.wav" "$from" "$to" <<'PY'
import math, struct, sys
start, end = int(sys.argv[2]) & ~1, int(sys.argv[3]) & ~1
with open(sys.argv[1], "rb") as f:
    f.seek(start)
    data = f.read(end - start)
n = len(data) // 2
if n < 4410:
    print("none")
    sys.exit(0)
samples = struct.unpack("<%dh" % n, data[: 2 * n])
print(int(math.sqrt(sum(s * s for s in samples) / n)))
PY
}
