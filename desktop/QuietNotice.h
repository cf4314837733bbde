// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QString>

class QWidget;

// A message window that comes up by itself while the user may be typing:
// it shows over the window they are on without taking the keyboard from
// it, as before, and is told to screen readers at once (or, when no window
// of the program has the keyboard, as soon as one has it): announced, an
// alert, where the toolkit can announce (Qt 6.8), and otherwise presented
// as a notification, the one kind of window that comes up without the
// keyboard that Orca 43 speaks when it appears. F6 in any of the program's
// windows goes to the newest such window and F6 in it goes back; closing
// it (its button, Escape, Enter) returns the keyboard to the window and the
// control it came from.
namespace Desktop {

// Shows `notice`, a top-level window, that way; screen readers say `spoken`.
void showQuietly(QWidget *notice, const QString &spoken);

// Whether `widget` is a window shown that way and the toolkit tells it to
// screen readers as a notification.
bool spokenAsNotification(const QWidget *widget);

} // namespace Desktop
