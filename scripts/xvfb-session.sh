# Sourced by scripts that drive the program on a display of their own:
# a work folder, an Xvfb at 96 dpi, and cleanup that stops the program and
# the X server by their process ids, also when a step fails.
work=$(mktemp -d)
xvfb_pid=""
app_pid=""
xvfb_cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap xvfb_cleanup EXIT
trap 'exit 1' TERM INT # a time limit or Ctrl+C still cleans up

# XVFB_SCREEN sets the screen size; XVFB_DISPLAY a display number of its own
# (else the first free one).
start_xvfb() {
    local screen="${XVFB_SCREEN:-1280x1024x24}"
    if [ -n "${XVFB_DISPLAY:-}" ]; then
        # A server just stopped on this number may still hold its lock.
        for _ in $(seq 100); do [ -e "/tmp/.X$XVFB_DISPLAY-lock" ] || break; sleep 0.1; done
        Xvfb ":$XVFB_DISPLAY" -screen 0 "$screen" -dpi 96 -nolisten tcp >"$work/xvfb.log" 2>&1 &
        xvfb_pid=$!
        local up=""
        for _ in $(seq 50); do
            kill -0 "$xvfb_pid" 2>/dev/null || break
            DISPLAY=":$XVFB_DISPLAY" xdotool getdisplaygeometry >/dev/null 2>&1 && { up=1; break; }
            sleep 0.1
        done
        # The server that answered must be this one, not an earlier one going away.
        sleep 0.2
        [ -n "$up" ] && kill -0 "$xvfb_pid" 2>/dev/null ||
            { echo "Xvfb did not start on :$XVFB_DISPLAY"; cat "$work/xvfb.log"; return 1; }
        echo "$XVFB_DISPLAY" > "$work/displayfd"
    else
        exec 5> "$work/displayfd"
        Xvfb -displayfd 5 -screen 0 "$screen" -dpi 96 -nolisten tcp >"$work/xvfb.log" 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 50); do [ -s "$work/displayfd" ] && break; sleep 0.1; done
        [ -s "$work/displayfd" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; return 1; }
    fi
    export DISPLAY=":$(head -n1 "$work/displayfd")"
    export QT_QPA_PLATFORM=xcb
    # The program keeps its state under these: never the user's own.
    export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
    unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR
}

# Waiting for the program's windows by caption. The sourcing script defines
# fail(), which these call when the wait runs out.
window() { # wait for a visible window with this caption, print its id
    local id=""
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    fail "no window '$1'"
}
gone() { # wait until no visible window has this caption
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "window '$1' still shown"
}

# Text into the focused box. Plain ASCII is typed key by key. Other text
# (Chinese) arrives as an input method would hand it over, in one piece: here
# through the clipboard. xdotool would type it by remapping a spare key for
# each character, which a busy program can read after the map was put back.
enter_text() {
    if LC_ALL=C grep -q '[^ -~]' <<<"$1"; then
        printf '%s' "$1" | xclip -selection clipboard
        xdotool key ctrl+v
    else
        xdotool type --delay 30 "$1"
    fi
}
