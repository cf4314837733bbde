// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QtGlobal>

#include <optional>
#include <span>

class QWidget;

// Spelling in the one-line boxes that take prose. A word the dictionary does
// not know (see Spelling.h, SpellingWords.h) is underlined with the desktop's
// wavy line, in a red that stands out 3 : 1 from the box in any theme; the
// word at the caret waits while it is typed, until typing pauses or the
// caret leaves it. Marking only paints: the text, the caret and the
// selection are never touched. The box's menu (a right click on a word, or
// Shift+F10 or the Menu key for the word at the caret) starts with the
// dictionary's suggestions for a marked word (one replaces it, undone in one
// step), "Add to Dictionary" and "Ignore", then "Check Spelling" and the
// language, above the box's own items.
//
// Only the part of the box in view is checked when it is painted, so typing
// costs the same whatever the box holds. Before the first checked box is
// painted nothing of spelling is loaded; then Spelling::current() starts.
namespace Desktop {

// Checks the boxes `names` of `window`, one-line boxes all.
void checkSpelling(QWidget *window, std::span<const char *const> names);

// A stretch of a checked box's text around an offset (in UTF-16 units) that
// is one misspelled word or holds none.
struct SpellingRun {
    qsizetype start;
    qsizetype end;
    bool misspelled;
};

// The run of `box`'s text at `offset`; none when `box` is not checked now.
std::optional<SpellingRun> spellingRunAt(const QWidget *box, qsizetype offset);

} // namespace Desktop
