#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# What screen readers are told by the running program named APP over AT-SPI
# as it happens: one line an event, until it is ended, after a first line
# "ready" (roles named as atspi_tree.py names them):
#   showing|ROLE|NAME              a window comes up
#   focus|ROLE|NAME|WINDOW         the keyboard focus, in a window
#   announce|TEXT                  an announcement
#   described|ROLE|NAME|TEXT       a description changed
#   named|ROLE|NAME                a name changed (to NAME)
#   enabled|ROLE|0                 a control turned off (or 1: on)
#
# usage: atspi_told.py APP
import sys

import pyatspi

ROLES = {pyatspi.ROLE_FRAME: "frame", pyatspi.ROLE_ALERT: "alert", pyatspi.ROLE_NOTIFICATION: "notification",
         pyatspi.ROLE_PUSH_BUTTON: "push button", pyatspi.ROLE_RADIO_BUTTON: "radio button",
         pyatspi.ROLE_TEXT: "text"}
WINDOWS = ("frame", "alert", "notification")


def role(node):
    number = int(node.getRole())
    return ROLES.get(number, "role %d" % number)


def window_of(node):
    while node is not None and role(node) not in WINDOWS:
        node = node.parent
    return node.name if node is not None else ""


def said(*parts):
    print("|".join(str(part) for part in parts), flush=True)


def told(event):
    try:
        source = event.source
        if source.getApplication().name != APP:
            return
        kind = event.type
        if kind == "object:announcement":
            said("announce", event.any_data)
        elif kind.startswith("object:state-changed:showing") and event.detail1 and role(source) in WINDOWS:
            said("showing", role(source), source.name)
        elif kind.startswith("object:state-changed:focused") and event.detail1:
            said("focus", role(source), source.name, window_of(source))
        elif kind.startswith("object:property-change:accessible-description"):
            said("described", role(source), source.name, source.description)
        elif kind.startswith("object:property-change:accessible-name"):
            said("named", role(source), source.name)
        elif kind.startswith("object:state-changed:enabled"):
            said("enabled", role(source), event.detail1)
    except Exception:  # a node gone while it was read
        pass


APP = sys.argv[1]
for kind in ("object:announcement", "object:state-changed:showing", "object:state-changed:focused",
             "object:property-change:accessible-description", "object:property-change:accessible-name",
             "object:state-changed:enabled"):
    pyatspi.Registry.registerEventListener(told, kind)
said("ready")
pyatspi.Registry.start()
