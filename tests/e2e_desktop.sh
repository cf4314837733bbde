#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# The real program on a small screen (800 x 600) and a private session bus.
#
# First without a window manager, with the accessibility bus and a stand-in
# notification service and file manager: a whole story made by clicks, every
# window on screen and at its table's place where that fits, the speeches
# window, taller than the screen, scrolled by the wheel to "Click When Done";
# after "DONE!" one notification with the story's path and the actions "Open"
# and "Show in folder", which open the file and call ShowItems with its URI;
# the window icon set; the names and roles screen readers get over AT-SPI;
# every text box's answers to their text calls; then keys still obeyed.
#
# Then on native Wayland (a headless weston, no X display, Qt left to choose
# its platform): the same story through AT-SPI alone, since Wayland lets no
# program fake another's input.
#
# Then under a window manager with frames (openbox) and with no notification
# service: through every window by clicks again (the speeches left empty),
# every window's frame on screen, the speeches window scrolled by dragging
# its scroll bar, and the main window after "DONE!" as always; the about
# window, moved, keeps its place.
#
# usage: e2e_desktop.sh PATH/TO/wrenfield
set -euo pipefail

if [ -z "${WRENFIELD_PRIVATE_BUS:-}" ]; then
    exec env WRENFIELD_PRIVATE_BUS=1 dbus-run-session -- "$0" "$@" 2>&1
fi

program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/x11_session.sh"

start_x 800x600x24
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

# geometry ID: sets X, Y, WIDTH and HEIGHT to the window's client area on the
# screen (xdotool's own figure is off by the frame under a window manager).
geometry() {
    eval "$(xwininfo -id "$1" | sed -n 's/^ *Absolute upper-left X: */X=/p; s/^ *Absolute upper-left Y: */Y=/p
                                       s/^ *Width: */WIDTH=/p; s/^ *Height: */HEIGHT=/p')"
}
# click ID FRAME_LEFT FRAME_TOP LEFT TOP WIDTH HEIGHT: the middle of a
# control, in twips from its window's table (0 0 for a control in no frame),
# less the pixels the window's contents are $scrolled up.
scrolled=0
click() {
    local X Y WIDTH HEIGHT x y
    geometry "$1"
    x=$((X + ($2 + $4 + $6 / 2) / 15)) y=$((Y - scrolled + ($3 + $5 + $7 / 2) / 15))
    click_at "$x" "$y"
}
# on_screen ID LEFT TOP [FRAME]: the window, with the window manager's frame
# when FRAME is given, lies on the 800 x 600 screen, and its client area is at
# the table's LEFT, TOP where the window fits there.
on_screen() {
    local X Y WIDTH HEIGHT l=0 r=0 t=0 b=0
    geometry "$1"
    [ -n "${4:-}" ] && IFS=', ' read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //')
    local fx=$((X - l)) fy=$((Y - t)) fw=$((WIDTH + l + r)) fh=$((HEIGHT + t + b))
    if (($2 - l >= 0 && $2 + WIDTH + r <= 800 && $3 - t >= 0 && $3 + HEIGHT + b <= 600)); then
        [ "$X,$Y" = "$2,$3" ] || fail "window $1 at $X,$Y, not at its place $2,$3"
    fi
    ((fx >= 0 && fx + fw <= 800 && fy >= 0 && fy + fh <= 600)) \
        || fail "window $1's frame ${fw}x$fh at $fx,$fy is not on the screen"
}
story_made() {  # story_made FILE: the story page gave way to the main window and the file exists
    main=$(wait_for Form2)
    [ -z "$(visible Form1)" ] || fail "the story page is still shown"
    [ -f "$1" ] || fail "no story file $1"
}
story_bytes() {  # the story's file, byte for byte
    printf ' Tea and Cake\r\n Ann\r\n\r\nSpeech 1.\r\n Speech 2.\r\n\r\nSpeech 3.\r\n Speech 4.\r\n\r\nSpeech 5.\r\n Speech 6.\r\n\r\nSpeech 7.\r\n Speech 8.\r\n' \
        | cmp - "$HOME/Documents/Wrenfield/CFSSOOMNTea&Cake.txt" || fail "the story file's bytes differ"
}
# scrolled_by ID IMAGE: the window, but for its scroll bar, shows what IMAGE
# of it showed $scrolled pixels lower, or up to two less under a window
# manager's frame: the contents moved up that far, which $scrolled then
# holds. (A caret blinking meanwhile may differ.)
scrolled_by() {
    local by differ
    import -window "$1" "$work/now.png"
    for by in $scrolled $((scrolled - 1)) $((scrolled - 2)); do
        local part=$((WIDTH - 20))x$((HEIGHT - by))
        differ=$(compare -metric AE -fuzz 5% "$work/now.png[$part+0+0]" "$2[$part+0+$by]" null: 2>&1 || true)
        [ "${differ%% *}" -le 100 ] 2>/dev/null && { scrolled=$by; return 0; }
    done
    return 1
}
ended_well() {  # ended_well PID: the program ended after Exit, with status 0
    local status=0
    waited eval '! kill -0 "$1" 2>/dev/null' || fail "Exit did not end the program"
    wait "$1" || status=$?
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}
# story_by_clicks wheel|drag [FRAME]: a whole story made by clicks and typing,
# from the genre window to the main window, into $HOME/Documents/Wrenfield;
# the speeches window is scrolled to its end by the wheel over a box or by
# dragging its scroll bar. FRAME as for on_screen; with frames, the speeches
# are left empty and the bytes unchecked, as the first story checked them.
story_by_clicks() {
    local genre p1 p2 ms page box=0 frame_top top X Y WIDTH HEIGHT
    genre=$(wait_for Talemoss); on_screen "$genre" 341 202 ${2:-}
    click "$genre" 0 0 120 720 1095 375            # Comedy
    click "$genre" 0 0 0 3120 2415 615             # Ok
    p1=$(wait_for "Player 1"); on_screen "$p1" 16 279 ${2:-}
    picnic_players "$p1"                           # then Player 2's choices and its title box
    on_screen "$p2" 566 266 ${2:-}
    xdotool type --delay 20 'Tea&Cake'
    click "$p2" 0 0 1920 5160 1695 615             # Ok
    ms=$(wait_for Wrenfield); on_screen "$ms" 291 74 ${2:-}
    for frame_top in 0 2280 4560 6840; do          # the upper box, then the lower, of each frame
        for top in 720 1440; do
            [ -z "${2:-}" ] || break 2
            click "$ms" 0 "$frame_top" 240 "$top" 4455 375
            xdotool type --delay 20 "Speech $((box += 1))."
        done
    done
    # Taller than the screen: the window shows what fits and scrolls the
    # rest, here to its end, which brings "Click When Done" into view.
    geometry "$ms"
    import -window "$ms" "$work/unscrolled.png"
    if [ "$1" = wheel ]; then
        xdotool mousemove --sync $((X + 100)) $((Y + 250)) click --repeat 3 --delay 50 5
    else
        xdotool mousemove --sync $((X + WIDTH - 5)) $((Y + HEIGHT / 2)) mousedown 1 \
            mousemove --sync $((X + WIDTH - 5)) $((Y + HEIGHT / 2 + 40)) \
            mousemove --sync $((X + WIDTH - 5)) $((Y + HEIGHT - 1)) mouseup 1
    fi
    scrolled=$((632 - HEIGHT))
    waited scrolled_by "$ms" "$work/unscrolled.png" || fail "the speeches window did not scroll to its end"
    click "$ms" 0 0 1200 8760 1935 495             # Click When Done
    scrolled=0
    page=$(wait_for Form1); on_screen "$page" 191 125 ${2:-}
    click "$page" 0 0 240 600 3615 405             # the full title
    xdotool type --delay 20 'Tea and Cake'
    click "$page" 0 0 240 1320 3615 375            # the name
    xdotool type --delay 20 'Ann'
    click "$page" 0 0 1080 1920 1935 375           # DONE!
    story_made "$HOME/Documents/Wrenfield/CFSSOOMNTea&Cake.txt"
    on_screen "$main" 191 305 ${2:-}
    [ -n "${2:-}" ] || story_bytes
}

