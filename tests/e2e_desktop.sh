#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# The real program on a small screen (800 x 600) and a private session bus,
# in three parts, each headed below: without a window manager; on native
# Wayland, where no program can fake another's input, so through AT-SPI
# alone; under openbox's frames.
#
# usage: e2e_desktop.sh PATH/TO/wrenfield
set -euo pipefail

if [ -z "${WRENFIELD_PRIVATE_BUS:-}" ]; then
    exec env WRENFIELD_PRIVATE_BUS=1 dbus-run-session -- "$0" "$@" 2>&1
fi

program=$(realpath "$1")
# Qt 6.8 announces what happens; Qt 6.4 cannot, and describes windows instead.
announces=$([ "$(printf '%s\n' 6.8 "${2:?the Qt version}" | sort -V | head -n1)" = 6.8 ] && echo 1 || true)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/x11_session.sh"

start_x 800x600x24

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
    type_text 'Tea&Cake'
    click "$p2" 0 0 1920 5160 1695 615             # Ok
    ms=$(wait_for Wrenfield); on_screen "$ms" 291 74 ${2:-}
    for frame_top in 0 2280 4560 6840; do          # the upper box, then the lower, of each frame
        for top in 720 1440; do
            [ -z "${2:-}" ] || break 2
            click "$ms" 0 "$frame_top" 240 "$top" 4455 375
            type_text "Speech $((box += 1))."
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
    type_text 'Tea and Cake'
    click "$page" 0 0 240 1320 3615 375            # the name
    type_text 'Ann'
    click "$page" 0 0 1080 1920 1935 375           # DONE!
    main=$(wait_for Form2); showing Form1 0 || fail "the story page is still shown"
    [ -f "$HOME/Documents/Wrenfield/CFSSOOMNTea&Cake.txt" ] || fail "no story file"
    on_screen "$main" 191 305 ${2:-}
    [ -n "${2:-}" ] || story_bytes
}

new_home() { export HOME="$work/$1"; mkdir -p "$work/$1/Documents/Wrenfield"; }

# --- Without a window manager, with the accessibility bus and a stand-in
# notification service and file manager: a story by clicks, the speeches
# window scrolled by the wheel; the notification and its actions, the icon,
# what screen readers get; then keys still obeyed.
background /usr/libexec/at-spi-bus-launcher --launch-immediately
accessibility_bus=$last
background /usr/bin/python3 "$here/fake_desktop_services.py" "$work/calls" open show-in-folder
services=$last
waited grep -q '^ready' "$work/calls" 2>/dev/null || fail "the stand-in services did not start"
mkdir -p "$work/bin"
printf '#!/bin/sh\nprintf "xdg-open\\t%%s\\n" "$1" >>"%s"\n' "$work/calls" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
new_home home
launch env PATH="$work/bin:$PATH" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program"

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
to_about; on_screen "$about" 0 0
to_main
/usr/bin/python3 "$here/atspi_tree.py" Wrenfield 7 >"$work/raw"
sed 's/^ *//' "$work/raw" >"$work/tree"
for node in "frame|Talemoss" "frame|Player 1" "frame|Player 2" "frame|Wrenfield" "frame|Form1" "frame|Form2" \
    "frame|About Me" "list|Type of Story" "image|A book and a quill" "text|How to contact the creator"; do
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
# Each option's place in the order the arrows go, where Qt can give it (6.8).
for place in "Family|3 of 11" "Misc.|11 of 11" "Shy|2 of 11" "Female|2 of 5"; do
    grep -qxF "radio button|$place" "$work/tree" || [ -z "$announces" ] || fail "no place '$place' for an option"
done
[ -n "$announces" ] || ! grep -q '^radio button|.*|' "$work/tree" || fail "a place where Qt 6.4 gives none"
# Every text box answers AT-SPI's text calls (atspi_text.py); then Return on
# the main window's and the about window's focused button (each clicked
# last time) shows the other.
/usr/bin/python3 "$here/atspi_text.py" Wrenfield >"$work/text" 2>&1 || fail "$(cat "$work/text")"
xdotool windowfocus --sync "$main" key Return
about=$(wait_for "About Me")
xdotool windowfocus --sync "$about" key Return
main=$(wait_for Form2); wait_gone "About Me"
click "$main" 0 0 0 3960 2895 735              # Exit
ended_well "$app_pid" "after Exit"

