#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# How long the windows stand still for a slow draft disk: the program runs
# under strace with every sync of its draft file held up DELAY seconds (the
# story's own syncs are not), on a private Xvfb display under the stand-in
# session manager. With a draft write in flight, it times, RUNS times each:
#
#   DONE!            the click to the main window shown
#   Exit             the click to the last window gone
#   Discard and quit the click to the last window gone
#   logout           the session manager's request to the program gone
#                    from the session
#
# and prints the median and the slowest of each.
#
#   bench/draft_stall.sh [BUILD_DIR] [DELAY] [RUNS]   (defaults: build/default, 3, 3)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
delay=${2:-3}
runs=${3:-3}
program=$build/app/wrenfield
session_manager=$build/tests/wrenfield_sessionmanager
for f in "$program" "$session_manager"; do
    [ -x "$f" ] || { echo "missing $f: build first (cmake --build $build)" >&2; exit 1; }
done
command -v strace >/dev/null || { echo "strace is needed" >&2; exit 1; }
source tests/x11_session.sh
start_x 1280x1024x24
story_home
state="$HOME/.local/state/wrenfield"
now() { date +%s.%N; }
since() { awk "BEGIN { print $(now) - $1 }"; }

# A run of the program under the session manager, its draft syncs held up.
run() {
    rm -rf "$state"; rm -f "$work/session"
    background "$session_manager" "$work/session"; manager=$last
    waited test -s "$work/session" || fail "the session manager did not start"
    mkdir -p "$state" && chmod 700 "$state"
    SESSION_MANAGER=$(cat "$work/session") \
        strace -f -qq -o /dev/null -P "$state/draft.new" -e trace=fdatasync \
        -e inject=fdatasync:delay_enter=$((delay * 1000000)) "$program" >>"$work/out.log" 2>&1 &
    app_pid=$!; pids+=("$app_pid")
    genre=$(wait_for Talemoss)
    click "$genre" 0 0 120 720 1095 375        # Comedy
    key alt+o
    picnic_players "$(wait_for "Player 1")"
    type_text "Picnic"
}
# to_page: the speeches and the story page, a draft write in flight.
to_page() {
    key alt+o
    ms=$(wait_for Wrenfield)
    type_text "Shall we eat here?"
    click "$ms" 0 0 1200 8760 1935 495         # Click When Done
    page=$(wait_for Form1)
    type_text "A Day Out"; key Tab; type_text "Ann"
    rm -f "$root"/*.txt
}
gone() { waited eval '! showing "$1" && ! showing "$2"' && [ -z "$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null)" ]; }
ended() { waited eval '! kill -0 "$app_pid" 2>/dev/null' || waited eval '! kill -0 "$app_pid" 2>/dev/null' || true; wait "$manager" 2>/dev/null || true; }

declare -A times
measure() { times[$1]+="$2 "; }
for _ in $(seq "$runs"); do
    run; to_page
    t=$(now); click "$page" 0 0 1080 1920 1935 375; main=$(wait_for Form2); measure "DONE!" "$(since "$t")"
    t=$(now); click "$main" 0 0 0 3960 2895 735
    waited eval '[ -z "$(xdotool search --onlyvisible --name "^(Form2|Talemoss)\$")" ]'; measure "Exit" "$(since "$t")"
    kill -USR1 "$manager" 2>/dev/null || true; ended

    run
    p2=$(visible "Player 2")
    t=$(now); close_window "$p2"; wait_for Wrenfield >/dev/null
    key Tab space                              # from "Keep working" to "Discard and quit"
    waited eval '[ -z "$(xdotool search --onlyvisible --name "^(Player 2|Wrenfield)\$")" ]'
    measure "Discard and quit" "$(since "$t")"
    kill -USR1 "$manager" 2>/dev/null || true; ended

    run
    t=$(now); kill -USR1 "$manager"
    waited eval '! kill -0 "$manager" 2>/dev/null'; measure "logout" "$(since "$t")"
    ended
done

echo "windows standing still with draft syncs held up $delay s (seconds; median, slowest of $runs)"
for what in "DONE!" "Exit" "Discard and quit" "logout"; do
    printf '%-18s %s\n' "$what" "$(echo "${times[$what]}" | tr ' ' '\n' | grep . | sort -n |
        awk '{v[NR]=$1} END {printf "%.2f %.2f", v[int((NR+1)/2)], v[NR]}')"
done
