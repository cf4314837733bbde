// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

// Which stretches of a text are words to spell, as the desktop's other
// programs find them: runs of letters (with their combining marks) joined by
// apostrophes (' and ’) and hyphens inside them. A run that holds a digit
// ("2nd", "mp3") is no word to spell, nor is anything in a piece of text
// between white space that is a web or e-mail address ("https://…",
// "www.…", "name@host.org"), nor a piece longer than LongestPiece. A
// hyphenated word the dictionary does not know is spelled part by part, and
// only the parts it does not know are marked.
//
// Every look is near a place: from a few units before a range to a few
// after, never the whole text, so that a box of any length costs the same.
namespace Desktop::SpellingWords {

struct Span {
    qsizetype start;  // UTF-16 units
    qsizetype end;
};

// A piece of text without white space longer than this (in UTF-16 units)
// holds no word to spell; no dictionary has words that long.
inline constexpr qsizetype LongestPiece = 100;

// The words of `text` that overlap [from, to), as spans of the text, in order.
std::vector<Span> wordsAround(QStringView text, qsizetype from, qsizetype to);

// Those words, or their hyphenated parts, that `known` does not know.
std::vector<Span> unknownAround(QStringView text, qsizetype from, qsizetype to,
                                const std::function<bool(QStringView)> &known);

// A word as a dictionary takes it: composed (NFC), with the typographic
// apostrophe as the plain one.
QString dictionaryForm(QStringView word);

} // namespace Desktop::SpellingWords
