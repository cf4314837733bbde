#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# Spelling in the real program, on a private X server and session bus, read
# over AT-SPI as a screen reader reads it: the misspelled words typed into
# the title box, the speeches and the full title are marked, the name is
# not; the Menu key opens the box's menu, an accessible menu, whose
# suggestion chosen by keyboard replaces the word; the story is saved byte
# for byte with the misspellings left in it. A damaged settings file costs
# one line on standard error and nothing else.
#
# usage: e2e_spelling.sh PATH/TO/wrenfield
set -euo pipefail

if [ -z "${WRENFIELD_PRIVATE_BUS:-}" ]; then
    exec env WRENFIELD_PRIVATE_BUS=1 dbus-run-session -- "$0" "$@" 2>&1
fi
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/x11_session.sh"

start_x 1280x1024x24
story_home
mkdir -p "$XDG_CONFIG_HOME/wrenfield"
printf '[spelling]\ncheck=maybe\n' >"$XDG_CONFIG_HOME/wrenfield/wrenfield.conf"
export LANGUAGE=en_US LANG=C.UTF-8
unset LC_ALL LC_MESSAGES XDG_DATA_DIRS XDG_DATA_HOME ENCHANT_CONFIG_DIR
background /usr/libexec/at-spi-bus-launcher --launch-immediately
launch env QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program"

# marked LINE...: the boxes that hold text, as atspi_spelling.py prints them,
# are these lines in any order, within ten seconds.
marked() {
    printf '%s\n' "$@" | sort >"$work/marks.wanted"
    waited eval '/usr/bin/python3 "$here/atspi_spelling.py" Wrenfield marks 2>&1 | sort >"$work/marks" \
                 && cmp -s "$work/marks" "$work/marks.wanted"' \
        || fail "the marks differ: $(diff "$work/marks.wanted" "$work/marks")"
}

genre=$(wait_for Talemoss)
click "$genre" 0 0 120 720 1095 375            # Comedy
click "$genre" 0 0 0 3120 2415 615             # Ok
picnic_players "$(wait_for "Player 1")"
type_text 'Picnik'
marked 'Picnik|0:Picnik'
click "$p2" 0 0 1920 5160 1695 615             # Ok
ms=$(wait_for Wrenfield)
speeches=('Shall we eat heer?' 'Under the oak tree.' 'Is it going to rian?' 'Not today.' 'Ants!'
          'Then pass the bread.' 'We culd run.' 'Home, then.')
box=0
for frame_top in 0 2280 4560 6840; do          # the upper box, then the lower, of each frame
    for top in 720 1440; do
        click "$ms" 0 "$frame_top" 240 "$top" 4455 375
        type_text "${speeches[box++]}"
    done
done
marked 'Picnik|0:Picnik' 'Shall we eat heer?|13:heer' 'Under the oak tree.|' 'Is it going to rian?|15:rian' \
    'Not today.|' 'Ants!|' 'Then pass the bread.|' 'We culd run.|3:culd' 'Home, then.|'

# The third speech's menu by the Menu key with the caret in "rian", its
# items heard as Down moves to them; "rain" chosen by Return.
click "$ms" 0 2280 240 720 4455 375
key End Left Left
/usr/bin/python3 "$here/atspi_spelling.py" Wrenfield focus >"$work/focus" 2>&1 &
pids+=($!)
waited grep -q '^ready' "$work/focus" || fail "the focus could not be followed"
key Menu
for downs in $(seq 6); do
    key Down
    waited eval '[ "$(grep -c "^menu item|" "$work/focus")" -ge "$downs" ]' \
        || fail "the menu's items do not take the focus: $(cat "$work/focus")"
    [ "$(tail -n1 "$work/focus")" = 'menu item|rain' ] && break
done
[ "$(tail -n1 "$work/focus")" = 'menu item|rain' ] || fail "\"rain\" is not among the first items: $(cat "$work/focus")"
key Return
marked 'Picnik|0:Picnik' 'Shall we eat heer?|13:heer' 'Under the oak tree.|' 'Is it going to rain?|' \
    'Not today.|' 'Ants!|' 'Then pass the bread.|' 'We culd run.|3:culd' 'Home, then.|'

click "$ms" 0 0 1200 8760 1935 495             # Click When Done
page=$(wait_for Form1)
click "$page" 0 0 240 600 3615 405             # the full title
type_text 'A Dya Out'
click "$page" 0 0 240 1320 3615 375            # the name, never checked
type_text 'Ann Authr'
marked 'Picnik|0:Picnik' 'Shall we eat heer?|13:heer' 'Under the oak tree.|' 'Is it going to rain?|' \
    'Not today.|' 'Ants!|' 'Then pass the bread.|' 'We culd run.|3:culd' 'Home, then.|' \
    'A Dya Out|2:Dya' 'Ann Authr|'
click "$page" 0 0 1080 1920 1935 375           # DONE!
wait_for Form2 >/dev/null
printf 'Earlier notes A Dya Out\r\n Ann Authr\r\n\r\nShall we eat heer?\r\n Under the oak tree.\r\n\r\nIs it going to rain?\r\n Not today.\r\n\r\nAnts!\r\n Then pass the bread.\r\n\r\nWe culd run.\r\n Home, then.\r\n' \
    | cmp - "$root/CFSSOOMNPicnik.txt" || fail "the story file's bytes differ"
grep -v 'QStandardPaths\|qt.qpa' "$work/out.log" >"$work/said" || true
[ "$(wc -l <"$work/said")" -eq 1 ] && grep -q 'settings file .*wrenfield.conf is ignored: line 2' "$work/said" \
    || fail "standard error is not one line about the settings file: $(cat "$work/said")"
echo "end-to-end spelling: passed"
