#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# Fills every editable text box of the running program named APP over AT-SPI
# with words, punctuation, emoji and mathematical letters (one character to
# AT-SPI, two UTF-16 units) and, in a multi-line box, line breaks, and checks
# what crosses the bus (segments are tst_accessibility's): the length and the
# text at every offset in characters, every character's extents, the caret,
# and the box and its prompt labelling each other. Prints a line a box; exits
# 1 at the first fault.
#
# usage: atspi_text.py APP
import sys

import pyatspi
from gi.repository import Atspi

ONE_LINE = "a\U0001F600b cd \U0001F600 ef. x\U0001D49C\U0001D49Cy z! Tea, time? caf\u00e9 \u041a\u043e\u0442 end."
MORE_LINES = ONE_LINE + "\nSecond line, two words.\n\nAfter an empty line\n"
Atspi.set_timeout(-1, -1)  # no time limit on a busy machine: a program that hangs fails by the test's timeout


def fail(box, message):
    print(f"FAIL: {box.name!r}: {message}")
    sys.exit(1)


def check_box(box):
    multi = box.getState().contains(pyatspi.STATE_MULTI_LINE)
    wanted = MORE_LINES if multi else ONE_LINE
    prompts = [r.getTarget(0) for r in box.getRelationSet() if r.getRelationType() == pyatspi.RELATION_LABELLED_BY
               and r.getTarget(0).getRole() == pyatspi.ROLE_LABEL]
    if not any(r.getRelationType() == pyatspi.RELATION_LABEL_FOR and r.getTarget(0) == box
               for prompt in prompts for r in prompt.getRelationSet()):
        fail(box, "is not linked to a prompt both ways")
    Atspi.EditableText.set_text_contents(box, wanted)
    n = Atspi.Text.get_character_count(box)
    if n != len(wanted):  # Python counts characters, as AT-SPI does
        fail(box, f"has {n} characters, not {len(wanted)}")
    text = Atspi.Text.get_text(box, 0, -1)
    if text != wanted:
        fail(box, f"holds {text!r} after being filled with {wanted!r}")
    for offset in range(n + 1):
        if Atspi.Text.get_text(box, offset, offset + 1) != wanted[offset:offset + 1]:
            fail(box, f"character {offset} is not {wanted[offset:offset + 1]!r}")
        if offset < n and wanted[offset] != "\n":
            extents = Atspi.Text.get_character_extents(box, offset, Atspi.CoordType.SCREEN)
            if extents.height <= 0 or extents.width <= 0:
                fail(box, f"character {offset} has extents {extents.width} x {extents.height}")
        if offset in (0, 2, n // 2, n) and Atspi.Text.set_caret_offset(box, offset) \
                and Atspi.Text.get_caret_offset(box) != offset:
            fail(box, f"the caret put at {offset} is not there")
    print(f"{box.name!r}: {n} characters")


def boxes(node):
    if node.get_editable_text_iface() is not None and node.get_text_iface() is not None:
        yield node
    for child in node:
        if child is not None:
            yield from boxes(child)


found = 0
for app in pyatspi.Registry.getDesktop(0):
    if app is not None and app.name == sys.argv[1]:
        for box in boxes(app):
            check_box(box)
            found += 1
if not found:
    print(f"FAIL: no text box in {sys.argv[1]!r}")
    sys.exit(1)
print(f"{found} boxes")
