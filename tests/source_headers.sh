#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# Every source file git knows of, committed or not (C++, CMake, and scripts:
# anything starting with #!), begins with the licence line and the copyright
# line, after the #! line if there is one; "//" in C++, "#" elsewhere.
#
#   source_headers.sh SOURCE_DIR
set -euo pipefail
cd "$1"

licence=" SPDX-License-Identifier: GPL-3.0-or-later"
copyright=" Copyright (C) 2026 The Wrenfield developers"
missing=()
while IFS= read -r -d '' file; do
    [ -f "$file" ] || continue
    case "$file" in
        */corpus/*) continue ;;
        *.cpp | *.h) comment=// ;;
        CMakeLists.txt | */CMakeLists.txt | *.cmake | *.sh | *.py) comment='#' ;;
        *) [ "$(head -c2 "$file")" = '#!' ] || continue; comment='#' ;;
    esac
    skip=0
    [ "$(head -c2 "$file")" = '#!' ] && skip=1
    mapfile -t -n 2 lines < <(tail -n +$((skip + 1)) "$file")
    if [ "${lines[0]:-}" != "$comment$licence" ] || [ "${lines[1]:-}" != "$comment$copyright" ]; then
        missing+=("$file")
    fi
done < <(git ls-files -z --cached --others --exclude-standard)

if [ "${#missing[@]}" -gt 0 ]; then
    echo "These files do not start with the licence and copyright lines:" >&2
    printf '  %s\n' "${missing[@]}" >&2
    exit 1
fi
echo PASS
