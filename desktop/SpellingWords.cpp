// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SpellingWords.h"

#include <algorithm>

namespace Desktop::SpellingWords {
namespace {

enum class Kind { Letter, Mark, Digit, Joiner, Hyphen, Other };

struct CodePoint {
    Kind kind;
    qsizetype width;  // 1, or 2 for a surrogate pair
};

CodePoint at(QStringView text, qsizetype i)
{
    char32_t c = text[i].unicode();
    qsizetype width = 1;
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        c = QChar::surrogateToUcs4(text[i], text[i + 1]);
        width = 2;
    }
    switch (c) {
    case u'\'': case 0x2019:
        return {Kind::Joiner, width};
    case u'-': case 0x2010: case 0x2011:
        return {Kind::Hyphen, width};
    default:
        break;
    }
    if (QChar::isLetter(c))
        return {Kind::Letter, width};
    if (QChar::isMark(c))
        return {Kind::Mark, width};
    if (QChar::isNumber(c))
        return {Kind::Digit, width};
    return {Kind::Other, width};
}

bool inWord(Kind kind) { return kind == Kind::Letter || kind == Kind::Mark || kind == Kind::Digit; }
bool isSpace(QStringView text, qsizetype i) { return text[i].isSpace(); }

// Whether a piece of text between white space is a web or e-mail address.
bool isAddress(QStringView piece)
{
    qsizetype first = 0;
    while (first < piece.size() && !piece[first].isLetterOrNumber())
        ++first;  // "(www.example.org)"
    if (piece.contains(u"://") || piece.mid(first).startsWith(u"www.", Qt::CaseInsensitive))
        return true;
    const qsizetype at = piece.indexOf(u'@');
    if (at <= 0 || !piece[at - 1].isLetterOrNumber())
        return false;
    const qsizetype dot = piece.indexOf(u'.', at + 1);
    return dot > at + 1 && dot + 1 < piece.size() && piece[dot + 1].isLetterOrNumber();
}

// The words of one piece of text between white space, [start, end) of `text`.
void wordsOfPiece(QStringView text, qsizetype start, qsizetype end, std::vector<Span> &words)
{
    if (isAddress(text.mid(start, end - start)))
        return;
    qsizetype i = start;
    while (i < end) {
        CodePoint c = at(text, i);
        if (!inWord(c.kind)) {
            i += c.width;
            continue;
        }
        // a run of letters, marks and digits, joined by an apostrophe or a
        // hyphen between two of them
        const qsizetype runStart = i;
        bool digit = false, letter = false;
        while (i < end) {
            c = at(text, i);
            if (inWord(c.kind)) {
                digit = digit || c.kind == Kind::Digit;
                letter = letter || c.kind == Kind::Letter;
                i += c.width;
            } else if ((c.kind == Kind::Joiner || c.kind == Kind::Hyphen) && i + c.width < end
                       && inWord(at(text, i + c.width).kind)) {
                i += c.width;
            } else {
                break;
            }
        }
        qsizetype wordStart = runStart;
        while (wordStart < i && at(text, wordStart).kind == Kind::Mark)
            ++wordStart;  // marks the character before the run, not the word
        if (letter && !digit && wordStart < i)
            words.push_back({wordStart, i});
    }
}

} // namespace

std::vector<Span> wordsAround(QStringView text, qsizetype from, qsizetype to)
{
    std::vector<Span> words;
    const qsizetype n = text.size();
    from = std::clamp<qsizetype>(from, 0, n);
    to = std::clamp<qsizetype>(to, from, n);
    // back to the start of the piece that holds `from`; one that starts
    // further back is too long to hold words
    qsizetype p = from;
    while (p > 0 && !isSpace(text, p - 1) && from - p <= LongestPiece)
        --p;
    bool cutShort = p > 0 && !isSpace(text, p - 1);
    while (p < n && (p < to || p == from)) {
        if (isSpace(text, p)) {
            ++p;
            continue;
        }
        const qsizetype start = p;
        while (p < n && !isSpace(text, p) && (p - start <= LongestPiece || p < to))
            ++p;
        const bool whole = p == n || isSpace(text, p);
        if (!cutShort && whole && p - start <= LongestPiece)
            wordsOfPiece(text, start, p, words);
        cutShort = false;
        if (!whole)
            break;
    }
    // an empty range overlaps the word it touches
    std::erase_if(words, [&](const Span &w) {
        return from == to ? w.end < from || w.start > from : w.end <= from || w.start >= to;
    });
    return words;
}

std::vector<Span> unknownAround(QStringView text, qsizetype from, qsizetype to,
                                const std::function<bool(QStringView)> &known)
{
    std::vector<Span> unknown;
    for (const Span &word : wordsAround(text, from, to)) {
        if (known(text.mid(word.start, word.end - word.start)))
            continue;
        // the parts of a hyphenated word, each on its own
        qsizetype part = word.start;
        for (qsizetype i = word.start; i <= word.end; ++i) {
            if (i < word.end && at(text, i).kind != Kind::Hyphen)
                continue;
            const bool whole = part == word.start && i == word.end;
            if (whole || !known(text.mid(part, i - part)))
                unknown.push_back({part, i});
            part = i + 1;
        }
    }
    return unknown;
}

QString dictionaryForm(QStringView word)
{
    QString form = word.toString();
    form.replace(QChar(0x2019), u'\'');
    return form.normalized(QString::NormalizationForm_C);
}

} // namespace Desktop::SpellingWords
