#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# A whole story made by keyboard alone with the Orca screen reader running,
# on a private X server and session bus, Orca's speech read from its debug
# log (no sound device needed). Down reaches every genre and comes round,
# Up goes back, the genre group's name is said once, not at each move, and
# where-am-I gives an option's place (Orca 48; Qt 6.4 cannot). Drafts made
# impossible to keep, the message that says so is spoken as it comes up,
# F6 reaches it and Escape leaves it. Orca moves by word in the title box,
# which must not hang the program, and says the word passed over; it reads
# every speech box whole, once, as the focus comes back to it, one with
# emoji among them, and says each box's label once; entering a frame, it
# says the frame's name once. A save waits for a lock the test holds:
# "Saving…", then the story saved as its file; where-am-I names no key.
#
# usage: WRENFIELD_ORCA=1 e2e_orca.sh PATH/TO/wrenfield
set -euo pipefail

# Opt-in: it waits on another program's speech for a minute or two, and what
# Orca says changes with Orca's release; run it on each release whenever what
# screen readers are told changes.
if [ "${WRENFIELD_ORCA:-}" != 1 ]; then
    echo "skipped: set WRENFIELD_ORCA=1 to run it"
    exit 77
fi

if [ -z "${WRENFIELD_PRIVATE_BUS:-}" ]; then
    exec env WRENFIELD_PRIVATE_BUS=1 dbus-run-session -- "$0" "$@" 2>&1
fi
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/x11_session.sh"

start_x 1280x1024x24
export HOME="$work/home"
mkdir -p "$HOME/Documents/Wrenfield"
background /usr/libexec/at-spi-bus-launcher --launch-immediately
launch env QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program"
# Orca starts its work once a program is on the accessibility bus; with no
# speech server or sound device, what it says still goes to its log. The log
# goes to a terminal, which Orca's Python flushes at every line: a plain file
# would keep a spoken line in a buffer for as long as Orca then waits for a key.
# Orca will not start while another of this user's runs, such as the one of
# a run of this test just ended, still going down; ours is ended at exit.
waited eval '! pgrep -u "$(id -u)" -x orca >/dev/null' || fail "another Orca of this user is running"
background script -qfc "exec orca --disable braille --debug-file /dev/stdout" "$work/orca.log"
waited eval 'orca=$(pgrep -P "$last")' && pids+=("$orca") || fail "Orca did not start"
spoken() { sed -n "s/.*SPEECH OUTPUT: '\(.*\)' \?{.*/\1/p" "$work/orca.log" 2>/dev/null; }
# heard GREP-ARGS...: Orca says a line that matches, within 30 seconds (it
# lags behind on a busy machine).
heard() {
    local match=("$@")
    waited saying || waited saying || waited saying || fail "Orca did not say ${*: -1}: $(spoken | tail)"
}
saying() { spoken | grep -q "${match[@]}"; }
# said LINE: that whole line; a box's text may come with its selection in
# one line, as Orca 48 says it.
said() { heard -xF -e "$1" -e "$1 selected."; }
# times COUNT PATTERN: Orca has said COUNT lines that start with PATTERN.
times() { [ "$(spoken | grep -c -- "^$2")" -ge "$1" ]; }
# settled: Orca's log has not grown for half a second. A key pressed while it
# is busy with the last can cross its hand-over with the program's, and both
# then wait out a D-Bus timeout.
settled() {
    local size last=-1
    for _ in $(seq 200); do
        size=$(stat -c %s "$work/orca.log") && [ "$size" = "$last" ] && return 0
        last=$size && sleep 0.5
    done
    fail "Orca never went quiet"
}
key() { for k in "$@"; do settled; xdotool key "$k"; done; }
typed() { settled; xdotool type --delay 120 "$1"; }
speeches=("a😀b cd 😀 ef" "Speech two" "Speech three" "Speech four" "Speech five" "Speech six" "Speech seven" "Speech eight")
genres=(Adventure Comedy Family Golf Horror Life Mystery Pets Romance Scifi "Misc.")

