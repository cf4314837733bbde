#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# Makes a whole story with the running program named Wrenfield through
# AT-SPI alone, as a screen reader's user would: options and buttons pressed
# by their actions, text typed into the boxes through their editable text.
# Works on any window system, Wayland included, where no input can be faked.
# Every step waits for the window it needs to be on screen; a step that cannot
# be made ends the script with status 1 and says which.
#
# usage: atspi_story.py
import sys
import time

import pyatspi


def fail(why):
    print("FAIL: " + why, file=sys.stderr)
    sys.exit(1)


def waited(find, what):
    """The first thing find() returns within ten seconds."""
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            found = find()
        except Exception:  # a node that went away while it was read
            found = None
        if found is not None:
            return found
        time.sleep(0.1)
    fail(what)


def program():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Wrenfield":
            return app
    return None


def window(title):
    """The window with that title, once it is on screen."""
    def showing():
        app = program()
        for frame in app or []:
            if frame is not None and frame.name == title \
                    and frame.getState().contains(pyatspi.STATE_SHOWING):
                return frame
        return None
    return waited(showing, "window '%s' did not appear" % title)


def control(frame, role, name):
    found = pyatspi.findDescendant(frame, lambda n: n is not None and n.getRole() == role and n.name == name)
    if found is None:
        fail("no %s '%s' in window '%s'" % (role, name, frame.name))
    return found


def press(frame, role, name):
    """Does the control's one action: Press for a button, Toggle for an option."""
    actions = control(frame, role, name).queryAction()
    if actions.nActions == 0 or not actions.doAction(0):
        fail("'%s' in window '%s' cannot be pressed" % (name, frame.name))


def type_into(frame, name, text):
    box = control(frame, pyatspi.ROLE_TEXT, name)
    box.queryEditableText().insertText(0, text, len(text))
    waited(lambda: box.queryText().getText(0, -1) == text or None,
           "the box '%s' shows '%s', not '%s'" % (name, box.queryText().getText(0, -1), text))


option, button = pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_PUSH_BUTTON

genre = window("Talemoss")
press(genre, option, "Comedy")
press(genre, button, "Ok")
p1 = window("Player 1")
for choice in ("Female", "Single", "Shy", "Older than P2"):
    press(p1, option, choice)
press(p1, button, "Ok")
p2 = window("Player 2")
for choice in ("Opposite to P1", "Married", "Nice"):
    press(p2, option, choice)
type_into(p2, "Enter one word title here", "Picnic")
press(p2, button, "Ok")
speeches = window("Wrenfield")
lines = iter(["Shall we eat here?", "Under the oak tree.", "Is it going to rain?", "Not today.",
              "Ants!", "Then pass the bread.", "We could run.", "Home, then."])
for exchange in ("First", "Second", "Third", "Fourth"):
    for speaker in ("First", "Second"):
        type_into(speeches, "%s Speeches, %s Speaker" % (exchange, speaker), next(lines))
press(speeches, button, "Click When Done")
page = window("Form1")
type_into(page, "Enter Full title here", "A Day Out")
type_into(page, "Enter Your Name Here", "Ann Author")
press(page, button, "DONE!")
main = window("Form2")
print("story made")
press(main, button, "Exit")
