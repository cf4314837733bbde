// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SpellingBox.h"

#include "Legibility.h"
#include "Spelling.h"
#include "SpellingWords.h"
#include "TextBox.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace Desktop {
namespace {

using SpellingWords::Span;

// A word typed waits this long after the last key before it is marked.
constexpr std::chrono::milliseconds TypingPause{100};

// How far from an offset a screen reader's question about it looks for
// misspelled words, each way, in UTF-16 units.
constexpr qsizetype RunReach = 2048;

// The red of the marks, made darker or lighter as far as the box needs.
constexpr QColor markRed(0xe0, 0x1b, 0x24);
constexpr double MarkContrast = 3.0;

// A dictionary's name as its language names itself: "Deutsch (Deutschland)",
// "American English".
QString languageName(const QString &name)
{
    const QLocale locale(name);
    if (locale.language() == QLocale::C)
        return name;
    QString spoken = locale.nativeLanguageName();
    if (name.contains(u'_') && !spoken.contains(u' '))  // "American English" says its country
        spoken += QStringLiteral(" (%1)").arg(locale.nativeTerritoryName());
    return spoken.left(1).toUpper() + spoken.mid(1);
}

// Where a one-line box draws its text.
QRect textArea(const QLineEdit *box)
{
    QStyleOptionFrame option;
    option.initFrom(box);
    option.rect = box->contentsRect();
    option.lineWidth = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box) : 0;
    option.state |= QStyle::State_Sunken;
    return box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box).marginsRemoved(box->textMargins());
}

class BoxMarker : public QObject {
    Q_OBJECT

public:
    explicit BoxMarker(QLineEdit *box)
        : QObject(box), box(box), pause(new QTimer(this))
    {
        pause->setSingleShot(true);
        pause->setInterval(TypingPause);
        box->installEventFilter(this);
        Spelling::watch(box);
        connect(box, &QLineEdit::textEdited, this, &BoxMarker::typed);
        connect(box, &QLineEdit::cursorPositionChanged, this, &BoxMarker::caretMoved);
        connect(pause, &QTimer::timeout, this, &BoxMarker::paused);
    }

    // Whether the box is spelled now: switched on, with a dictionary.
    bool active() const
    {
        const Spelling *spelling = Spelling::current();
        return spelling && spelling->switchedOn() && spelling->hasDictionary()
            && box->echoMode() == QLineEdit::Normal;
    }

    SpellingRun runAt(qsizetype offset) const
    {
        const QString text = box->text();
        const qsizetype n = text.size();
        if (n == 0)
            return {0, 0, false};
        offset = std::clamp<qsizetype>(offset, 0, n - 1);  // the end is in the last character's run
        const qsizetype from = std::max<qsizetype>(0, offset - RunReach), to = std::min(n, offset + RunReach + 1);
        qsizetype start = from, end = to;
        for (const Span &word : misspelled(text, from, to)) {
            if (word.start <= offset && offset < word.end)
                return {word.start, word.end, true};
            if (word.end <= offset)
                start = std::max(start, word.end);
            else
                end = std::min(end, word.start);
        }
        return {start, end, false};
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Paint:
            if (Spelling *spelling = Spelling::current(); spelling && !spelling->started())
                QTimer::singleShot(0, spelling, &Spelling::start);  // after this first paint
            if (!active())
                return false;
            static_cast<QObject *>(box)->event(event);  // the box's own painting, then the marks over it
            paintMarks();
            if (typedAt >= 0)
                pause->start();  // a pause counts from when the last key shows: a long box is slow to paint
            return true;
        case QEvent::ContextMenu: {
            const Spelling *spelling = Spelling::current();
            if (!spelling || !spelling->ready())
                return false;
            const auto *asked = static_cast<QContextMenuEvent *>(event);
            const bool mouse = asked->reason() == QContextMenuEvent::Mouse;
            showMenu(asked->globalPos(), mouse ? box->cursorPositionAt(asked->pos()) : box->cursorPosition());
            return true;
        }
        case QEvent::KeyPress: {
            // Shift+F10 asks for the menu as the Menu key does
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() != Qt::Key_F10 || key->modifiers() != Qt::ShiftModifier)
                return false;
            const QPoint caret = box->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
            QContextMenuEvent menu(QContextMenuEvent::Keyboard, caret, box->mapToGlobal(caret));
            QCoreApplication::sendEvent(box, &menu);
            return true;
        }
        default:
            return false;
        }
    }