# Each window is used once Orca has said so, as a person would wait to hear it.
said "Screen reader on."
wait_for Talemoss >/dev/null; heard "^Talemoss frame"
# Down through every genre, each column top to bottom, round to the first
# and Up back again; the group's name is said once, on entering it.
for genre in "${genres[@]:1}" Adventure; do key Down; heard "^$genre"; done
for genre in "${genres[@]}"; do key Up; done
for genre in "${genres[@]}"; do waited times 2 "$genre" || waited times 2 "$genre" || fail "Up missed $genre"; done
group=$(spoken | grep -c "Type of Story" || true)
echo "the genre group's name said $group time(s) over 22 arrow moves"
[ "$group" = 1 ] || fail "Orca said the group's name $group times: $(spoken | grep "Type of Story")"
key Down Down KP_Enter                         # where am I, on Family
[ "$(orca --version 2>/dev/null | grep -o '[0-9]\+' | head -n1)" -lt 48 ] || heard -x "3 of 11"
rm -r "$HOME/.local/state/wrenfield"; : >"$HOME/.local/state/wrenfield"  # no folder for drafts now
key space alt+o                                # Family, Ok
wait_for "Player 1" >/dev/null; heard "^Player 1 frame"
heard "^Could not keep a draft of the story"   # as the message comes up over the window
key F6; heard "^OK \(push \)\?button"; key KP_Enter Escape
waited times 2 Male || waited times 2 Male || fail "the keyboard is not back on Male: $(spoken | tail)"
[ "$(spoken | grep -c "^Could not keep a draft")" -ge 2 ] || fail "Orca did not read the message reached by F6"
gender=$(spoken | grep -c "^Gender")           # Player 1's, as it came up and came back
key space alt+o
wait_for "Player 2" >/dev/null; heard "^Player 2 frame"
waited times $((gender + 1)) Gender || waited times $((gender + 1)) Gender || fail "Orca did not name the Gender frame"
key shift+Tab                                  # from the first option back round to the title box
heard "^Enter one word title here"
! times $((gender + 2)) Gender || fail "Orca said a frame's name twice: $(spoken | grep '^Gender')"
typed "Tea time"; settled
xdotool keydown ctrl key Left; said "time"    # by word, Control held down as a person does
xdotool key Left; said "Tea"
xdotool key Right keyup ctrl
key End alt+o
wait_for Wrenfield >/dev/null; heard "^Wrenfield frame"
for speech in "${speeches[@]}"; do typed "$speech"; key Tab; done  # then on the button
for speech in "${speeches[@]}"; do key shift+Tab; done             # back over every box
for speech in "${speeches[@]}"; do said "$speech"; done            # each read whole, once
for speech in "${speeches[@]}"; do
    [ "$(spoken | grep -cxF -e "$speech" -e "$speech selected.")" = 1 ] \
        || fail "Orca read '$speech' more than once: $(spoken | grep -F "$speech")"
done
! spoken | grep 'Speaker.*Speaker' || fail "Orca said a box's label twice"
for speech in "${speeches[@]}"; do key Tab; done
key Return                                     # Click When Done
wait_for Form1 >/dev/null; heard "^Form1 frame"
typed "Tea and Cake"; key Tab
typed "Ann"; key Tab KP_Enter                  # where am I, on DONE!
lock="$HOME/Documents/Wrenfield/.wrenfield-unfinished-save.lock"
install -m 600 /dev/null "$lock"; exec 8>>"$lock"; flock 8   # another copy's save, held
key Return; heard -x "Saving…"
flock -u 8; exec 8>&-
wait_for Form2 >/dev/null; heard -x "Story saved as FMTea time.txt."
key KP_Enter; heard -x "Make Story \(push \)\?button\.\?"
! spoken | grep -x "[a-z]\." || fail "Orca named a key in where-am-I: $(spoken | grep -x "[a-z]\.")"
ls "$HOME/Documents/Wrenfield/FMTea time.txt" >/dev/null || fail "no story saved"
echo "end-to-end with Orca: a story by keyboard, every genre by arrows, its place, the message about drafts, words, speeches with emoji read whole and once, groups named once, Saving… and the saved story: all passed"
