// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "AccessibleText.h"

#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextLayout>

#include <algorithm>
#include <optional>

// Qt's own interfaces for these boxes compute text boundaries by stepping a
// QTextBoundaryFinder until it passes an offset; at the end of the text the
// finder answers -1, which never passes it, and the program hangs for good.
// They also report every attribute run as empty. These interfaces answer
// from the text itself, every step bounded by its length.
namespace Desktop {
namespace {

struct Span {
    int start;
    int end;
};

bool endsWithLineBreak(const QString &text)
{
    return text.endsWith(u'\n');
}

// What both kinds of box have in common: the role, the states, the value and
// every question about the text, answered from the box's text and its lines.
class TextBoxInterface : public QAccessibleWidget,
                         public QAccessibleTextInterface,
                         public QAccessibleEditableTextInterface {
public:
    explicit TextBoxInterface(QWidget *box)
        : QAccessibleWidget(box, QAccessible::EditableText)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // A box's scroll bars and viewport are parts of it, not controls of their own.
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = !readOnly();
        state.readOnly = readOnly();
        state.selectableText = true;
        state.multiLine = multiLine();
        return state;
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? content() : QAccessibleWidget::text(t);
    }

    QString text(int startOffset, int endOffset) const override
    {
        const QString all = content();
        startOffset = std::clamp(startOffset, 0, int(all.size()));
        endOffset = std::clamp(endOffset, startOffset, int(all.size()));
        return all.mid(startOffset, endOffset - startOffset);
    }

    int characterCount() const override { return int(content().size()); }

    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int *startOffset,
                             int *endOffset) const override
    {
        return answer(offset, boundary, -1, startOffset, endOffset);
    }

    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int *startOffset,
                         int *endOffset) const override
    {
        return answer(offset, boundary, 0, startOffset, endOffset);
    }

    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int *startOffset,
                            int *endOffset) const override
    {
        return answer(offset, boundary, 1, startOffset, endOffset);
    }

    // Plain text: one run over all of it, which holds every offset.
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        const int length = characterCount();
        if (offset == -1 || offset == -2)
            offset = offset == -1 ? length : cursorPosition();
        const bool within = offset >= 0 && offset <= length;
        *startOffset = within ? 0 : -1;
        *endOffset = within ? length : -1;
        return QString();
    }

    int selectionCount() const override
    {
        const Span selected = selection();
        return selected.start < selected.end ? 1 : 0;
    }

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        const Span selected = selection();
        const bool exists = selectionIndex == 0 && selected.start < selected.end;
        *startOffset = exists ? selected.start : -1;
        *endOffset = exists ? selected.end : -1;
    }

    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }

    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0)
            select(cursorPosition(), cursorPosition());
    }

    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex != 0)
            return;
        const int length = characterCount();
        select(std::clamp(startOffset, 0, length), std::clamp(endOffset, 0, length));
    }

    void setCursorPosition(int position) override
    {
        position = std::clamp(position, 0, characterCount());
        select(position, position);
    }

    void scrollToSubstring(int startIndex, int) override { setCursorPosition(startIndex); }

    void deleteText(int startOffset, int endOffset) override { replaceText(startOffset, endOffset, QString()); }
    void insertText(int offset, const QString &text) override { replaceText(offset, offset, text); }

protected:
    virtual QString content() const = 0;
    virtual bool readOnly() const = 0;
    virtual bool multiLine() const = 0;
    virtual Span selection() const = 0;
    // Selects from `anchor` to `position`, leaving the caret at `position`.
    virtual void select(int anchor, int position) = 0;
    // The line the box shows that holds `offset`, line break included;
    // `offset` is less than the text's length.
    virtual Span lineAt(int offset) const = 0;

