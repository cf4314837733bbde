// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "TextBox.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QValidator>

#include <algorithm>
#include <limits>

namespace Desktop::TextBox {
namespace {

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case u'\n': case u'\v': case u'\f': case u'\r': case 0x0085: case 0x2028: case 0x2029:
        return true;
    default:
        return false;
    }
}

// Makes each line break in text one space, CR LF included, and moves cursor
// back by one for every CR LF folded before it.
void foldLineBreaks(QString &text, int &cursor)
{
    const int oldCursor = cursor;
    qsizetype kept = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            ++i;  // CR LF: one break, one space
            if (i < oldCursor)
                --cursor;
        }
        text[kept++] = isLineBreak(c) ? QChar(u' ') : c;
    }
    text.truncate(kept);
}

// Every change of a one-line box passes through its validator before the box
// shows it or tells anyone; this one only folds line breaks and accepts
// everything. A change that held a break replaces the box's text, which also
// empties its undo history.
class LineBreakFolder : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString &text, int &cursor) const override
    {
        if (std::any_of(text.cbegin(), text.cend(), isLineBreak))
            foldLineBreaks(text, cursor);
        return Acceptable;
    }
};

// Keeps Alt+letter from typing the letter when no access key took it. Alt
// with Ctrl is AltGr on many systems, and X11 reports AltGr as a group
// switch; both must go on typing "@", "€" and the like.
class StrayAltKeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers();
        return modifiers.testFlag(Qt::AltModifier)
            && !(modifiers & (Qt::ControlModifier | Qt::GroupSwitchModifier))
            && !key->text().isEmpty() && key->text().at(0).isPrint();
    }
};

} // namespace

QTextLine layOutAsOneLine(QTextLayout &layout, const QString &boxText)
{
    QTextOption option;
    option.setTextDirection(boxText.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    layout.setTextOption(option);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    return line;
}

QLineEdit *newOneLine(const QString &text, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setMaxLength(std::numeric_limits<int>::max());  // the default cuts text at 32767
    box->setValidator(new LineBreakFolder(box));
    box->installEventFilter(new StrayAltKeyFilter(box));
    box->setText(text);
    return box;
}

QPlainTextEdit *newMultiLine(const QString &text, QWidget *parent)
{
    auto *box = new QPlainTextEdit(text, parent);
    box->setTabChangesFocus(true);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->installEventFilter(new StrayAltKeyFilter(box));
    return box;
}

} // namespace Desktop::TextBox
