// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QString>
#include <QTextLayout>

class QLineEdit;
class QPlainTextEdit;
class QWidget;

// The windows' text boxes. Both kinds take text of any length, and in both
// Alt with a letter that is no access key of the window types nothing (AltGr
// still types).
namespace Desktop::TextBox {

// A single-line box. Every line break that enters it, typed, pasted, dropped
// or set, becomes one space: CR LF counts as one break, and so do CR, LF, VT,
// FF, NEL (U+0085) and the line and paragraph separators (U+2028, U+2029)
// alone. Tabs stay. What the box shows is exactly what its field gets.
QLineEdit *newOneLine(const QString &text, QWidget *parent);

// A multi-line box; its line breaks stay, its lines wrap at its width, it
// shows no scroll bars (what is typed past its bottom scrolls into view with
// the caret), and Tab moves on to the next control instead of typing a tab.
QPlainTextEdit *newMultiLine(const QString &text, QWidget *parent);

// Lays the layout's text (the whole of a box's text, or a part of it) out as
// a single-line box draws it: one line, in the direction of the box's whole
// text, trailing spaces kept. Returns that line.
QTextLine layOutAsOneLine(QTextLayout &layout, const QString &boxText);

} // namespace Desktop::TextBox
