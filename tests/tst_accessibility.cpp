// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// What screen readers get from the text boxes and around them: every answer
// about a box's text, at every offset and for every kind of boundary, agrees
// with the box's text; a box of a million characters answers too. (Over
// AT-SPI: tests/atspi_text.py.)
#include "LookAndFeel.h"
#include "WindowFixture.h"

#include <QAccessible>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

// Words, punctuation, a long word, accents (one composed, one combining),
// an emoji (two UTF-16 units) and a non-Latin script.
const QString oneLine = QStringLiteral("Tea, time! A caf\u00e9 \u2014 supercalifragilisticexpialidociousness? "
                                       "Ne\u0301e \U0001F600 \u043a\u043e\u0442 end.");
const QString multiLine = oneLine + QStringLiteral("\nSecond line, two words.\n\nAfter an empty line\n");

const QAccessible::TextBoundaryType boundaries[] = {
    QAccessible::CharBoundary,      QAccessible::WordBoundary, QAccessible::SentenceBoundary,
    QAccessible::ParagraphBoundary, QAccessible::LineBoundary, QAccessible::NoBoundary};

struct Answer {
    QString text;
    int start = -2, end = -2;
};

Answer ask(QAccessibleTextInterface *text, int side, int offset, QAccessible::TextBoundaryType boundary)
{
    Answer a;
    a.text = side < 0   ? text->textBeforeOffset(offset, boundary, &a.start, &a.end)
             : side > 0 ? text->textAfterOffset(offset, boundary, &a.start, &a.end)
                        : text->textAtOffset(offset, boundary, &a.start, &a.end);
    return a;
}

QString describe(const Answer &a) { return QStringLiteral("\"%1\" [%2, %3)").arg(a.text).arg(a.start).arg(a.end); }

// Whether a segment of `boundary` kind may end at `end` in `all`: a word
// before a word's start, a sentence after its end mark, a paragraph after a
// line break, a character or line anywhere (a line where the box wraps it),
// any of them at the end of the text, and the whole text nowhere else.
bool endsWhereItMay(const QString &all, int end, QAccessible::TextBoundaryType boundary)
{
    if (end == all.size())
        return true;
    return boundary == QAccessible::WordBoundary        ? all.at(end).isLetterOrNumber()
           : boundary == QAccessible::SentenceBoundary  ? QStringLiteral(".!?\n").contains(all.left(end).trimmed().back())
           : boundary == QAccessible::ParagraphBoundary ? all.at(end - 1) == u'\n'
                                                        : boundary != QAccessible::NoBoundary;
}

} // namespace

class Accessibility : public WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { Desktop::installLookAndFeel(); }
    void init() { startRun(); }
    void everyAnswerAgreesWithTheText_data();
    void everyAnswerAgreesWithTheText();
    void millionCharactersAnswered();
};

void Accessibility::everyAnswerAgreesWithTheText_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("box");
    const auto row = [](Window window, const char *box) {
        QTest::addRow("%s %s", qPrintable(nameOf(window)), box) << window << QString(box);
    };
    row(Window::frmp2, "Text1");
    for (const char *box : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "Text8"})
        row(Window::mswfrm, box);
    for (const char *box : {"Text1", "Text2", "Text3"})
        row(Window::Form1, box);
    row(Window::Form3, "Text1");
}

