#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# Makes a story with the real program on a private X server, driving it only
# as a person would: mouse clicks at the places the windows' layout tables
# give, typing, pasting from another program, Tab and Alt+O, and the close
# button a window manager would offer. Checks that a closed window with an
# unsaved speech asks first and keeps it, and the saved bytes. (The speeches
# typed box by box in Tab order, and Exit: e2e_draft.sh and e2e_desktop.sh; a
# save refused because the name is taken, then retried: tst_writingwindows.)
#
# usage: e2e_story.sh PATH/TO/wrenfield
set -euo pipefail

program=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/x11_session.sh"

# A private X server, and a private home with its story folder.
start_x 1280x1024x24
story_home

focus_on() { waited focused "$1" || fail "window $1 did not get the keyboard focus"; }

"$program" >"$work/out.log" 2>&1 &
app_pid=$!
pids+=("$app_pid")

genre=$(wait_for Talemoss)
click "$genre" 0 0 120 720 1095 375            # Comedy
key alt+o
p1=$(wait_for "Player 1"); wait_gone Talemoss
picnic_players "$p1"
type_text "Picnic"
key alt+o
ms=$(wait_for Wrenfield); wait_gone "Player 2"

# The first speech, where the focus starts, is pasted on two lines, which the
# box joins with a space; xclip serves the clipboard until it is killed, and
# the paste waits until it does.
printf 'Shall we eat\r\nhere?' >"$work/clip"
background xclip -quiet -selection clipboard -i "$work/clip"
waited eval 'xclip -selection clipboard -o 2>/dev/null | cmp -s - "$work/clip"' || fail "xclip did not serve the clipboard"
focus_on "$ms"
key ctrl+v

# Closing the window now would throw the speech away: it asks, and the
# default answer, Keep working, keeps everything as it was.
close_window "$ms"
waited showing Wrenfield 2 || fail "closing unsaved speeches did not ask"   # the question has the same title
focus_on "$(xdotool search --onlyvisible --name '^Wrenfield$' | grep -vx "$ms")"
key Return                                   # Keep working
waited showing Wrenfield 1
[ "$(visible Wrenfield)" = "$ms" ] || fail "the speeches window went away although Keep working was chosen"
click "$ms" 0 0 1200 8760 1935 495             # Click When Done
page=$(wait_for Form1); wait_gone Wrenfield
focus_on "$page"
type_text "A Day Out"; key Tab
type_text "Ann Author"

story="$root/CFSSOOMNPicnic.txt"
click "$page" 0 0 1080 1920 1935 375           # DONE!
main=$(wait_for Form2); wait_gone Form1

[ ! -e "$root/program files/temp.txt" ] || fail "the staging file was not consumed"
printf 'Earlier notes A Day Out\r\n Ann Author\r\n\r\nShall we eat here?\r\n \r\n\r\n\r\n \r\n\r\n\r\n \r\n\r\n\r\n \r\n' \
    | cmp - "$story" || fail "the story file's bytes differ"
echo "end-to-end: a story, a closed window that kept it: all passed"
