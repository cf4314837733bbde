#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# The draft with the real program on a private X server: a story written in
# five runs, killed with SIGKILL at several moments and continued at each
# start, saves the bytes of one written at once; what leaves no draft; two
# copies at once; the session's end in every state, and a checkpoint.
#
# usage: e2e_draft.sh PATH/TO/wrenfield [PATH/TO/wrenfield_sessionmanager]
set -euo pipefail

program=$1
session_manager=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/x11_session.sh"

start_x 1280x1024x24
story_home
export XDG_STATE_HOME=            # empty: the home's own state folder
state="$HOME/.local/state/wrenfield"
drafts() { find "$state" -maxdepth 1 -name 'draft*' ! -name '*.set-aside-*' 2>/dev/null | wc -l; }
has_draft() { [ "$(drafts)" -ge "${1:-1}" ]; }

start() { launch "$@" "$program"; }
killed() { kill -KILL "$app_pid"; wait "$app_pid" 2>/dev/null || true; }
snapshot() { cp "$state/draft" "$work/before" 2>/dev/null || : >"$work/before"; }
# holds TEXT: whether the draft holds that text; draft_holds TEXT WHEN: waits for it.
holds() { python3 -c 'import sys; sys.exit(sys.argv[2].encode("utf-16-le") not in open(sys.argv[1], "rb").read())' "$state/draft" "$1" 2>/dev/null; }
draft_holds() { waited holds "$1" || fail "the draft did not keep \"$1\" $2"; }
draft_changed() { waited eval '[ -s "$state/draft" ] && ! cmp -s "$state/draft" "$work/before"' || fail "no draft was written $1"; }
# keyboard TITLE WHAT: the window once it takes keys; the question so; starting
# (by `start` or COMMAND...) and answering Continue (Return); Player 2's title box.
keyboard() { local id; id=$(wait_for "$1"); waited focused "$id" || fail "$2 did not take the keyboard"; echo "$id"; }
question() { keyboard Wrenfield "the question"; }
continued() { "${@:-start}"; question >/dev/null; key Return; }
title_box() { p2=$(wait_for "Player 2"); click "$p2" 0 0 0 5160 1815 615; }
done_button() { page=$(wait_for Form1); click "$page" 0 0 1080 1920 1935 375; }   # DONE! on the story page

# Run 1: nothing until the first change; the move to Player 1 writes the
# draft at once; killed between windows.
start
genre=$(keyboard Talemoss "the genre window")
[ ! -e "$state" ] || fail "a draft folder was made before any change"
click "$genre" 0 0 120 720 1095 375            # Comedy
snapshot; key alt+o
p1=$(wait_for "Player 1")
draft_changed "on the move to Player 1"
killed
[ ! -s "$work/out.log" ] || fail "a plain first start said something"

# Run 2: Player 1 is back; its choices and Player 2's, the title word typed
# and written within two seconds; killed on the Player 2 window.
continued; picnic_players "$(wait_for "Player 1")"
type_text "Picnic"
draft_holds Picnic "after typing the title word"
killed

# Run 3: the speeches, killed in the middle of typing the fifth. The first
# is pasted from another program on two lines, which the box joins with a
# space; xclip serves the clipboard until it is killed at exit.
printf 'Shall we eat\r\nhere?' >"$work/clip"
background xclip -quiet -selection clipboard -i "$work/clip"
waited eval 'xclip -selection clipboard -o 2>/dev/null | cmp -s - "$work/clip"' || fail "xclip did not serve the clipboard"
continued; wait_for "Player 2" >/dev/null; key alt+o
ms=$(keyboard Wrenfield "the speeches window"); wait_gone "Player 2"
key ctrl+v;                        key Tab   # Text1: Speech1
type_text "Is it going to rain?";  key Tab   # Text3: Speech3
type_text "Not today.";            key Tab   # Text4: Speech4
type_text "Then pass the bread.";  key Tab   # Text5: Speech6
type_text "Ants!"; draft_holds "Ants!" "while typing the speeches"
type_text " And more"                         # not yet written: lost with the kill
killed

# Run 4: the speeches window with the focus in its first box again; the
# rest of the speeches, the story page, killed there.
continued; ms=$(wait_for Wrenfield)
key Tab Tab Tab Tab Tab                       # past Text6, which holds "Ants!"
type_text "Under the oak tree.";   key Tab   # Text2: Speech2
type_text "Home, then.";           key Tab   # Text7: Speech8
type_text "We could run.";         key Tab   # Text8: Speech7
click "$ms" 0 0 1200 8760 1935 495             # Click When Done
page=$(wait_for Form1); wait_gone Wrenfield
type_text "A Day Out"; key Tab
type_text "Ann Author"; draft_holds "Ann Author" "on the story page"
killed
cp "$state/draft" "$work/page-draft"           # for the saved story's draft, below