// For every offset from 0 to the length, every kind of boundary and before,
// at and after it: the text answered is the box's text between the offsets
// answered; the segment at an offset holds it (at the end: ends there);
// the one before ends where it starts and the one after starts where it
// ends, so that the segments cover the text without gap or overlap; each
// ends where its kind may. The attributes are one run over the whole text;
// each character's place on screen leads back to it; the caret and the
// selection go where they are put.
void Accessibility::everyAnswerAgreesWithTheText()
{
    QFETCH(Window, window);
    QFETCH(QString, box);
    QWidget *shown = show(window);
    QWidget *widget = at(window, qPrintable(box));
    const bool lines = qobject_cast<QPlainTextEdit *>(widget);
    if (lines)
        static_cast<QPlainTextEdit *>(widget)->setPlainText(multiLine);
    else
        static_cast<QLineEdit *>(widget)->setText(oneLine);
    widget->setFocus();
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    QAccessibleTextInterface *text = QAccessible::queryAccessibleInterface(widget)->textInterface();
    QVERIFY(text);
    const QString all = lines ? multiLine : oneLine;
    const int n = int(all.size());
    QCOMPARE(text->characterCount(), n);
    QCOMPARE(text->text(0, n), all);

    for (const QAccessible::TextBoundaryType boundary : boundaries) {
        for (int offset = 0; offset <= n; ++offset) {
            const Answer at = ask(text, 0, offset, boundary);
            const Answer before = ask(text, -1, offset, boundary);
            const Answer after = ask(text, 1, offset, boundary);
            const QString where = QStringLiteral("boundary %1 at %2: before %3, at %4, after %5")
                                      .arg(boundary).arg(offset).arg(describe(before), describe(at), describe(after));
            for (const Answer &a : {before, at, after})
                QVERIFY2(a.start >= 0 && a.start <= a.end && a.end <= n && a.text == all.mid(a.start, a.end - a.start),
                         qPrintable(where));
            QVERIFY2(offset < n ? at.start <= offset && offset < at.end : at.end == n, qPrintable(where));
            QVERIFY2(at.start > 0 ? before.end == at.start && before.start < before.end : before.start == 0 && before.end == 0,
                     qPrintable(where));
            QVERIFY2(at.end < n ? after.start == at.end && after.start < after.end : after.start == n && after.end == n,
                     qPrintable(where));
            QVERIFY2(endsWhereItMay(all, at.end, boundary), qPrintable(where));
            if (boundary == QAccessible::CharBoundary && offset < n)
                QVERIFY2(at.end - at.start <= 2, qPrintable(where));
            if (boundary == QAccessible::LineBoundary || boundary == QAccessible::ParagraphBoundary)
                QVERIFY2(!at.text.chopped(at.text.endsWith(u'\n') ? 1 : 0).contains(u'\n'), qPrintable(where));
            if (boundary == QAccessible::NoBoundary || (boundary == QAccessible::LineBoundary && !lines))
                QVERIFY2(at.start == 0 && at.end == n, qPrintable(where));
        }
    }

    const QRect inside = lines ? static_cast<QPlainTextEdit *>(widget)->viewport()->rect() : widget->rect();
    for (int offset = 0; offset <= n; ++offset) {
        int start = -2, end = -2;
        text->attributes(offset, &start, &end);
        QCOMPARE(QPoint(start, end), QPoint(0, n));
        const QRect place = text->characterRect(offset);
        QVERIFY2(place.height() > 0, qPrintable(QString::number(offset)));
        const QPoint middle = place.center();
        const QWidget *surface = lines ? static_cast<QPlainTextEdit *>(widget)->viewport() : widget;
        if (place.width() > 2 && inside.contains(surface->mapFromGlobal(middle)))
            QCOMPARE(text->offsetAtPoint(middle), ask(text, 0, offset, QAccessible::CharBoundary).start);
    }

    text->setSelection(0, 5, 9);
    int start = -2, end = -2;
    text->selection(0, &start, &end);
    QCOMPARE(QList<int>({text->selectionCount(), start, end, text->cursorPosition()}), QList<int>({1, 5, 9, 9}));
    text->removeSelection(0);
    text->setCursorPosition(n);
    QCOMPARE(QList<int>({text->selectionCount(), text->cursorPosition()}), QList<int>({0, n}));
}

// A million characters in the title box and in a speech box, asked about at
// the start, the middle and the end, for every kind of boundary: every
// answer is the text between its offsets.
void Accessibility::millionCharactersAnswered()
{
    QString all = QStringLiteral("Tea and cake, again!").repeated(50000);
    QCOMPARE(all.size(), 1000000);
    for (const Window window : {Window::frmp2, Window::mswfrm}) {
        show(window);
        QWidget *widget = at(window, "Text1");
        if (auto *oneLineBox = qobject_cast<QLineEdit *>(widget))
            oneLineBox->setText(all);
        else
            static_cast<QPlainTextEdit *>(widget)->setPlainText(all);
        QAccessibleTextInterface *text = QAccessible::queryAccessibleInterface(widget)->textInterface();
        for (const QAccessible::TextBoundaryType boundary : boundaries)
            for (const int offset : {0, 500000, 1000000 - 1, 1000000})
                for (const int side : {-1, 0, 1}) {
                    const Answer a = ask(text, side, offset, boundary);
                    QVERIFY2(a.start >= 0 && a.text == all.mid(a.start, a.end - a.start), qPrintable(describe({{}, a.start, a.end})));
                }
        int start = -2, end = -2;
        text->attributes(1000000, &start, &end);
        QCOMPARE(QPoint(start, end), QPoint(0, 1000000));
    }
}

QTEST_MAIN(Accessibility)
#include "tst_accessibility.moc"