private:
    // The segment of `boundary` kind at `offset` (`side` 0), the one before
    // it (-1) or the one after it (1); an offset outside the text has none.
    QString answer(int offset, QAccessible::TextBoundaryType boundary, int side, int *startOffset,
                   int *endOffset) const
    {
        const QString all = content();
        const int length = int(all.size());
        if (offset == -1)
            offset = length;
        else if (offset == -2)
            offset = cursorPosition();
        if (offset < 0 || offset > length) {
            *startOffset = *endOffset = -1;
            return QString();
        }
        const Segments segments(all, boundary, *this);
        Span span = segments.at(offset);
        if (side < 0)
            span = span.start > 0 ? segments.holding(span.start - 1) : Span{0, 0};
        else if (side > 0)
            span = span.end < length ? segments.holding(span.end) : Span{length, length};
        *startOffset = span.start;
        *endOffset = span.end;
        return all.mid(span.start, span.end - span.start);
    }

    // A text cut into segments of one kind. Finding the one that holds an
    // offset steps from it to the nearest boundaries on either side, each
    // step a move of the finder to a neighbouring boundary, so that no
    // question takes longer than a walk over the text.
    class Segments {
    public:
        Segments(const QString &text, QAccessible::TextBoundaryType boundary, const TextBoxInterface &box)
            : text(text), boundary(boundary), box(box)
        {
            switch (boundary) {
            case QAccessible::CharBoundary:
                finder.emplace(QTextBoundaryFinder::Grapheme, text);
                break;
            case QAccessible::WordBoundary:
                finder.emplace(QTextBoundaryFinder::Word, text);
                break;
            case QAccessible::SentenceBoundary:
                finder.emplace(QTextBoundaryFinder::Sentence, text);
                break;
            default:
                break;
            }
        }

        // The segment at `offset`: the one that holds it, or at the end of
        // the text the one that ends there (none for a character, and the
        // empty line after a final line break).
        Span at(int offset) const
        {
            const int length = int(text.size());
            if (offset < length)
                return holding(offset);
            const bool lines = boundary == QAccessible::LineBoundary || boundary == QAccessible::ParagraphBoundary;
            if (length == 0 || boundary == QAccessible::CharBoundary || (lines && endsWithLineBreak(text)))
                return {length, length};
            return holding(length - 1);
        }

        // The segment that holds `offset`, which is within the text.
        Span holding(int offset) const
        {
            const int length = int(text.size());
            switch (boundary) {
            case QAccessible::CharBoundary:
            case QAccessible::SentenceBoundary:
                return between(offset, [](QTextBoundaryFinder &) { return true; });
            case QAccessible::WordBoundary:
                // from the start of a word to the start of the next
                return between(offset, [](QTextBoundaryFinder &f) {
                    return f.boundaryReasons().testFlag(QTextBoundaryFinder::StartOfItem);
                });
            case QAccessible::LineBoundary:
                return box.lineAt(offset);
            case QAccessible::ParagraphBoundary: {
                const int start = offset > 0 ? int(text.lastIndexOf(u'\n', offset - 1)) + 1 : 0;
                const qsizetype lineBreak = text.indexOf(u'\n', offset);
                return {start, lineBreak < 0 ? length : int(lineBreak) + 1};
            }
            default:
                return {0, length};
            }
        }

    private:
        // The nearest boundaries at or before `offset` and after it that
        // `counts`; the text's start and end always count.
        template <class Counts>
        Span between(int offset, Counts counts) const
        {
            QTextBoundaryFinder &f = *finder;
            const int length = int(text.size());
            f.setPosition(offset);
            int start = offset;
            while (start > 0 && !(f.isAtBoundary() && counts(f)))
                start = int(f.toPreviousBoundary());
            f.setPosition(offset);
            int end = int(f.toNextBoundary());
            while (end > 0 && end < length && !counts(f))
                end = int(f.toNextBoundary());
            return {std::max(start, 0), end > 0 ? end : length};
        }

        const QString &text;
        const QAccessible::TextBoundaryType boundary;
        const TextBoxInterface &box;
        mutable std::optional<QTextBoundaryFinder> finder;
    };
};

class OneLineInterface : public TextBoxInterface {
public:
    explicit OneLineInterface(QLineEdit *box)
        : TextBoxInterface(box)
    {
    }

    int cursorPosition() const override { return box()->cursorPosition(); }

    // Where the box draws the character, on the screen: found from where it
    // draws the caret, by the width of the text between the two.
    QRect characterRect(int offset) const override
    {
        const QString text = box()->displayText();
        if (offset < 0 || offset > text.size())
            return QRect();
        const QRect caret = box()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const QFontMetrics metrics(box()->font());
        const int cursor = box()->cursorPosition();
        const int from = std::min(cursor, offset), to = std::max(cursor, offset);
        const int between = metrics.horizontalAdvance(QStringView(text).mid(from, to - from).toString());
        const int caretX = caret.center().x();
        const int x = offset >= cursor ? caretX + between : caretX - between;
        const int width = offset < text.size() ? metrics.horizontalAdvance(text.at(offset)) : 0;
        return QRect(box()->mapToGlobal(QPoint(x, caret.top())), QSize(width, caret.height()));
    }

    int offsetAtPoint(const QPoint &point) const override
    {
        const QPoint inside = box()->mapFromGlobal(point);
        return box()->rect().contains(inside) ? box()->cursorPositionAt(inside) : -1;
    }

