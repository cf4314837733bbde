// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

class QAccessibleInterface;
class QWidget;

// The text boxes as screen readers read them, character by character, word
// by word, line by line, over text of any length.
//
// Every question about a box's text has an answer taken from the box's text
// as it is now, in time proportional to its length at most, for every offset
// from 0 to the length: the character, word, sentence, line or paragraph at
// an offset, before it or after it. Words run from the start of one word to
// the start of the next, the spaces and punctuation after a word belonging to
// it; sentences likewise; lines are the lines the box shows (a one-line box
// is one line), each with its line break; a paragraph ends at a line break.
// At the end of the text the last word, sentence or line is the one at it
// (where the caret stands after it), but no character is; after a final line
// break the line at the end is the empty one there. The text's attributes are
// one run over the whole of it, whatever the offset; in a box whose spelling
// is checked (SpellingBox.h), a misspelled word is a run of its own with
// "invalid:spelling", and the plain runs end at such words.
namespace Desktop {

// An accessible interface for `box` when it is one of the program's text
// boxes (a QLineEdit or QPlainTextEdit), else none.
QAccessibleInterface *newAccessibleTextBox(QWidget *box);

} // namespace Desktop
