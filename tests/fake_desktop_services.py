#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Wrenfield developers
# A stand-in desktop on the session bus for the end-to-end test: a
# notification service that reads markup and, a moment after each
# notification, invokes the actions named on the command line as if the user
# had clicked them; and a file manager that offers ShowItems. Every call is
# written to LOG as one tab-separated line; "ready" once both names are held.
#
# usage: fake_desktop_services.py LOG [ACTION...]
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

log_path, actions_to_invoke = sys.argv[1], sys.argv[2:]


def log(*fields):
    with open(log_path, "a", encoding="utf-8") as log_file:
        print(*fields, sep="\t", file=log_file)


class Notifications(dbus.service.Object):
    interface = "org.freedesktop.Notifications"

    @dbus.service.method(interface, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["actions", "body", "body-markup"]

    @dbus.service.method(interface, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        log("Notify", app, icon, summary, body, ",".join(actions))
        for delay, action in enumerate(actions_to_invoke, start=1):
            GLib.timeout_add(300 * delay, self.invoke, action)
        return 7

    def invoke(self, action):
        self.ActionInvoked(7, action)
        return False  # once

    @dbus.service.signal(interface, signature="us")
    def ActionInvoked(self, notification, action):
        pass


class FileManager(dbus.service.Object):
    @dbus.service.method("org.freedesktop.FileManager1", in_signature="ass", out_signature="")
    def ShowItems(self, uris, startup_id):
        log("ShowItems", *uris)


dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
names = [dbus.service.BusName(name, bus) for name in
         ("org.freedesktop.Notifications", "org.freedesktop.FileManager1")]
Notifications(bus, "/org/freedesktop/Notifications")
FileManager(bus, "/org/freedesktop/FileManager1")
log("ready")
GLib.MainLoop().run()
