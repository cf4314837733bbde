#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# scripts/setup for someone who is neither root nor has sudo (the user nobody
# when the suite runs as root), on a PATH without sudo: with a package
# missing it prints the one apt-get line to run as root and stops with
# status 1; with nothing missing it says nothing and goes on.
#
#   e2e_setup.sh SOURCE_DIR
set -euo pipefail

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cp "$1/scripts/setup" "$work/setup"
mkdir "$work/bin"
for tool in bash dpkg-query grep id; do ln -s "$(command -v "$tool")" "$work/bin/"; done

as_user=()
[ "$(id -u)" -eq 0 ] && as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)

# expect STATUS OUTPUT PACKAGE...: wrenfield_install_missing PACKAGE... ends
# with STATUS and prints OUTPUT ("went on" when it goes on).
expect() {
    local status=0 wanted=$1 output=$2
    shift 2
    "${as_user[@]}" env -i PATH="$work/bin" bash -c \
        'source "$0" && wrenfield_install_missing "$@" && echo "went on"' "$work/setup" "$@" \
        >"$work/out" 2>&1 || status=$?
    if [ "$status" -ne "$wanted" ] || [ "$(cat "$work/out")" != "$output" ]; then
        echo "FAIL: with $*: status $status and the output:" >&2
        cat "$work/out" >&2
        exit 1
    fi
}

expect 1 "Missing Debian packages, and installing them needs root (there is no sudo here).
Run this as root, then run this script again:
    apt-get install --no-install-recommends wrenfield-not-a-package wrenfield-nor-this" \
    bash wrenfield-not-a-package dpkg wrenfield-nor-this
expect 0 "went on" bash dpkg
echo PASS
