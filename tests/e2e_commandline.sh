#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# The real program's command line, with no display at all: what it prints on
# which stream, and its exit status. Qt's own options must pass the program's
# check, which shows as the no-display line (status 1) instead of a refusal
# (status 2); -platform offscreen then really starts it without a display.
#
#   e2e_commandline.sh PATH/TO/wrenfield VERSION QT_PLUGIN_DIR
set -euo pipefail

program=$1
version=$2
qt_plugins=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A display number with no X server behind it.
free=7301
while [ -e "/tmp/.X11-unix/X$free" ] || [ -e "/tmp/.X$free-lock" ]; do free=$((free + 1)); done

no_display="wrenfield: no display to open: DISPLAY and WAYLAND_DISPLAY are not set; run it in a graphical session, or set DISPLAY (X11) or WAYLAND_DISPLAY (Wayland)"
hint="Try 'wrenfield --help' for more information."

# check STATUS STDOUT-LINE1 STDERR [VAR=VALUE]... -- ARGUMENTS...
# STDOUT-LINE1 is the first line expected on standard output, or "" for none;
# STDERR is everything expected on standard error. Standard output goes to
# $into when set.
check() {
    local status=$1 out=$2 err=$3 settings=() actual=0
    shift 3
    while [ "$1" != -- ]; do settings+=("$1"); shift; done
    shift
    : >"$work/out"
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE HOME="$work" \
        "${settings[@]}" "$program" "$@" >"${into:-$work/out}" 2>"$work/err" || actual=$?
    if [ "$actual" != "$status" ] || [ "$(head -n1 "$work/out")" != "$out" ] || [ "$(cat "$work/err")" != "$err" ]; then
        printf 'FAIL: %s wrenfield %s\n  status %s, expected %s\n  stdout: %s\n  expected: %s\n  stderr: %s\n  expected: %s\n' \
            "${settings[*]}" "$*" "$actual" "$status" "$(head -n1 "$work/out")" "$out" "$(cat "$work/err")" "$err" >&2
        failures=$((failures + 1))
    fi
}

# The program's own options, answered without a display.
check 0 "Usage: wrenfield [QT-OPTION]..." "" -- --help
check 0 "Usage: wrenfield [QT-OPTION]..." "" -- -h -platform nowhere
check 0 "wrenfield $version" "" -- --version
check 0 "wrenfield $version" "" -- -style fusion -v

# Refusals: one line and the hint on standard error, nothing on standard output.
check 2 "" "wrenfield: unknown option '--colour'"$'\n'"$hint" -- --colour
check 2 "" "wrenfield: unexpected argument 'story.txt'"$'\n'"$hint" -- story.txt
check 2 "" "wrenfield: unexpected argument '-'"$'\n'"$hint" -- -
check 2 "" "wrenfield: option '-platform' needs a value"$'\n'"$hint" -- -platform
check 2 "" "wrenfield: option '-reverse' takes no '='"$'\n'"$hint" -- -reverse=yes
check 2 "" "wrenfield: unknown option '--bogus'"$'\n'"$hint" -- -style fusion --bogus --help

# No display: one line and status 1, never Qt's abort; Qt's options pass.
check 1 "" "$no_display" --
check 1 "" "$no_display" -- -style fusion -reverse --qwindowtitle "A title" -stylesheet=none.qss
check 1 "" "wrenfield: cannot open the display \":$free\" named by DISPLAY; run it in a graphical session, or set DISPLAY or WAYLAND_DISPLAY to a display that is running" \
    DISPLAY=":$free" --
check 1 "" "wrenfield: cannot open the display \":$free\" named by -display; run it in a graphical session, or set DISPLAY or WAYLAND_DISPLAY to a display that is running" \
    -- -display ":$free"
check 1 "" "wrenfield: cannot start the window system: Could not find the Qt platform plugin \"nowhere\" in \"\"" \
    DISPLAY=":$free" QT_QPA_PLATFORM=nowhere --

# A Wayland display named while Qt's Wayland plugin is missing (a copy of the
# program whose qt.conf shows Qt the other platform plugins only): the line
# says what to install, not that the display is not running.
mkdir -p "$work/bare/plugins/platforms"
cp "$program" "$work/bare/"
find "$qt_plugins/platforms" -name '*.so' ! -name 'libqwayland*' -exec ln -s {} "$work/bare/plugins/platforms/" \;
printf '[Paths]\nPlugins=%s\n' "$work/bare/plugins" >"$work/bare/qt.conf"
program=$work/bare/wrenfield
for session in x11 wayland; do
    check 1 "" "wrenfield: cannot use the Wayland display \"wayland-9\" named by WAYLAND_DISPLAY: Qt's Wayland platform plugin is not installed; install the package qt6-wayland, or set DISPLAY to an X11 display" \
        WAYLAND_DISPLAY=wayland-9 XDG_SESSION_TYPE=$session --
done
check 1 "" "wrenfield: cannot start the window system: Could not find the Qt platform plugin \"wayland\" in \"\"; install the package qt6-wayland" \
    WAYLAND_DISPLAY=wayland-9 QT_QPA_PLATFORM=wayland --
program=$1

# Help that cannot be written is not a success.
into=/dev/full check 1 "" "wrenfield: cannot write to standard output: No space left on device" -- --help

# -platform reaches Qt: on the offscreen platform the program runs without a
# display until it is stopped.
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$work" XDG_RUNTIME_DIR="$work" \
    timeout 3 "$program" -platform offscreen >"$work/out" 2>&1 || status=$?
if [ "$status" != 124 ]; then
    echo "FAIL: wrenfield -platform offscreen ended with status $status instead of running:" >&2
    cat "$work/out" >&2
    failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] || { echo "$failures failed" >&2; exit 1; }
echo PASS
