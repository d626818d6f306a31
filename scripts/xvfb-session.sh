# Sourced by scripts that drive the program on a display of their own:
# a work folder, an Xvfb at 96 dpi, and cleanup that stops the program and
# the X server by their process ids, also when a step fails. The program's
# output goes to a log in the work folder ($work/NAME.log); when the script
# fails, the cleanup prints every such log (the program's, the X server's and
# the window manager's) before the folder goes.
work=$(mktemp -d)
xvfb_pid=""
wm_pid=""
app_pid=""
# shellcheck source=pulse-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/pulse-session.sh"
xvfb_cleanup() { # xvfb_cleanup [EXIT_STATUS], by default the last command's
    local status="${1:-$?}" log
    if [ "$status" != 0 ]; then
        for log in "$work"/*.log; do
            [ -s "$log" ] || continue
            echo "--- output of $(basename "$log" .log) (exit $status):"
            cat "$log"
        done
    fi >&2
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null || true
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap xvfb_cleanup EXIT
trap 'exit 1' TERM INT # a time limit or Ctrl+C still cleans up

# start_xvfb [openbox]: with openbox the session has a real window manager,
# as on a desktop; without, it is a bare X server, as in a kiosk. The
# display is the first free one, or XVFB_DISPLAY when that is set;
# XVFB_SCREEN sets the screen size.
start_xvfb() {
    # A display number of the caller's choice (XVFB_DISPLAY=220 or DRAW_XVFB_DISPLAY=:220).
    [ -z "${XVFB_DISPLAY:-}" ] && [ -n "${DRAW_XVFB_DISPLAY:-}" ] && XVFB_DISPLAY="${DRAW_XVFB_DISPLAY#:}"
    local screen="${XVFB_SCREEN:-1280x1024x24}"
    # A server just stopped on this number may still hold its lock.
    [ -n "${XVFB_DISPLAY:-}" ] && for _ in $(seq 100); do [ -e "/tmp/.X$XVFB_DISPLAY-lock" ] || break; sleep 0.1; done
    # Xvfb writes the display number to the descriptor once it accepts clients.
    # -noreset: without a window manager, every time its last client leaves
    # (the program ending, each xdotool call) the server resets, and closes
    # a client it accepted just then: a program starting at that moment
    # aborts ("could not connect to display").
    exec 5> "$work/displayfd"
    # shellcheck disable=SC2046
    Xvfb $([ -n "${XVFB_DISPLAY:-}" ] && echo ":$XVFB_DISPLAY") -displayfd 5 -screen 0 "$screen" -dpi 96 \
        -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -s "$work/displayfd" ] && break; sleep 0.1; done
    [ -s "$work/displayfd" ] && kill -0 "$xvfb_pid" 2>/dev/null ||
        { echo "Xvfb did not start"; cat "$work/xvfb.log"; return 1; }
    export DISPLAY=":$(head -n1 "$work/displayfd")"
    # Told ready, a server can still turn a client away for a moment.
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    export QT_QPA_PLATFORM=xcb
    # A sound server with a null sink, as a desktop has one: the program's
    # sounds play into it instead of being told missing on the settings window.
    if command -v pulseaudio >/dev/null; then
        start_pulse || return 1
    fi
    # The program keeps its state under these: never the user's own.
    export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
    unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR
    if [ "${1:-}" = openbox ]; then
        for _ in 1 2 3; do
            # Its own configuration folder: the default settings, never the user's.
            XDG_CONFIG_HOME="$work/wm-config" openbox --sm-disable >"$work/openbox.log" 2>&1 &
            wm_pid=$!
            # Running once it has announced itself on the root window.
            for _ in $(seq 50); do
                xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
                kill -0 "$wm_pid" 2>/dev/null || break # it gave up: start it again
                sleep 0.1
            done
        done
        echo "openbox did not start on $DISPLAY"; cat "$work/openbox.log" "$work/xvfb.log"; return 1
    fi
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
