#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# Prints the accessibility tree of the running program named APP as screen
# readers see it over AT-SPI, one "role|name" line a node, indented two
# spaces a level. Roles are printed by their AT-SPI enumeration names
# ("push-button", "radio-button"), which follow the role's number and not the
# wording a release of at-spi2-core gives it ("push button" or "button").
#
# The program's bridge registers its windows a while after it starts, so the
# tree is read again until it has at least WINDOWS windows and two readings
# agree, for ten seconds at most; then the last reading is printed.
#
# usage: atspi_tree.py APP [WINDOWS]
import sys
import time

import pyatspi
from gi.repository import Atspi


def lines(node, depth, out):
    out.append("  " * depth + Atspi.Role(int(node.getRole())).value_nick + "|" + (node.name or ""))
    for child in node:
        if child is not None:
            lines(child, depth + 1, out)
    return out


def reading(name):
    desktop = pyatspi.Registry.getDesktop(0)
    desktop.clearCache()
    for app in desktop:
        if app is not None and app.name == name:
            return app.childCount, lines(app, 0, [])
    return 0, []


windows = int(sys.argv[2]) if len(sys.argv) > 2 else 1
last = None
deadline = time.monotonic() + 10
while True:
    try:
        count, tree = reading(sys.argv[1])
    except Exception:  # a node that went away while it was read: read again
        count, tree = 0, []
    if (count >= windows and tree == last) or time.monotonic() > deadline:
        break
    last = tree
    time.sleep(0.2)
print("\n".join(tree))
