#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# Start-up of wrenfield against the floor (the least Qt Widgets program with a
# window like the genre window), on one private Xvfb display. Starts the two
# alternately RUNS times each, drops each one's first run, and prints the
# medians of exec-to-mapped time, of the processor time used until then, and
# of peak resident memory, and the ratios.
#
#   bench/startup.sh [BUILD_DIR] [RUNS]     (defaults: build/default, 11)
#
# Needs the build's wrenfield, wrenfield_bench_floor and
# wrenfield_startup_probe, and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
runs=${2:-11}

program=$build/app/wrenfield
floor=$build/bench/wrenfield_bench_floor
probe=$build/bench/wrenfield_startup_probe
for f in "$program" "$floor" "$probe"; do
    [ -x "$f" ] || { echo "missing $f: build first (cmake --build $build)" >&2; exit 1; }
done

# A private display and a private home, so that nothing of the user's
# (settings, fonts, the story folder) takes part.
work=$(mktemp -d)
exec 3> "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
    [ -s "$work/displayfd" ] && break
    sleep 0.05
done
export DISPLAY=:$(head -n1 "$work/displayfd")
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM XDG_STATE_HOME

: > "$work/floor" && : > "$work/wrenfield"
for i in $(seq "$runs"); do
    "$probe" -- "$floor" >> "$work/floor"
    "$probe" -- "$program" >> "$work/wrenfield"
done

# Median of one field over all runs but the first.
median() {
    tail -n +2 "$work/$1" | sed -n "s/.*$2=\([0-9.]*\).*/\1/p" | sort -g \
        | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
fm=$(median floor map_ms); wm=$(median wrenfield map_ms)
fc=$(median floor cpu_ms); wc=$(median wrenfield cpu_ms)
fk=$(median floor vmhwm_kib); wk=$(median wrenfield vmhwm_kib)
echo "runs: $runs each, first dropped, alternating, display $DISPLAY"
printf '%-10s %10s %10s %12s\n' "" "mapped ms" "CPU ms" "VmHWM KiB"
printf '%-10s %10s %10s %12s\n' floor "$fm" "$fc" "$fk" wrenfield "$wm" "$wc" "$wk"
awk -v fm="$fm" -v wm="$wm" -v fc="$fc" -v wc="$wc" -v fk="$fk" -v wk="$wk" 'BEGIN {
    printf "start-up ratio %.3f (goal <= 1.15); processor time ratio %.3f\n", wm / fm, wc / fc
    printf "memory ratio   %.3f (goal <= 1.10)\n", wk / fk
}'
