#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# Prints the accessibility tree of the running program named APP as screen
# readers see it over AT-SPI, one "role|name" line a node, indented two
# spaces a level.
#
# usage: atspi_tree.py APP
import sys

import pyatspi


def walk(node, depth):
    print("  " * depth + node.getRoleName() + "|" + (node.name or ""))
    for child in node:
        if child is not None:
            walk(child, depth + 1)


for app in pyatspi.Registry.getDesktop(0):
    if app is not None and app.name == sys.argv[1]:
        walk(app, 0)
