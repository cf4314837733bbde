#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# Makes a whole story with the running program through AT-SPI alone, as a
# screen reader's user would: options and buttons by their one action, text
# through the boxes' editable text; on any window system, Wayland included,
# where no program can fake another's input. Each step waits up to ten
# seconds for its window to be on screen; one that fails ends with status 1.
import sys
import time

import pyatspi

OPTION, BUTTON, TEXT, FRAME = pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TEXT, pyatspi.ROLE_PANEL


def waited(find, failure):
    for _ in range(100):
        try:
            found = find()
            if found:
                return found
        except Exception:  # a node that went away while it was read
            pass
        time.sleep(0.1)
    sys.exit("FAIL: " + failure)


def window(title):
    def showing():
        app = next(a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.name == "Wrenfield")
        return next(f for f in app if f.name == title and f.getState().contains(pyatspi.STATE_SHOWING))
    return waited(showing, "window '%s' did not appear" % title)


def control(frame, role, name):
    return waited(lambda: pyatspi.findDescendant(frame, lambda n: n.getRole() == role and n.name == name),
                  "no '%s' in window '%s'" % (name, frame.name))


def press(frame, role, *names):
    for name in names:
        waited(lambda: control(frame, role, name).queryAction().doAction(0), "'%s' cannot be pressed" % name)


def type_into(frame, name, text):
    box = control(frame, TEXT, name)
    box.queryEditableText().insertText(0, text, len(text))
    waited(lambda: box.queryText().getText(0, -1) == text, "the box '%s' did not take '%s'" % (name, text))


genre = window("Talemoss")
press(genre, OPTION, "Comedy")
press(genre, BUTTON, "Ok")
p1 = window("Player 1")
press(p1, OPTION, "Female", "Single", "Shy", "Older than P2")
press(p1, BUTTON, "Ok")
p2 = window("Player 2")
press(p2, OPTION, "Opposite to P1", "Married", "Nice")
type_into(p2, "Enter one word title here", "Tea&Cake")
press(p2, BUTTON, "Ok")
speeches = window("Wrenfield")
for number, (exchange, speaker) in enumerate(((e, s) for e in ("First", "Second", "Third", "Fourth")
                                              for s in ("First", "Second")), 1):
    type_into(control(speeches, FRAME, exchange + " Speeches"), speaker + " Speaker", "Speech %d." % number)
press(speeches, BUTTON, "Click When Done")
page = window("Form1")
type_into(page, "Enter Full title here", "Tea and Cake")
type_into(page, "Enter Your Name Here", "Ann")
press(page, BUTTON, "DONE!")
press(window("Form2"), BUTTON, "Exit")
