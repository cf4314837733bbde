# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# Shared by the end-to-end scripts; source it, do not run it. A scratch
# folder $work and every process in `pids` go at exit.

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    [ -s "$work/out.log" ] && { echo "--- the program's output:" >&2; cat "$work/out.log" >&2; }
    exit 1
}

# background COMMAND...: runs it with its output in $work/background.log; $last is its id.
background() { "$@" >>"$work/background.log" 2>&1 & last=$!; pids+=("$last"); }
# launch COMMAND...: the program under test, its output in $work/out.log; $app_pid is its id.
launch() { "$@" >>"$work/out.log" 2>&1 & app_pid=$!; pids+=("$app_pid"); }

# waited CONDITION...: true once the condition holds, within ten seconds.
waited() { for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done; return 1; }
# ended_well PID WHEN: the program ends, soon, with status 0 (WHEN says after what).
ended_well() {
    local status=0
    waited eval '! kill -0 "$1" 2>/dev/null' || fail "the program did not end $2"
    wait "$1" || status=$?
    [ "$status" -eq 0 ] || fail "the program ended with status $status $2"
}

# start_x SCREEN: a private X server on the first free display, with a
# screen such as 1280x1024x24; sets DISPLAY and a private XDG_RUNTIME_DIR.
start_x() {
    exec 3>"$work/display"
    # -noreset: the server stays as it is when its last client goes (a test
    # that kills the program); a reset would give up its display and could
    # find it taken by another server meanwhile.
    background Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset
    exec 3>&-
    waited test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$work/display")"
    # Drafts go under each script's private home, never the user's own.
    unset QT_QPA_PLATFORM XDG_STATE_HOME
    export XDG_RUNTIME_DIR="$work/runtime"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
}

# Windows on screen by title: the first one's id; whether there are exactly
# $2 (one unless told); waiting until there is one (printing its id) or none.
visible() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true; }
showing() { [ "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | wc -l)" -eq "${2:-1}" ]; }
wait_for() { waited showing "$1" || fail "window '$1' did not appear"; visible "$1"; }
wait_gone() { waited showing "$1" 0 || fail "window '$1' is still shown"; }

# click_at X Y: a left click there; the pointer moves only when it is not
# there already, since mousemove --sync waits for it to move. What follows
# needs no pause: the program takes the click before any later input.
click_at() {
    [ "$(xdotool getmouselocation | cut -d' ' -f1,2)" = "x:$1 y:$2" ] || xdotool mousemove --sync "$1" "$2"
    xdotool click 1
}

# story_home: a private home whose documents folder is $HOME/Documents, with
# the story folder $root and a staging file holding "Earlier notes".
story_home() {
    export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
    root="$HOME/Documents/Wrenfield"
    mkdir -p "$root/program files"
    printf 'Earlier notes' >"$root/program files/temp.txt"
}

# geometry ID: sets X, Y, WIDTH and HEIGHT to the window's client area on the
# screen (xdotool's own figure is off by the frame under a window manager).
geometry() {
    eval "$(xwininfo -id "$1" | sed -n 's/^ *Absolute upper-left X: */X=/p; s/^ *Absolute upper-left Y: */Y=/p
                                       s/^ *Width: */WIDTH=/p; s/^ *Height: */HEIGHT=/p')"
}
# click ID FRAME_LEFT FRAME_TOP LEFT TOP WIDTH HEIGHT: the middle of a
# control, in twips from its window's table (0 0 for a control in no frame),
# less the pixels the window's contents are $scrolled up.
click() {
    local X Y WIDTH HEIGHT
    geometry "$1"
    click_at $((X + ($2 + $4 + $6 / 2) / 15)) $((Y - ${scrolled:-0} + ($3 + $5 + $7 / 2) / 15))
}
type_text() { xdotool type --delay 20 -- "$1"; }
# From the main window to the about window ($main, $about) and back.
to_about() { click "$main" 0 0 1200 3240 2895 735; about=$(wait_for "About Me"); }  # About the creator
to_main() { click "$about" 0 0 5760 1800 1455 735; main=$(wait_for Form2); }         # Back
key() { xdotool key --delay 30 "$@"; }

# picnic_players P1: the picnic story's choices on the Player 1 window P1 and
# its Ok, then on the Player 2 window (its id in $p2) its choices and a click
# into the title box.
picnic_players() {
    local p1=$1
    click "$p1" 0 120 240 720 1335 615             # Female
    click "$p1" 1920 120 120 840 1335 615          # Single
    click "$p1" 3840 120 240 600 1095 735          # Shy
    click "$p1" 0 3240 240 240 1335 495            # Older than P2
    click "$p1" 0 0 1920 5280 1695 615             # Ok
    p2=$(wait_for "Player 2")
    click "$p2" 0 0 240 2520 1455 615              # Opposite to P1
    click "$p2" 1920 0 120 360 1575 495            # Married
    click "$p2" 3840 0 240 2880 1095 495           # Nice
    click "$p2" 0 0 0 5160 1815 615                # the title box
}

# The picnic story the scripts type, as saved after the staging file's notes.
picnic_story() {
    printf 'Earlier notes A Day Out\r\n Ann Author\r\n\r\nShall we eat here?\r\n Under the oak tree.\r\n\r\nIs it going to rain?\r\n Not today.\r\n\r\nAnts!\r\n Then pass the bread.\r\n\r\nWe could run.\r\n Home, then.\r\n'
}

# close_window ID: closes a window as a window manager's close button does,
# by sending it WM_DELETE_WINDOW, which the program receives as a close event.
close_window() {
    /usr/bin/python3 - "$1" <<'PY'
import ctypes, sys
from ctypes import c_int, c_long, c_ulong, c_void_p
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = c_void_p
x.XInternAtom.restype = c_ulong
display = c_void_p(x.XOpenDisplay(None))
class ClientMessage(ctypes.Structure):  # an XClientMessageEvent, padded to the size of an XEvent
    _fields_ = [("type", c_int), ("serial", c_ulong), ("send_event", c_int), ("display", c_void_p),
                ("window", c_ulong), ("message_type", c_ulong), ("format", c_int), ("data", c_long * 5),
                ("pad", c_long * 12)]
event = ClientMessage(type=33, window=int(sys.argv[1]), format=32,
                      message_type=x.XInternAtom(display, b"WM_PROTOCOLS", 0))
event.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
x.XSendEvent(display, c_ulong(event.window), 0, c_long(0), ctypes.byref(event))
x.XCloseDisplay(display)  # sends the event
PY
}

# focused ID: whether that window has the keyboard.
focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }
