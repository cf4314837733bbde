// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QString>

class QWidget;

// What screen readers are told as things happen, beyond the names, roles
// and states of Accessibility.h, on Qt 6.4 (Debian 12) as on Qt 6.8
// (Debian 13), checked against what Orca 43 and Orca 48 say. Qt 6.8 can
// announce a sentence; Qt 6.4 cannot, and tells Orca 43 of a changed name
// or description in a form Orca 43 cannot read, so there a window's
// description is what it reads as the keyboard comes to the window.
namespace Desktop {

// Whether the toolkit can announce a sentence to screen readers at once,
// and the announcement of `text` from `source`; where it cannot, nothing
// is said.
bool canAnnounce();
void announce(QWidget *source, const QString &text);

// Screen readers hear `text` as `window` next comes up. Where the toolkit
// can announce, it is announced as the window becomes active: Orca 48 reads
// a window's description only when something of the program had the focus
// just before. Otherwise it is the window's description until the window
// hides, which Orca 43 reads with the window.
void tellAsWindowComesUp(QWidget *window, const QString &text);

// While `window` waits on work that its controls cannot take part in, the
// keyboard rests on the window itself, so that no key reaches the controls
// and screen readers hear the window with `what` ("Form1 frame. Saving…");
// then (an empty `what`) it goes back to `control`.
void restKeyboardOnWindow(QWidget *window, const QString &what, QWidget *control);

} // namespace Desktop
