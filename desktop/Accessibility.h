// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QString>
#include <QWidget>

#include <span>

// What screen readers are told about the windows, through Qt's accessibility
// (AT-SPI on Linux). Options, buttons and frames are named by their captions,
// as Qt does by itself; each window is presented as a frame with its
// caption; the rest is said by each window's table of spoken names. Text
// boxes answer every question about their text (see AccessibleText.h).
namespace Desktop {

// The name a screen reader speaks for a control whose caption does not say
// what it is: a text box by the label that prompts it, a picture by what it
// shows. A box's prompt is linked to it both ways (the box labelled by it, it
// the label for the box) and gives the box its name, so that it is read once,
// as the box's label. A control given neither a name nor a prompt is left out
// of the accessibility tree altogether: it shows nothing a person could see
// or use.
struct SpokenName {
    const char *control;
    const char *name = nullptr;    // what a control without a prompt is called
    const char *prompt = nullptr;  // the label that prompts the control
};

// Gives `window`'s controls their spoken names.
void nameForScreenReaders(QWidget *window, std::span<const SpokenName> names);

// A caption as it is spoken: without its access-key "&" and surrounding spaces.
QString spokenCaption(const QString &caption);

// Marks a window built from a table, for installAccessibility.
void markTableWindow(QWidget *window);

// Presents every window built from a table as a frame with its caption, and
// its frames as groupings (a frame of options as a list of them), both
// without the controls left out; its text boxes
// with the answers of AccessibleText.h; its options without their frame as a
// label, since the frame, entered, already says the group's name, and with
// their place in it ("3 of 11", in the order the arrows go) where the
// toolkit can give it (Qt 6.8). Every push button of the program is given
// its access key alone as its key, not Enter; every message window is an
// alert, as Qt presents it, or a notification (see QuietNotice.h). A text box's selection and
// caret are told only while it has the focus, so that its text is read
// once, as the focused box's. Called once, before the first window is
// built.
void installAccessibility();

} // namespace Desktop
