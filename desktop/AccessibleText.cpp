// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "AccessibleText.h"

#include "SpellingBox.h"
#include "TextBox.h"

#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

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

// Screen readers count characters (code points), where a QString counts
// UTF-16 units, two for an emoji or a mathematical letter. Every offset
// crosses between the two at the interface's edge; inside, all is units.

// The number of characters in the first `units` units of `text`.
int charactersIn(QStringView text, qsizetype units)
{
    units = std::clamp<qsizetype>(units, 0, text.size());
    int characters = 0;
    for (qsizetype i = 0; i < units; ++i)
        if (!(text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate()))
            ++characters;
    return characters;
}

// Where the character at `characters` starts in `text`, in units: 0 before
// the text, its length at or past its end.
qsizetype unitsBefore(QStringView text, int characters)
{
    qsizetype i = 0;
    for (int c = 0; c < characters && i < text.size(); ++c)
        i += text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
    return i;
}

// The positions where Ctrl+Left and Ctrl+Right put the caret in `text`, as
// the boxes' own word moves find them (a paragraph at a time in a multi-line
// box), with the start and the end of the text: a word and its punctuation
// are two stops, spaces after either belong to it.
std::vector<int> wordStops(const QString &text)
{
    std::vector<int> stops{0};
    int paragraph = 0;
    for (const QStringView part : QStringView(text).split(u'\n')) {
        QTextLayout layout(part.toString());
        const int length = int(part.size());
        for (int p = 0; p < length; p = layout.nextCursorPosition(p, QTextLayout::SkipWords))
            stops.push_back(paragraph + p);
        for (int p = length; p > 0; p = layout.previousCursorPosition(p, QTextLayout::SkipWords))
            stops.push_back(paragraph + p);
        paragraph += length + 1;
    }
    stops.push_back(int(text.size()));
    std::sort(stops.begin(), stops.end());
    stops.erase(std::unique(stops.begin(), stops.end()), stops.end());
    // a paragraph's end is no stop of its own: its line break ends the word before it
    std::erase_if(stops, [&text](int p) { return p < text.size() && text.at(p) == u'\n' && p > 0; });
    return stops;
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
        const qsizetype start = unitsBefore(all, std::max(startOffset, 0));
        const qsizetype end = std::max(start, unitsBefore(all, std::max(endOffset, 0)));
        return all.mid(start, end - start);
    }

    int characterCount() const override
    {
        const QString all = content();
        return charactersIn(all, all.size());
    }

    int cursorPosition() const override { return charactersIn(content(), caret()); }

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

    // Plain text: one run over all of it, which holds every offset; in a box
    // whose spelling is checked, each misspelled word is a run of its own.
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        const int length = characterCount();
        if (offset == -1 || offset == -2)
            offset = offset == -1 ? length : cursorPosition();
        const bool within = offset >= 0 && offset <= length;
        *startOffset = within ? 0 : -1;
        *endOffset = within ? length : -1;
        const QString all = content();
        const std::optional<SpellingRun> run = within ? spellingRunAt(widget(), unitsBefore(all, offset)) : std::nullopt;
        if (!run)
            return QString();
        *startOffset = charactersIn(all, run->start);
        *endOffset = *startOffset + charactersIn(QStringView(all).mid(run->start), run->end - run->start);
        return run->misspelled ? QStringLiteral("invalid:spelling") : QString();
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
        const QString all = content();
        *startOffset = exists ? charactersIn(all, selected.start) : -1;
        *endOffset = exists ? charactersIn(all, selected.end) : -1;
    }

    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }

    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0)
            select(caret(), caret());
    }

    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex != 0)
            return;
        const QString all = content();
        select(int(unitsBefore(all, std::max(startOffset, 0))), int(unitsBefore(all, std::max(endOffset, 0))));
    }

    void setCursorPosition(int position) override
    {
        const int at = int(unitsBefore(content(), std::max(position, 0)));
        select(at, at);
    }

    void scrollToSubstring(int startIndex, int) override { setCursorPosition(startIndex); }

    // Where the box draws the character, on the screen, from its leading
    // edge to its trailing one whichever way its text runs.
    QRect characterRect(int offset) const override
    {
        const QString all = content();
        if (offset < 0 || offset > charactersIn(all, all.size()))
            return QRect();
        // a combining mark is drawn with the letter it marks
        QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, all);
        graphemes.setPosition(unitsBefore(all, offset));
        if (!graphemes.isAtBoundary())
            graphemes.toPreviousBoundary();
        const int at = int(graphemes.position());
        const int end = at < all.size() ? int(graphemes.toNextBoundary()) : at;
        return placeOf(at, end - at);
    }

    int offsetAtPoint(const QPoint &point) const override
    {
        const int at = unitAt(point);
        return at < 0 ? -1 : charactersIn(content(), at);
    }

    void replaceText(int startOffset, int endOffset, const QString &text) override
    {
        const QString all = content();
        const int start = int(unitsBefore(all, std::max(startOffset, 0)));
        replaceUnits(start, std::max(start, int(unitsBefore(all, std::max(endOffset, 0)))), text);
    }

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
    // What the interface answers in characters, in UTF-16 units of the text:
    // the caret; where the `length` units at `at` are drawn (none: where the
    // caret stands at the end); the place at a point on the screen, or -1
    // outside the box; replacing the text from `start` to `end`.
    virtual int caret() const = 0;
    virtual QRect placeOf(int at, int length) const = 0;
    virtual int unitAt(const QPoint &point) const = 0;
    virtual void replaceUnits(int start, int end, const QString &text) = 0;

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
            offset = caret();
        else if (offset >= 0 && offset <= charactersIn(all, length))
            offset = int(unitsBefore(all, offset));
        else
            offset = -1;
        if (offset < 0) {
            *startOffset = *endOffset = -1;
            return QString();
        }
        const Segments segments(all, boundary, *this);
        Span span = segments.at(offset);
        if (side < 0)
            span = span.start > 0 ? segments.holding(span.start - 1) : Span{0, 0};
        else if (side > 0)
            span = span.end < length ? segments.holding(span.end) : Span{length, length};
        *startOffset = charactersIn(all, span.start);
        *endOffset = *startOffset + charactersIn(QStringView(all).mid(span.start), span.end - span.start);
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
                stops = wordStops(text);
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
                return between(offset);
            case QAccessible::WordBoundary: {
                // from one caret stop to the next
                const auto next = std::upper_bound(stops.begin(), stops.end(), offset);
                return {*std::prev(next), *next};
            }
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
        // The nearest boundaries at or before `offset` and after it; the
        // text's start and end always are.
        Span between(int offset) const
        {
            QTextBoundaryFinder &f = *finder;
            const int length = int(text.size());
            f.setPosition(offset);
            int start = offset;
            while (start > 0 && !f.isAtBoundary())
                start = int(f.toPreviousBoundary());
            f.setPosition(offset);
            const int end = int(f.toNextBoundary());
            return {std::max(start, 0), end > 0 ? end : length};
        }

        const QString &text;
        const QAccessible::TextBoundaryType boundary;
        const TextBoxInterface &box;
        mutable std::optional<QTextBoundaryFinder> finder;
        std::vector<int> stops;
    };
};