private:
    // The misspelled words overlapping [from, to), but the one being typed.
    std::vector<Span> misspelled(const QString &text, qsizetype from, qsizetype to) const
    {
        Spelling *spelling = Spelling::current();
        std::vector<Span> words =
            SpellingWords::unknownAround(text, from, to, [spelling](QStringView word) { return spelling->known(word); });
        const qsizetype caret = box->cursorPosition();
        std::erase_if(words, [&](const Span &w) {
            return typedAt >= w.start && typedAt <= w.end && caret >= w.start && caret <= w.end;
        });
        return words;
    }

    // The word being typed, when the dictionary does not know it: the one
    // mark that waits.
    std::optional<Span> waitingMark() const
    {
        if (typedAt < 0 || !active())
            return std::nullopt;
        Spelling *spelling = Spelling::current();
        for (const Span &word : SpellingWords::unknownAround(box->text(), typedAt, typedAt, [spelling](QStringView w) {
                 return spelling->known(w);
             }))
            if (word.start <= typedAt && typedAt <= word.end)
                return word;
        return std::nullopt;
    }

    void typed()
    {
        typedAt = box->cursorPosition();
        pause->start();
    }

    // At a pause the box is painted again only when the word typed gains its
    // mark: a long box costs as much to paint as to lay out.
    void paused()
    {
        const bool waited = waitingMark().has_value();
        typedAt = -1;
        if (waited)
            box->update();
    }

    void caretMoved(int, int now)
    {
        const std::optional<Span> word = waitingMark();
        if (word && (now < word->start || now > word->end)) {
            typedAt = -1;
            box->update();
        }
    }

    void paintMarks();
    void showMenu(const QPoint &place, qsizetype offset);
    QMenu *languageMenu(QMenu *menu);
    void replace(Span word, const QString &was, const QString &by);

    QLineEdit *const box;
    QTimer *const pause;
    qsizetype typedAt = -1;
};

// The marks of the words in view: a wavy line under each, placed by a layout
// of the text around the caret as the box lays it out (the whole text when
// it is short), from where the box draws its caret. Drawn without smoothing,
// so that every pixel of it is of its colour.
void BoxMarker::paintMarks()
{
    const QString text = box->text();
    const qsizetype caret = box->cursorPosition();
    const qsizetype reach = std::max(box->width(), 64);  // a character in view is a pixel wide at least
    const std::vector<Span> words =
        misspelled(text, std::max<qsizetype>(0, caret - reach), std::min(text.size(), caret + reach));
    if (words.empty())
        return;
    qsizetype from = std::min(words.front().start, caret), to = std::max(words.back().end, caret);
    if (text.size() <= 4 * reach)
        from = 0, to = text.size();
    while (from > 0 && !text.at(from - 1).isSpace() && words.front().start - from < SpellingWords::LongestPiece)
        --from;
    QTextLayout layout(text.mid(from, to - from), box->font());
    const QTextLine line = TextBox::layOutAsOneLine(layout, text);

    const QRect caretPlace = box->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    const qreal left = caretPlace.left() + caretPlace.width() / 2 - line.cursorToX(int(caret - from));
    const int height = std::max(2, qRound(line.descent() / 2));  // of the wave, from its top to its bottom
    const int top = caretPlace.top() + qRound(line.ascent()) + 1;
    QPainter painter(box);
    painter.setClipRect(textArea(box));
    painter.setPen(legibleOn(markRed, box->palette().color(QPalette::Base), MarkContrast));
    for (const Span &word : words) {
        const qreal a = line.cursorToX(int(word.start - from)), b = line.cursorToX(int(word.end - from));
        const int x0 = qRound(left + std::min(a, b)), x1 = qRound(left + std::max(a, b));
        QPolygon wave;
        for (int x = x0, step = 0; x <= x1; x += height, ++step)
            wave << QPoint(std::min(x, x1), top + (step % 2 ? 0 : height));
        painter.drawPolyline(wave);
    }
}