# --- What screen readers are told as things happen (atspi_told.py), drafts
# made impossible to keep once the program runs: the message that says so,
# heard as it comes up over Player 1 without the keyboard, F6 to it and
# back, Escape back to the option left; "DONE!" off and the keyboard on the
# page, heard as "Saving…", while the test holds the save's lock; the main
# window heard with the saved story.
new_home home-told; mkdir -p "$HOME/.local"
/usr/bin/python3 "$here/atspi_told.py" Wrenfield >"$work/told" 2>&1 & pids+=($!)
waited grep -qx ready "$work/told" || fail "atspi_told.py did not start: $(cat "$work/told")"
told_before=0   # lines of an earlier run
heard_since() { tail -n +$((told_before + 1)) "$work/told" | grep -qxE -- "$1"; }
told() { waited heard_since "$1" || fail "screen readers were not told '$1': $(cat "$work/told")"; }
launch env QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program"
wait_for Talemoss >/dev/null; told 'focus\|radio button\|Adventure\|Talemoss'
: >"$HOME/.local/state"                         # where the drafts' folder would be made
key space alt+o
p1=$(wait_for "Player 1"); waited showing Wrenfield || fail "no message that drafts cannot be kept"
told "showing\|$([ -n "$announces" ] && echo alert || echo notification)\|Wrenfield"
[ -z "$announces" ] || told 'announce\|Could not keep a draft of the story \(Not a directory\); typing goes on, .*'
focused "$p1" || fail "the message took the keyboard"
focus_told() { [ "$(grep -cxF "focus|$1" "$work/told")" -eq "$2" ]; }
for step in "F6 push button|OK|Wrenfield 1" "F6 radio button|Male|Player 1 2" "F6 push button|OK|Wrenfield 2" \
    "Escape radio button|Male|Player 1 3"; do
    key "${step%% *}"; to=${step#* }
    waited focus_told "${to% *}" "${to##* }" || fail "no focus on ${to% *} after ${step%% *}: $(tail -n3 "$work/told")"
done
wait_gone Wrenfield
key space alt+o; wait_for "Player 2" >/dev/null
key shift+Tab; type_text Tea; key alt+o
wait_for Wrenfield >/dev/null; key shift+Tab Return      # Click When Done
wait_for Form1 >/dev/null; type_text 'Tea and Cake'; key Tab; type_text Ann; key Tab
lock="$HOME/Documents/Wrenfield/.wrenfield-unfinished-save.lock"
install -m 600 /dev/null "$lock"; exec 8>>"$lock"; flock 8   # another copy's save, held
key Return
told 'enabled\|push button\|0'; told 'named\|push button\|Saving…'
told 'focus\|frame\|Form1\|Form1'
told "$([ -n "$announces" ] && echo 'announce\|Saving…' || echo 'described\|frame\|Form1\|Saving…')"
flock -u 8; exec 8>&-
main=$(wait_for Form2)
told "$([ -n "$announces" ] && echo 'announce' || echo 'described\|frame\|Form2')\|Story saved as AMTea\.txt\."
click "$main" 0 0 0 3960 2895 735              # Exit
ended_well "$app_pid" "after Exit, having told screen readers"
# Started so, the program says so before any window has the keyboard, and
# is heard once the first has it, when a screen reader listens to it.
told_before=$(wc -l <"$work/told")
launch env QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program"
genre=$(wait_for Talemoss); waited showing Wrenfield || fail "no message at start that drafts cannot be kept"
told "$([ -n "$announces" ] && echo 'announce\|Drafts of the story are not kept in .*' || echo 'showing\|notification\|Wrenfield')"
close_window "$genre"
ended_well "$app_pid" "closed at start"

# --- Native Wayland: headless weston, no X display, a story through AT-SPI --
new_home home-wayland; export WAYLAND_DISPLAY=wayland-wrenfield
background weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 --no-config
waited test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || fail "weston did not start"
# Whole stacks at each allocation under the sanitizers (see lsan.supp).
launch env -u DISPLAY ASAN_OPTIONS="${ASAN_OPTIONS:-}:fast_unwind_on_malloc=0" \
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program"
/usr/bin/python3 "$here/atspi_story.py" || fail "the story could not be made through AT-SPI on Wayland"
story_bytes
ended_well "$app_pid" "after Exit on Wayland"
unset WAYLAND_DISPLAY

# --- Openbox's frames, no notification service: every window by clicks again
# (the speeches left empty) with its frame on screen, the speeches window
# scrolled by dragging its bar; the about window, moved, keeps its place.
kill "$accessibility_bus" "$services"
background openbox
waited eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || fail "openbox did not start"
new_home home2
launch "$program"
genre=$(wait_for Talemoss)
waited eval 'xprop -id "$genre" _NET_FRAME_EXTENTS | grep -q =' || fail "openbox gave the window no frame"
story_by_clicks drag framed
to_about
xdotool windowmove --sync "$about" 37 53
geometry "$about"; moved="$X,$Y"
to_main; to_about
waited eval 'geometry "$about"; [ "$X,$Y" = "$moved" ]' \
    || fail "the about window came back at $X,$Y, not at $moved where it was moved to"
echo "end-to-end desktop: every part passed"