# text_answers_then_keys: every text box answers AT-SPI's text calls at
# every offset, in characters and in agreement with its text
# (atspi_text.py); then, from the main window, the program still answers the
# keyboard: Return on "About the creator" shows the about window, Return on
# its "Back" the main window again (each has the focus, clicked last time).
text_answers_then_keys() {
    /usr/bin/python3 "$here/atspi_text.py" Wrenfield >"$work/text" 2>&1 || fail "$(cat "$work/text")"
    xdotool windowfocus --sync "$main" key Return
    local about
    about=$(wait_for "About Me")
    xdotool windowfocus --sync "$about" key Return
    main=$(wait_for Form2)
    wait_gone "About Me"
}
# about_keeps_its_place: the about window, placed by the window manager,
# then moved, hidden and shown again, comes back where it was moved to.
about_keeps_its_place() {
    local about X Y WIDTH HEIGHT moved
    click "$main" 0 0 1200 3240 2895 735           # About the creator
    about=$(wait_for "About Me")
    xdotool windowmove --sync "$about" 37 53
    geometry "$about"; moved="$X,$Y"
    click "$about" 0 0 5760 1800 1455 735          # Back
    main=$(wait_for Form2)
    click "$main" 0 0 1200 3240 2895 735           # About the creator
    about=$(wait_for "About Me")
    waited eval 'geometry "$about"; [ "$X,$Y" = "$moved" ]' \
        || fail "the about window came back at $X,$Y, not at $moved where it was moved to"
}

