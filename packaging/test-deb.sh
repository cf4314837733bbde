#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# Builds the Debian package from a build folder into a scratch folder, checks
# what it holds and what it depends on, unpacks it with dpkg-deb and starts the
# unpacked program on a private X server until its first window shows.
#
#   test-deb.sh BUILD_DIR APP_ID
set -euo pipefail

build=$1
id=$2
scratch=$(mktemp -d)
app_pid=
xvfb_pid=

cleanup() {
    if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The package, built without touching the build folder's own package output.
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log" >&2; fail "cpack -G DEB failed"; }
shopt -s nullglob
debs=("$scratch"/pkg/*.deb)
shopt -u nullglob
[ "${#debs[@]}" -eq 1 ] || fail "expected one .deb, found ${#debs[@]}"
deb=${debs[0]}
echo "Package: $(basename "$deb")"

# Libraries come from dpkg-shlibdeps; the fonts are added by hand because the
# program asks for them by family name. Only the program is packaged, so Qt
# Test, which the tests link, must not be needed.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in fonts-liberation2 fonts-dancingscript fonts-kristi libqt6widgets6 libc6; do
    [[ ", $depends," =~ ,\ $package[\ ,] ]] || fail "Depends lacks $package"
done
[[ $depends != *libqt6test* ]] || fail "Depends names Qt Test"

# Exactly the program, its menu entry, its metainfo and its icons: nothing
# from tests/ or bench/.
expected=$(printf '%s\n' \
    ./usr/bin/wrenfield \
    "./usr/share/applications/$id.desktop" \
    "./usr/share/icons/hicolor/256x256/apps/$id.png" \
    "./usr/share/icons/hicolor/scalable/apps/$id.svg" \
    "./usr/share/metainfo/$id.metainfo.xml" | sort)
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
diff -u <(echo "$expected") <(echo "$actual") || fail "the package holds other files than expected"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
[ -x "$root/usr/bin/wrenfield" ] || fail "usr/bin/wrenfield is not executable"

# One id names the entry, its icon, the metainfo and what the metainfo launches.
entry=$root/usr/share/applications/$id.desktop
metainfo=$root/usr/share/metainfo/$id.metainfo.xml
grep -qx "Icon=$id" "$entry" || fail "the entry's Icon= is not $id"
grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo's <id> is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" \
    || fail "the metainfo does not launch $id.desktop"
appstreamcli validate-tree --no-net "$root" >"$scratch/validate-tree.log" 2>&1 \
    || { cat "$scratch/validate-tree.log" >&2; fail "appstreamcli validate-tree failed"; }

# A private X server on a display it picks itself, so parallel runs and a
# desktop session on :0 do not collide.
exec {display_fd}>"$scratch/display"
Xvfb -displayfd "$display_fd" -screen 0 1280x1024x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
exec {display_fd}>&-
for _ in $(seq 100); do
    grep -q '^[0-9][0-9]*$' "$scratch/display" && break
    kill -0 "$xvfb_pid" 2>/dev/null || { cat "$scratch/xvfb.log" >&2; fail "Xvfb did not start"; }
    sleep 0.1
done
grep -q '^[0-9][0-9]*$' "$scratch/display" || fail "Xvfb named no display"
export DISPLAY=:$(cat "$scratch/display")

# The unpacked program with a clean environment and an empty home folder.
mkdir -p "$scratch/home" "$scratch/runtime"
chmod 700 "$scratch/runtime"
env -i PATH="$PATH" HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime" \
    DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 \
    "$root/usr/bin/wrenfield" >"$scratch/app.log" 2>&1 &
app_pid=$!

window=
for _ in $(seq 100); do
    if ! kill -0 "$app_pid" 2>/dev/null; then
        cat "$scratch/app.log" >&2
        fail "the program ended before its genre window showed"
    fi
    window=$(xdotool search --onlyvisible --name '^Talemoss$' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { cat "$scratch/app.log" >&2; fail "no Talemoss window within 20 s"; }
echo "Genre window: $window"

# Docks on X11 match a window to its menu entry by the window's class.
wm_class=$(xprop -id "$window" WM_CLASS)
entry_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
[[ $wm_class == *", \"$entry_class\"" ]] \
    || fail "window class ($wm_class) differs from the entry's StartupWMClass ($entry_class)"
echo "PASS"