// The screen box from `lead` to `trail`, two edges of a character along a
// line, `origin` the line's left end on the screen and `line` its height.
QRect between(qreal lead, qreal trail, const QPoint &origin, int height)
{
    const int left = int(std::floor(std::min(lead, trail))), right = int(std::ceil(std::max(lead, trail)));
    return QRect(origin + QPoint(left, 0), QSize(right - left, height));
}

class OneLineInterface : public TextBoxInterface {
public:
    explicit OneLineInterface(QLineEdit *box)
        : TextBoxInterface(box)
    {
    }

protected:
    QString content() const override { return box()->text(); }
    bool readOnly() const override { return box()->isReadOnly(); }
    bool multiLine() const override { return false; }
    int caret() const override { return box()->cursorPosition(); }

    Span selection() const override
    {
        if (!box()->hasSelectedText())
            return {caret(), caret()};
        return {box()->selectionStart(), box()->selectionEnd()};
    }

    void select(int anchor, int position) override
    {
        if (anchor == position)
            box()->setCursorPosition(position);
        else
            box()->setSelection(anchor, position - anchor);  // the caret ends at `position`
    }

    Span lineAt(int) const override { return {0, int(content().size())}; }

    // The box's text laid out as the box lays it out, in one line, placed
    // where the box draws its caret.
    QRect placeOf(int at, int length) const override
    {
        const QString text = box()->displayText();
        QTextLayout layout(text, box()->font());
        const QTextLine line = TextBox::layOutAsOneLine(layout, text);
        const QRect caretPlace = box()->inputMethodQuery(Qt::ImCursorRectangle).toRect();  // around the caret
        const int caretX = caretPlace.left() + caretPlace.width() / 2;
        const QPoint origin(caretX - qRound(line.cursorToX(caret())), caretPlace.top());
        const qreal lead = line.cursorToX(at, QTextLine::Leading);
        const qreal trail = length > 0 ? line.cursorToX(at, QTextLine::Trailing) : lead;
        return between(lead, trail, box()->mapToGlobal(origin), caretPlace.height());
    }