# --- Without a window manager: clicks, notification, icon, screen reader --
background /usr/libexec/at-spi-bus-launcher --launch-immediately
accessibility_bus=$last
background /usr/bin/python3 "$here/fake_desktop_services.py" "$work/calls" open show-in-folder
services=$last
waited grep -q '^ready' "$work/calls" 2>/dev/null || fail "the stand-in services did not start"
mkdir -p "$work/bin"
printf '#!/bin/sh\nprintf "xdg-open\\t%%s\\n" "$1" >>"%s"\n' "$work/calls" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export HOME="$work/home"
mkdir -p "$HOME/Documents/Wrenfield"
PATH="$work/bin:$PATH" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program" >"$work/out.log" 2>&1 &
app_pid=$!
pids+=($app_pid)

story_by_clicks wheel

# One notification, the path escaped for a service that reads markup; then
# "Open" opens the file and "Show in folder" asks the file manager.
uri="file://$HOME/Documents/Wrenfield/CFSSOOMNTea&Cake.txt"
waited grep -q '^ShowItems' "$work/calls" || fail "no ShowItems call: $(cat "$work/calls")"
printf '%s\n' ready \
    "$(printf 'Notify\tWrenfield\torg.wrenfield.Wrenfield\tStory saved\t~/Documents/Wrenfield/CFSSOOMNTea&amp;Cake.txt\topen,Open,show-in-folder,Show in folder')" \
    "$(printf 'xdg-open\t%s' "$uri")" "$(printf 'ShowItems\t%s' "$uri")" | diff - "$work/calls" \
    || fail "the notification and its actions differ"

xprop -id "$main" _NET_WM_ICON >"$work/icon"
grep -q 'Icon (32 x 32)' "$work/icon" || fail "the main window has no icon"

# What screen readers are told, once every window exists: each window a
# frame with its caption, no nameless filler; the picture described; the
# hidden label and the story field not there. (The story through AT-SPI below
# finds every box by its prompt and every button and option by its caption.)
click "$main" 0 0 1200 3240 2895 735           # About the creator
about=$(wait_for "About Me"); on_screen "$about" 0 0
click "$about" 0 0 5760 1800 1455 735          # Back
main=$(wait_for Form2)
/usr/bin/python3 "$here/atspi_tree.py" Wrenfield 7 >"$work/raw"
sed 's/^ *//' "$work/raw" >"$work/tree"
for node in "frame|Talemoss" "frame|Player 1" "frame|Player 2" "frame|Wrenfield" "frame|Form1" "frame|Form2" \
    "frame|About Me" "list|Type of Story" "panel|First Speeches" "image|A book and a quill" "text|How to contact the creator"; do
    grep -qxF "$node" "$work/tree" || fail "no '$node' in the accessibility tree: $(cat "$work/tree")"
done
[ "$(grep -c '^text|' "$work/tree")" -eq 12 ] || fail "text boxes other than the twelve named ones are exposed"
[ "$(grep -cx 'label|First Speaker' "$work/tree")" -eq 4 ] || fail "the hidden label is exposed"
[ "$(grep -c '^  [^ ]' "$work/raw")" -eq 7 ] && [ "$(grep -c '^  frame|' "$work/raw")" -eq 7 ] \
    || fail "a window is not a frame: $(grep '^  [^ ]' "$work/raw")"
! grep -qx 'label|' "$work/tree" || fail "an empty label is exposed"
# Every option sits in a list named by its frame (said once, on entering it),
# and no box's name says its frame and label over again.
awk '{ depth = match($0, /[^ ]/); parent[depth] = substr($0, depth) }
     /radio button\|/ && parent[depth - 2] !~ /^list\|./ { print; bad = 1 } END { exit bad }' "$work/raw" \
    || fail "an option outside a named list"
! grep -q '^text|.*Speeches' "$work/tree" || fail "a speech box's name repeats its frame and label"
text_answers_then_keys
click "$main" 0 0 0 3960 2895 735              # Exit
ended_well "$app_pid"

# --- Native Wayland: headless weston, no X display, a story through AT-SPI --
export HOME="$work/home-wayland" WAYLAND_DISPLAY=wayland-wrenfield
mkdir -p "$HOME/Documents/Wrenfield"
background weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 --no-config
waited test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || fail "weston did not start"
env -u DISPLAY QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program" >"$work/out.log" 2>&1 &
app_pid=$!
pids+=($app_pid)
/usr/bin/python3 "$here/atspi_story.py" || fail "the story could not be made through AT-SPI on Wayland"
story_bytes
ended_well "$app_pid"
unset WAYLAND_DISPLAY

# --- Openbox's frames, no notification service: by keyboard ---------------
kill "$accessibility_bus" "$services"
background openbox
waited eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || fail "openbox did not start"
export HOME="$work/home2"
mkdir -p "$HOME/Documents/Wrenfield"
"$program" >"$work/out.log" 2>&1 &
pids+=($!)
genre=$(wait_for Talemoss)
waited eval 'xprop -id "$genre" _NET_FRAME_EXTENTS | grep -q =' || fail "openbox gave the window no frame"
story_by_clicks drag framed
about_keeps_its_place
echo "end-to-end desktop: placement and scrolling at 800 x 600 with and without frames, a story by clicks," \
    "the notification and its actions, the icon, the accessibility tree, every text box's AT-SPI answers," \
    "keys after them, the about window's place, a story on Wayland: all passed"