    void replaceText(int startOffset, int endOffset, const QString &text) override
    {
        const int length = characterCount();
        startOffset = std::clamp(startOffset, 0, length);
        endOffset = std::clamp(endOffset, startOffset, length);
        box()->setSelection(startOffset, endOffset - startOffset);
        box()->insert(text);  // line breaks fold as typed ones do
    }

protected:
    QString content() const override { return box()->text(); }
    bool readOnly() const override { return box()->isReadOnly(); }
    bool multiLine() const override { return false; }

    Span selection() const override
    {
        if (!box()->hasSelectedText())
            return {cursorPosition(), cursorPosition()};
        return {box()->selectionStart(), box()->selectionEnd()};
    }

    void select(int anchor, int position) override
    {
        if (anchor == position)
            box()->setCursorPosition(position);
        else
            box()->setSelection(anchor, position - anchor);  // the caret ends at `position`
    }

    Span lineAt(int) const override { return {0, characterCount()}; }

private:
    QLineEdit *box() const { return static_cast<QLineEdit *>(widget()); }
};

class MultiLineInterface : public TextBoxInterface {
public:
    explicit MultiLineInterface(QPlainTextEdit *box)
        : TextBoxInterface(box)
    {
    }

    int cursorPosition() const override { return box()->textCursor().position(); }

    QRect characterRect(int offset) const override
    {
        if (offset < 0 || offset > characterCount())
            return QRect();
        QTextCursor cursor(box()->document());
        cursor.setPosition(offset);
        const QRect here = box()->cursorRect(cursor);
        int width = 0;
        const QChar c = box()->document()->characterAt(offset);
        if (offset < characterCount() && c != QChar::ParagraphSeparator) {
            cursor.setPosition(offset + 1);
            const QRect next = box()->cursorRect(cursor);
            width = next.top() == here.top() ? next.left() - here.left() : QFontMetrics(box()->font()).horizontalAdvance(c);
        }
        return QRect(box()->viewport()->mapToGlobal(here.topLeft()), QSize(width, here.height()));
    }

    int offsetAtPoint(const QPoint &point) const override
    {
        const QPoint inside = box()->viewport()->mapFromGlobal(point);
        return box()->viewport()->rect().contains(inside) ? box()->cursorForPosition(inside).position() : -1;
    }

    void replaceText(int startOffset, int endOffset, const QString &text) override
    {
        const int length = characterCount();
        QTextCursor cursor(box()->document());
        cursor.setPosition(std::clamp(startOffset, 0, length));
        cursor.setPosition(std::clamp(endOffset, 0, length), QTextCursor::KeepAnchor);
        cursor.insertText(text);
    }

protected:
    QString content() const override { return box()->toPlainText(); }
    bool readOnly() const override { return box()->isReadOnly(); }
    bool multiLine() const override { return true; }

    Span selection() const override
    {
        const QTextCursor cursor = box()->textCursor();
        return {cursor.selectionStart(), cursor.selectionEnd()};
    }

    void select(int anchor, int position) override
    {
        QTextCursor cursor(box()->document());
        cursor.setPosition(anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        box()->setTextCursor(cursor);
    }

    // The line as the box lays it out; a paragraph not laid out yet (out of
    // view) counts as one line.
    Span lineAt(int offset) const override
    {
        const QTextBlock block = box()->document()->findBlock(offset);
        const int blockStart = block.position();
        const int blockEnd = std::min(blockStart + block.length(), characterCount());  // line break included
        const QTextLayout *layout = block.layout();
        if (!layout || layout->lineCount() == 0)
            return {blockStart, blockEnd};
        const QTextLine line = layout->lineForTextPosition(offset - blockStart);
        if (!line.isValid())
            return {blockStart, blockEnd};
        const int start = blockStart + line.textStart();
        const bool last = line.lineNumber() == layout->lineCount() - 1;
        return {start, last ? blockEnd : start + line.textLength()};
    }

private:
    QPlainTextEdit *box() const { return static_cast<QPlainTextEdit *>(widget()); }
};

} // namespace

QAccessibleInterface *newAccessibleTextBox(QWidget *box)
{
    if (auto *oneLine = qobject_cast<QLineEdit *>(box))
        return new OneLineInterface(oneLine);
    if (auto *multiLine = qobject_cast<QPlainTextEdit *>(box))
        return new MultiLineInterface(multiLine);
    return nullptr;
}

} // namespace Desktop
