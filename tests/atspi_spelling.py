#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# What a screen reader gets of spelling in the running program named APP:
#   marks: for each text box that holds text, in the tree's order, its text
#          and its misspelled words, "TEXT|START:WORD ...", START in
#          characters, each read as an attribute run with invalid:spelling;
#   focus: until ended, each thing that takes the focus as it does,
#          "ROLE|NAME", after a first line "ready": the items of a menu
#          (which is no child of the program's in the tree) as they are
#          moved to.
#
# usage: atspi_spelling.py APP marks|focus
import sys

import pyatspi
from gi.repository import Atspi

Atspi.set_timeout(-1, -1)


def nodes(node):
    yield node
    for child in node:
        if child is not None:
            yield from nodes(child)


def marks(box):
    text = box.queryText()
    found, offset = [], 0
    while offset < text.characterCount:
        attributes, start, end = text.getAttributeRun(offset, False)
        if "invalid:spelling" in attributes:
            found.append(f"{start}:{text.getText(start, end)}")
        offset = max(end, offset + 1)
    return f"{text.getText(0, -1)}|{' '.join(found)}"


def focused(event):
    if event.detail1 and event.host_application.name == sys.argv[1]:
        print(f"{event.source.getRoleName()}|{event.source.name}", flush=True)


if sys.argv[2] == "focus":
    pyatspi.Registry.registerEventListener(focused, "object:state-changed:focused")
    print("ready", flush=True)
    pyatspi.Registry.start()
app = next(a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.name == sys.argv[1])
for node in nodes(app):
    if "EditableText" in node.get_interfaces() and node.queryText().characterCount > 0:
        print(marks(node))
