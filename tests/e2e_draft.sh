#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# The draft with the real program on a private X server: a story written in
# five runs, killed with SIGKILL between windows, on a window, in the middle
# of typing and on the story page, and continued at each start, saves the
# bytes of one written at once. No draft before the first change; Discard, a
# saved story and Exit leave none; a second copy neither offers nor
# overwrites a running one's draft, and the next start offers both; at the
# session's end the program asks nothing, ends, and keeps what was typed.
#
# usage: e2e_draft.sh PATH/TO/wrenfield [PATH/TO/wrenfield_sessionmanager]
set -euo pipefail

program=$1
session_manager=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/x11_session.sh"

start_x 1280x1024x24
story_home
state="$HOME/.local/state/wrenfield"
drafts() { find "$state" -maxdepth 1 -name 'draft*' ! -name '*.set-aside-*' 2>/dev/null | wc -l; }
has_draft() { [ "$(drafts)" -ge "${1:-1}" ]; }

start() { "$program" >>"$work/out.log" 2>&1 & app_pid=$!; pids+=("$app_pid"); }
killed() { kill -KILL "$app_pid"; wait "$app_pid" 2>/dev/null || true; }
snapshot() { cp "$state/draft" "$work/before" 2>/dev/null || : >"$work/before"; }
draft_changed() { waited eval '[ -s "$state/draft" ] && ! cmp -s "$state/draft" "$work/before"' || fail "no draft was written $1"; }
# The question, once it takes keys; starting again and answering Continue
# (Return, the default).
question() { wait_for Wrenfield; sleep 0.3; }
continued() { start; question >/dev/null; key Return; }

# Run 1: nothing until the first change; the move to Player 1 writes the
# draft at once; killed between windows.
start
genre=$(wait_for Talemoss)
sleep 0.5
[ ! -e "$state" ] || fail "a draft folder was made before any change"
click "$genre" 0 0 120 720 1095 375            # Comedy
snapshot; key alt+o
p1=$(wait_for "Player 1")
draft_changed "on the move to Player 1"
killed

# Run 2: Player 1 is back; its choices and Player 2's, the title word typed
# and written within two seconds; killed on the Player 2 window.
continued
p1=$(wait_for "Player 1")
picnic_players "$p1"
snapshot; type_text "Picnic"
sleep 2; draft_changed "after typing the title word"
killed

# Run 3: the speeches, killed in the middle of typing the fifth.
continued
p2=$(wait_for "Player 2")
key alt+o
ms=$(wait_for Wrenfield); wait_gone "Player 2"
type_text "Shall we eat here?";    key Tab   # Text1: Speech1
type_text "Is it going to rain?";  key Tab   # Text3: Speech3
type_text "Not today.";            key Tab   # Text4: Speech4
type_text "Then pass the bread.";  key Tab   # Text5: Speech6
snapshot; type_text "Ants!"; sleep 2; draft_changed "while typing the speeches"
type_text " And more"                         # not yet written: lost with the kill
killed

# Run 4: the speeches window with the focus in its first box again; the
# rest of the speeches, the story page, killed there.
continued
ms=$(wait_for Wrenfield)
key Tab Tab Tab Tab Tab                       # past Text6, which holds "Ants!"
type_text "Under the oak tree.";   key Tab   # Text2: Speech2
type_text "Home, then.";           key Tab   # Text7: Speech8
type_text "We could run.";         key Tab   # Text8: Speech7
click "$ms" 0 0 1200 8760 1935 495             # Click When Done
page=$(wait_for Form1); wait_gone Wrenfield
type_text "A Day Out"; key Tab
snapshot; type_text "Ann Author"; sleep 2; draft_changed "on the story page"
killed

# Run 5: DONE! saves the bytes a story written at once would have, and the
# draft goes; the about window's text and Exit leave none either.
continued
page=$(wait_for Form1)
click "$page" 0 0 1080 1920 1935 375           # DONE!
main=$(wait_for Form2)
picnic_story | cmp - "$root/CFSSOOMNPicnic.txt" || fail "the continued story's bytes differ from one written at once"
! has_draft || fail "a draft is left after the story was saved"
click "$main" 0 0 1200 3240 2895 735           # About the creator
about=$(wait_for "About Me")
type_text "changed"; sleep 1.5
click "$about" 0 0 5760 1800 1455 735          # Back
main=$(wait_for Form2)
! has_draft || fail "the about window's text alone made a draft"
click "$main" 0 0 0 3960 2895 735              # Exit
waited eval '! kill -0 "$app_pid" 2>/dev/null' || fail "Exit did not end the program"
! has_draft || fail "a draft is left after Exit"

# Two copies: the second neither offers the first's draft nor writes over
# it; killed, the next start offers both, newest first, and Discard removes each.
start; first=$app_pid
genre=$(wait_for Talemoss)
click "$genre" 0 0 120 1920 1215 495           # Horror
key alt+o; wait_for "Player 1" >/dev/null
waited has_draft || fail "the first copy wrote no draft"
start; second=$app_pid
waited showing Talemoss || fail "the second copy did not start"
showing Wrenfield 0 || fail "the second copy offered the first copy's draft"
genre2=$(visible Talemoss)
click "$genre2" 0 0 120 240 1215 495           # Adventure
key alt+o
waited has_draft 2 || fail "the second copy did not keep a draft of its own"
kill -KILL "$first" "$second"; wait "$first" "$second" 2>/dev/null || true
start
first_question=$(question); key alt+d          # Discard the newest
other() { [ -n "$(visible Wrenfield)" ] && [ "$(visible Wrenfield)" != "$first_question" ]; }
waited other || fail "the older draft was not offered"
sleep 0.3; key alt+d
wait_for Talemoss >/dev/null
! has_draft || fail "Discard left a draft"
killed

# The session ends: a logout through the session manager, moments after
# typing, before any timed write.
if [ -n "$session_manager" ]; then
    background "$session_manager" "$work/session"; manager=$last
    waited test -s "$work/session" || fail "the session manager did not start"
    export SESSION_MANAGER; SESSION_MANAGER=$(cat "$work/session")
    start
    unset SESSION_MANAGER
    genre=$(wait_for Talemoss)
    key alt+o; p1=$(wait_for "Player 1")
    click "$p1" 0 0 1920 5280 1695 615         # Ok
    p2=$(wait_for "Player 2")
    click "$p2" 0 0 0 5160 1815 615            # the title box
    type_text "Teatime"; sleep 0.3            # typed, and a second yet to go before a timed write
    kill -USR1 "$manager"
    waited eval '! kill -0 "$app_pid" 2>/dev/null' || fail "the program did not end with the session"
    status=0; wait "$app_pid" || status=$?
    [ "$status" -eq 0 ] || fail "the program ended with status $status at the session's end"
    wait "$manager" || fail "the session manager did not see the program save"
    python3 -c 'import sys; sys.exit("Teatime".encode("utf-16-le") not in open(sys.argv[1], "rb").read())' \
        "$state/draft" || fail "the draft lacks what was typed before the session ended"
fi

echo "end-to-end drafts: four kills continued to the same bytes, Discard, Exit, two copies and the session end: all passed"
