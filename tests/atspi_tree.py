#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# Prints the accessibility tree of the running program named APP as screen
# readers see it over AT-SPI, one "role|name" line a node, indented two
# spaces a level; an option with its place as its attributes give it,
# "radio button|Family|3 of 11". Roles go by their AT-SPI number, named as below whatever a
# release of at-spi2-core calls them (Debian 13 says "button" for "push
# button"); any other role prints as its number.
# The bridge registers windows a while after they appear, so the tree is read
# until it has at least WINDOWS windows and two readings agree (ten seconds
# at most).
#
# usage: atspi_tree.py APP [WINDOWS]
import sys
import time

import pyatspi

ROLES = {pyatspi.ROLE_APPLICATION: "application", pyatspi.ROLE_FRAME: "frame", pyatspi.ROLE_PANEL: "panel",
         pyatspi.ROLE_LIST: "list",
         pyatspi.ROLE_PUSH_BUTTON: "push button", pyatspi.ROLE_RADIO_BUTTON: "radio button",
         pyatspi.ROLE_TEXT: "text", pyatspi.ROLE_LABEL: "label", pyatspi.ROLE_IMAGE: "image",
         pyatspi.ROLE_FILLER: "filler", pyatspi.ROLE_SCROLL_BAR: "scroll bar"}


def lines(node, depth=0):
    role = int(node.getRole())
    attributes = dict(a.split(":", 1) for a in node.getAttributes())
    place = "|%s of %s" % (attributes["posinset"], attributes["setsize"]) if "posinset" in attributes else ""
    yield "  " * depth + ROLES.get(role, "role %d" % role) + "|" + (node.name or "") + place
    for child in node:
        if child is not None:
            yield from lines(child, depth + 1)


def reading():
    desktop = pyatspi.Registry.getDesktop(0)
    desktop.clearCache()
    try:
        app = next(a for a in desktop if a is not None and a.name == sys.argv[1])
        return app.childCount, list(lines(app))
    except Exception:  # not there yet, or a node went away while it was read
        return 0, []


last = None
for _ in range(50):
    count, tree = reading()
    if count >= int(sys.argv[2] if len(sys.argv) > 2 else 1) and tree == last:
        break
    last = tree
    time.sleep(0.2)
print("\n".join(tree))