# Run 5: DONE! saves the bytes a story written at once would have, and the
# draft goes; the about window's text and Exit leave none either.
continued; done_button
main=$(wait_for Form2)
picnic_story | cmp - "$root/CFSSOOMNPicnic.txt" || fail "the continued story's bytes differ from one written at once"
waited eval '! has_draft' || fail "a draft is left after the story was saved"
to_about
type_text "changed"; draft_holds changed "on the about window"
killed

# Run 6: the about window comes back with its text, unasked (the story is
# saved); Back and Exit leave no draft.
start
about=$(wait_for "About Me")
showing Wrenfield 0 || fail "the saved story was offered back"
holds changed || fail "the about window's text was not kept"
to_main
click "$main" 0 0 0 3960 2895 735              # Exit
ended_well "$app_pid" "after Exit"
! has_draft || fail "a draft is left after Exit"

# The story page's draft of the story saved in run 5, as a kill just after
# DONE! could leave it: never offered; the start says where the story is
# (OK is the default) and the draft goes.
cp "$work/page-draft" "$state/draft"
start
keyboard Wrenfield "the notice" >/dev/null; key Return
wait_for Talemoss >/dev/null
showing Form1 0 || fail "the saved story was offered back"
! has_draft || fail "the saved story's draft was left"
killed

# Two copies: the second neither offers the first's draft nor writes over
# it; killed, the next start offers both, newest first, and Discard removes each.
start; first=$app_pid
genre=$(wait_for Talemoss)
click "$genre" 0 0 120 1920 1215 495           # Horror
key alt+o; wait_for "Player 1" >/dev/null
waited has_draft || fail "the first copy wrote no draft"
start; second=$app_pid
genre2=$(wait_for Talemoss)                    # the second copy's
showing Wrenfield 0 || fail "the second copy offered the first copy's draft"
click "$genre2" 0 0 120 240 1215 495           # Adventure
key alt+o
waited has_draft 2 || fail "the second copy did not keep a draft of its own"
kill -KILL "$first" "$second"; wait "$first" "$second" 2>/dev/null || true
start
first_question=$(question); key alt+d          # Discard the newest
other() { [ -n "$(visible Wrenfield)" ] && [ "$(visible Wrenfield)" != "$first_question" ]; }
waited other || fail "the older draft was not offered"
waited focused "$(visible Wrenfield)" || fail "the second question did not take the keyboard"
key alt+d
wait_for Talemoss >/dev/null
! has_draft || fail "Discard left a draft"
killed

# The session ends through the stand-in session manager: a logout (SIGUSR1:
# "save yourself", then "die") or a checkpoint (SIGUSR2). The program is
# started under it, optionally under COMMAND.
session_start() {
    rm -f "$work/session"
    background "$session_manager" "$work/session"; manager=$last
    waited test -s "$work/session" || fail "the session manager did not start"
    export SESSION_MANAGER; SESSION_MANAGER=$(cat "$work/session")
    start "$@"
    unset SESSION_MANAGER
}
now() { date +%s.%N; }
# logout LIMIT: the session ends; the session manager must see the program
# gone within LIMIT seconds of its request (the time in $took, the moment
# in $gone), and the program end with status 0.
logout() {
    local begin; begin=$(now)
    kill -USR1 "$manager"
    waited eval '! kill -0 "$manager" 2>/dev/null' || fail "the session manager still waits for the program"
    gone=$(now); took=$(awk "BEGIN { print $gone - $begin }")
    wait "$manager" || fail "the session manager did not see the program save"
    awk "BEGIN { exit !($took < $1) }" || fail "the session manager waited $took s for the program to end"
    ended_well "$app_pid" "at the session's end"
}