    int unitAt(const QPoint &point) const override
    {
        const QPoint inside = box()->mapFromGlobal(point);
        return box()->rect().contains(inside) ? box()->cursorPositionAt(inside) : -1;
    }

    void replaceUnits(int start, int end, const QString &text) override
    {
        box()->setSelection(start, end - start);
        box()->insert(text);  // line breaks fold as typed ones do
    }

private:
    QLineEdit *box() const { return static_cast<QLineEdit *>(widget()); }
};

class MultiLineInterface : public TextBoxInterface {
public:
    explicit MultiLineInterface(QPlainTextEdit *box)
        : TextBoxInterface(box)
    {
    }

protected:
    QString content() const override { return box()->toPlainText(); }
    bool readOnly() const override { return box()->isReadOnly(); }
    bool multiLine() const override { return true; }
    int caret() const override { return box()->textCursor().position(); }

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
        const int blockEnd = std::min(blockStart + block.length(), int(content().size()));  // line break included
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

    // From the line the box laid the character out in, placed where the box
    // draws the caret before it; a line break has no width.
    QRect placeOf(int at, int length) const override
    {
        QTextCursor cursor(box()->document());
        cursor.setPosition(at);
        const QRect here = box()->cursorRect(cursor);
        const QTextBlock block = cursor.block();
        const int inBlock = at - block.position();
        const QTextLine line = block.layout() ? block.layout()->lineForTextPosition(inBlock) : QTextLine();
        const bool drawn = length > 0 && inBlock < block.length() - 1;
        if (!line.isValid() || !drawn)
            return QRect(box()->viewport()->mapToGlobal(here.topLeft()), QSize(0, here.height()));
        const qreal lead = line.cursorToX(inBlock, QTextLine::Leading);
        const QPoint origin(here.left() - qRound(line.cursorToX(inBlock)), here.top());
        return between(lead, line.cursorToX(inBlock, QTextLine::Trailing), box()->viewport()->mapToGlobal(origin),
                       here.height());
    }

    int unitAt(const QPoint &point) const override
    {
        const QPoint inside = box()->viewport()->mapFromGlobal(point);
        return box()->viewport()->rect().contains(inside) ? box()->cursorForPosition(inside).position() : -1;
    }

    void replaceUnits(int start, int end, const QString &text) override
    {
        QTextCursor cursor(box()->document());
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.insertText(text);
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