void BoxMarker::showMenu(const QPoint &place, qsizetype offset)
{
    Spelling *spelling = Spelling::current();
    typedAt = -1;  // asking is a pause
    auto *menu = new QMenu(box);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QString text = box->text();
    std::vector<Span> words = active() ? misspelled(text, offset, offset) : std::vector<Span>();
    std::erase_if(words, [offset](const Span &w) { return offset < w.start || offset > w.end; });  // another part
    if (!words.empty()) {
        const Span word = words.front();
        const QString was = text.mid(word.start, word.end - word.start);
        const QStringList suggestions = spelling->suggestions(was);
        for (const QString &suggestion : suggestions)
            connect(menu->addAction(suggestion), &QAction::triggered, this, [=, this] { replace(word, was, suggestion); });
        if (suggestions.isEmpty())
            menu->addAction(tr("No Suggestions"))->setEnabled(false);
        menu->addSeparator();
        connect(menu->addAction(tr("Add to Dictionary")), &QAction::triggered, spelling,
                [spelling, was] { spelling->addToDictionary(was); });
        connect(menu->addAction(tr("Ignore")), &QAction::triggered, spelling, [spelling, was] { spelling->ignore(was); });
        menu->addSeparator();
    }
    QAction *check = menu->addAction(tr("Check Spelling"));
    check->setCheckable(true);
    check->setChecked(spelling->switchedOn());
    connect(check, &QAction::toggled, spelling, &Spelling::switchOn);
    menu->addMenu(languageMenu(menu));
    menu->addSeparator();
    QMenu *own = box->createStandardContextMenu();  // Undo, Cut, Copy, Paste, Select All...
    own->setParent(menu, own->windowFlags());
    menu->addActions(own->actions());
    menu->popup(place);
}

// The installed dictionaries to choose from, the one in use checked; when the
// language spelled has none, first what would install it.
QMenu *BoxMarker::languageMenu(QMenu *menu)
{
    Spelling *spelling = Spelling::current();
    auto *languages = new QMenu(tr("Language"), menu);
    const QString inUse = SpellingSettings::dictionaryFor(spelling->language(), spelling->installed());
    if (inUse.isEmpty()) {
        const QString package = SpellingSettings::packageFor(spelling->language());
        languages->addAction(spelling->installed().isEmpty()
                                 ? tr("No dictionary installed (install %1)").arg(package)
                                 : tr("%1: no dictionary installed (install %2)")
                                       .arg(languageName(spelling->language()), package))
            ->setEnabled(false);
    }
    auto *group = new QActionGroup(languages);
    for (const QString &name : spelling->installed()) {
        QAction *choice = group->addAction(languageName(name));
        choice->setCheckable(true);
        choice->setChecked(name == inUse);
        languages->addAction(choice);
        connect(choice, &QAction::triggered, spelling, [spelling, name] { spelling->chooseLanguage(name); });
    }
    return languages;
}

// The word from the menu by a suggestion, as one step to undo; unless the
// text changed meanwhile.
void BoxMarker::replace(Span word, const QString &was, const QString &by)
{
    if (box->text().mid(word.start, word.end - word.start) != was)
        return;
    box->setSelection(int(word.start), int(word.end - word.start));
    box->insert(by);
}

} // namespace

void checkSpelling(QWidget *window, std::span<const char *const> names)
{
    for (const char *name : names) {
        auto *box = window->findChild<QLineEdit *>(QString::fromLatin1(name));
        Q_ASSERT_X(box, "Desktop::checkSpelling", name);
        new BoxMarker(box);
    }
}

std::optional<SpellingRun> spellingRunAt(const QWidget *box, qsizetype offset)
{
    const auto *marker = box->findChild<BoxMarker *>(QString(), Qt::FindDirectChildrenOnly);
    if (!marker || !marker->active())
        return std::nullopt;
    return marker->runAt(offset);
}

} // namespace Desktop

#include "SpellingBox.moc"
