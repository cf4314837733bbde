#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# The real program on native Wayland: a headless weston on a private runtime
# folder, no X display at all, and Qt left to choose its platform. A whole
# story is made through AT-SPI on a private session bus (Wayland lets no
# program fake another's input), and the saved file is checked byte for
# byte; then Exit ends the program with status 0.
#
# usage: e2e_wayland.sh PATH/TO/wrenfield
set -euo pipefail

if [ -z "${WRENFIELD_PRIVATE_BUS:-}" ]; then
    exec env WRENFIELD_PRIVATE_BUS=1 dbus-run-session -- "$0" "$@" 2>&1
fi

program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/x11_session.sh"

unset DISPLAY QT_QPA_PLATFORM
export XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home"
mkdir -p "$XDG_RUNTIME_DIR" "$HOME/Documents/Wrenfield" && chmod 700 "$XDG_RUNTIME_DIR"
background weston --backend=headless-backend.so --socket=wayland-wrenfield --idle-time=0 --no-config
waited test -S "$XDG_RUNTIME_DIR/wayland-wrenfield" || fail "weston did not start: $(cat "$work/background.log")"
export WAYLAND_DISPLAY=wayland-wrenfield
background /usr/libexec/at-spi-bus-launcher --launch-immediately

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program" >"$work/out.log" 2>&1 &
app_pid=$!
pids+=("$app_pid")

/usr/bin/python3 "$here/atspi_story.py" || fail "the story could not be made through AT-SPI"
story="$HOME/Documents/Wrenfield/CFSSOOMNPicnic.txt"
printf ' A Day Out\r\n Ann Author\r\n\r\nShall we eat here?\r\n Under the oak tree.\r\n\r\nIs it going to rain?\r\n Not today.\r\n\r\nAnts!\r\n Then pass the bread.\r\n\r\nWe could run.\r\n Home, then.\r\n' \
    | cmp - "$story" || fail "the story file's bytes differ"
waited eval '! kill -0 "$app_pid" 2>/dev/null' || fail "Exit did not end the program"
status=0
wait "$app_pid" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "end-to-end on Wayland: a story through AT-SPI on headless weston, its bytes, and exit: all passed"
