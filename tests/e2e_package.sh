#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# Checks the Debian package that scripts/package left in a folder: lintian,
# what the package holds and depends on, the -dbgsym package, the hardening
# of the program, and the unpacked program started on a private X server
# until its first window shows. Lintian runs meanwhile, being the slowest.
#
#   e2e_package.sh build/package
set -euo pipefail

folder=$1
id=org.wrenfield.Wrenfield
source "$(dirname "$0")/x11_session.sh"

shopt -s nullglob
debs=("$folder"/wrenfield_*.deb)
dbgsyms=("$folder"/wrenfield-dbgsym_*.deb)
changes=("$folder"/wrenfield_*.changes)
shopt -u nullglob
[ "${#debs[@]}" -eq 1 ] && [ "${#changes[@]}" -eq 1 ] || fail "expected one .deb and one .changes in $folder"
[ "${#dbgsyms[@]}" -eq 1 ] || fail "no -dbgsym package in $folder"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)

# Every tag, information included, is fixed or overridden with a reason in
# debian/wrenfield.lintian-overrides.
lintian --info --display-info --fail-on error,warning,info "${changes[0]}" >"$work/lintian.log" 2>&1 &
lintian_pid=$!
pids+=("$lintian_pid")

# Libraries come from dpkg-shlibdeps; the fonts are asked for by family name
# and are listed by hand. Only the program is packaged, so Qt Test, which the
# tests link, must not be needed.
depends=$(dpkg-deb -f "$deb" Depends)
for package in fonts-liberation2 fonts-dancingscript fonts-kristi libqt6widgets6 libqt6gui6 libc6 libhunspell-1.7-0; do
    [[ ", $depends," =~ ,\ $package[\ ,] ]] || fail "Depends lacks $package: $depends"
done
[[ $depends != *libqt6test* ]] || fail "Depends names Qt Test: $depends"
# Native Wayland needs Qt's plugin for it, which shlibs cannot see either.
[[ $(dpkg-deb -f "$deb" Recommends) == *qt6-wayland* ]] || fail "Recommends lacks the Wayland platform plugin"
[[ $(dpkg-deb -f "$deb" Recommends) == *"hunspell-en-us | hunspell-dictionary"* ]] || fail "Recommends lacks a dictionary"

# The program, its menu entry, metainfo, icons and manual page, and the
# licence, changelog and lintian overrides: nothing from tests/ or bench/.
expected=$(printf '%s\n' \
    ./usr/bin/wrenfield \
    "./usr/share/applications/$id.desktop" \
    "./usr/share/icons/hicolor/256x256/apps/$id.png" \
    "./usr/share/icons/hicolor/scalable/apps/$id.svg" \
    "./usr/share/metainfo/$id.metainfo.xml" \
    ./usr/share/man/man1/wrenfield.1.gz \
    ./usr/share/doc/wrenfield/copyright \
    ./usr/share/doc/wrenfield/changelog.gz \
    ./usr/share/lintian/overrides/wrenfield | sort)
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
diff -u <(echo "$expected") <(echo "$actual") || fail "the package holds other files than expected"

root=$work/root
dpkg-deb -x "$deb" "$root"
[ "$("$root/usr/bin/wrenfield" --version | head -n1)" = "wrenfield $version" ] \
    || fail "wrenfield --version does not print the package's version $version"

# The debug symbols are those of this very program.
build_id=$(readelf -n "$root/usr/bin/wrenfield" | sed -n 's/.*Build ID: *//p')
debug_file=./usr/lib/debug/.build-id/${build_id:0:2}/${build_id:2}.debug
[[ $(dpkg-deb -c "${dbgsyms[0]}") == *" $debug_file"* ]] || fail "the -dbgsym package lacks $debug_file"

# Control-flow protection cannot be had on Debian 12 or 13: their C start
# files (crt1.o) lack its ELF note, so no program linked there carries it.
# Branch protection (BTI and PAC) is ARM64's; Debian 13's hardening-check
# asks for it on every architecture.
skip=(--nocfprotection)
[ "$(dpkg --print-architecture)" != arm64 ] && [[ $(hardening-check --help 2>&1) == *--nobranchprotection* ]] \
    && skip+=(--nobranchprotection)
hardening-check "${skip[@]}" "$root/usr/bin/wrenfield" || fail "hardening-check"

# One id names the entry, its icon, the metainfo and what the metainfo launches.
entry=$root/usr/share/applications/$id.desktop
grep -qx "Icon=$id" "$entry" || fail "the entry's Icon= is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$root/usr/share/metainfo/$id.metainfo.xml" \
    || fail "the metainfo does not launch $id.desktop"
# The project has no web page yet: AppStream 1.0's warning for the missing
# homepage is a note (0.16 has no such check, nor the option for it).
overrides=()
[[ $(appstreamcli --version) =~ version:\ 0\. ]] || overrides=(--override=url-homepage-missing=info)
appstreamcli validate-tree --no-net "${overrides[@]}" "$root" >"$work/validate-tree.log" 2>&1 \
    || { cat "$work/validate-tree.log" >&2; fail "appstreamcli validate-tree"; }

# The unpacked program on a private X server, with a clean environment and
# an empty home folder.
start_x 1280x1024x24
mkdir -p "$work/home"
launch env -i PATH="$PATH" HOME="$work/home" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" DISPLAY="$DISPLAY" LANG=C.UTF-8 \
    "$root/usr/bin/wrenfield"
started() { kill -0 "$app_pid" 2>/dev/null || fail "the program ended before its window showed"; showing Talemoss; }
waited started || waited started || fail "no Talemoss window within 20 s"
window=$(visible Talemoss)

# Docks on X11 match a window to its menu entry by the window's class.
wm_class=$(xprop -id "$window" WM_CLASS)
entry_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
[[ $wm_class == *", \"$entry_class\"" ]] \
    || fail "window class ($wm_class) differs from the entry's StartupWMClass ($entry_class)"

# The same program on native Wayland: a headless weston, no X display. It
# runs on Qt's Wayland plugin, which the package recommends, and shows its
# genre window: WAYLAND_DEBUG logs the window's title and its first picture
# (objects as wl_surface@13 on Debian 12, wl_surface#13 on Debian 13).
background weston --backend=headless-backend.so --socket=wayland-package --idle-time=0 --no-config
waited test -S "$XDG_RUNTIME_DIR/wayland-package" || fail "weston did not start"
launch env -i PATH="$PATH" HOME="$work/home" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" WAYLAND_DISPLAY=wayland-package \
    WAYLAND_DEBUG=client LANG=C.UTF-8 "$root/usr/bin/wrenfield"
on_wayland() { grep -q 'libqwayland' "/proc/$app_pid/maps" 2>/dev/null; }
waited on_wayland || fail "the program did not start on Qt's Wayland plugin"
waited grep -q 'xdg_toplevel[@#][0-9]*\.set_title("Talemoss")' "$work/out.log" || fail "no genre window on Wayland"
waited grep -q 'wl_surface[@#][0-9]*\.attach(wl_buffer[@#]' "$work/out.log" || fail "the genre window was not drawn on Wayland"
kill -0 "$app_pid" 2>/dev/null || fail "the program ended on Wayland"

lintian_status=0
wait "$lintian_pid" || lintian_status=$?
echo "--- lintian:"
grep -v '^running with root privileges' "$work/lintian.log" || true
[ "$lintian_status" -eq 0 ] || fail "lintian found tags"
echo "PASS: $(basename "$deb")"