if [ -n "$session_manager" ]; then
    # A logout moments after typing, before any timed write: only the
    # session's end can have written the draft when the program is gone
    # within the write delay of the first key (tried again when slower).
    for attempt in 1 2 3 4 5; do
        session_start; wait_for Talemoss >/dev/null
        key alt+o; p1=$(wait_for "Player 1"); click "$p1" 0 0 1920 5280 1695 615   # Ok
        title_box
        first_key=$(now); type_text "Tea"
        logout 5
        holds Tea || fail "the draft lacks what was typed before the session ended"
        awk "BEGIN { exit !($gone - $first_key < 1.0) }" && break
        [ "$attempt" -lt 5 ] || fail "the machine was too slow to tell the session's write from a timed one"
        rm -f "$state"/draft*
    done

    # "die" while the start-up question is open: nothing chosen, the draft as it was.
    snapshot; session_start; question >/dev/null
    logout 2
    cmp -s "$state/draft" "$work/before" || fail "the session's end changed the draft behind the question"

    # "die" while the close question is open: not answered; the draft keeps what was typed.
    continued session_start; title_box; key t    # after "Tea"
    close_window "$p2"
    waited showing Wrenfield || fail "closing did not ask before discarding"
    logout 2
    holds Teat || fail "the draft lacks what was typed before the close question"

    # A checkpoint writes the draft and changes nothing: a close still asks.
    continued session_start; title_box; key i
    answers=$(grep -c "the client saved" "$work/background.log" || true)
    kill -USR2 "$manager"
    waited eval '[ "$(grep -c "the client saved" "$work/background.log")" -gt "$answers" ]' \
        || fail "the checkpoint was not answered"
    draft_holds Teati "at the checkpoint"
    key m
    close_window "$p2"
    wait_for Wrenfield >/dev/null
    kill -0 "$app_pid" 2>/dev/null || fail "a close after a checkpoint ended the program without asking"
    key Escape                                 # Keep working
    wait_gone Wrenfield
    draft_holds Teatim "after the checkpoint"
    logout 2

    # "die" while the draft writer's syncs take five seconds: the program
    # neither waits for them in its windows nor past the session's end.
    continued session_start strace -f -qq -o /dev/null -e trace=fdatasync -e inject=fdatasync:delay_enter=5000000
    title_box
    waited test -e "$state/draft.new" || fail "no draft write began"   # and is held up in its sync
    key e
    logout 3

    # The story page's draft again, its story not yet saved: DONE! while
    # another program of the user's holds the save's lock, then the session
    # ends, SIGTERM comes, or the page is closed and Quit chosen while
    # "Saving..." shows. The program ends at once with status 0; the draft,
    # marked with its save, is offered at the next start, which saves it.
    mv "$root/CFSSOOMNPicnic.txt" "$work/saved-picnic"
    printf 'Earlier notes' >"$root/program files/temp.txt"
    background flock -o "$root/.wrenfield-unfinished-save.lock" sleep 120; holder=$last
    waited eval 'grep -q " $holder " /proc/locks' || fail "the lock was not taken"
    marked() { grep -aq '^save [1-9]' "$state/draft" 2>/dev/null; }   # handed to the save
    held_save() {
        cp "$work/page-draft" "$state/draft"
        continued "$@"; done_button
        waited marked || fail "DONE! did not hand the story to the save"
    }
    held_save session_start
    logout 1
    held_save start
    kill -TERM "$app_pid"; ended_well "$app_pid" "at SIGTERM during a save"
    held_save start
    close_window "$page"
    wait_for Wrenfield >/dev/null; key alt+q; ended_well "$app_pid" "at Quit during a save"
    [ ! -e "$root/CFSSOOMNPicnic.txt" ] || fail "a save waiting for the lock went on after the end"
    kill "$holder"
    continued; done_button
    wait_for Form2 >/dev/null
    picnic_story | cmp - "$root/CFSSOOMNPicnic.txt" || fail "the story left by the held save was not saved"
    waited eval '! has_draft' || fail "a draft is left after the held save's story was saved"
    killed

    # The same while the disk takes five seconds to sync the story: the end
    # does not wait for it, and the next start finds the story whole.
    rm "$root/CFSSOOMNPicnic.txt"
    printf 'Earlier notes' >"$root/program files/temp.txt"
    held_save session_start strace -f -qq -o /dev/null -P "$root/CFSSOOMNPicnic.txt" -e trace=fdatasync \
        -e inject=fdatasync:delay_enter=5000000
    waited eval 'picnic_story | cmp -s - "$root/CFSSOOMNPicnic.txt"' || fail "the story was not written"
    logout 1
    start; keyboard Wrenfield "the notice" >/dev/null; key Return   # the story is saved: OK
    wait_for Talemoss >/dev/null
    ! has_draft || fail "the slowly synced story's draft was left"
    killed
fi

echo "end-to-end drafts: all passed"
