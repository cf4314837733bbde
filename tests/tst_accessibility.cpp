// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// What screen readers get from the text boxes and around them: every answer
// about a box's text, at every offset and for every kind of boundary, agrees
// with the box's text; a box of a million characters answers too. The
// buttons' keys. (Over AT-SPI: tests/atspi_text.py; what is told as things
// happen, the options' places among them: tests/atspi_told.py.)
#include "Accessibility.h"
#include "LookAndFeel.h"
#include "WindowFixture.h"

#include <QAccessible>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// Texts as a screen reader counts them, in characters (code points): words,
// punctuation after a word, a long word, accents (one composed, one
// combining), emoji and mathematical letters (two UTF-16 units each), and
// Cyrillic and Hebrew, the Hebrew read right to left.
const QString mixed = QStringLiteral("Tea, time! A caf\u00e9 \u2014 supercalifragilisticexpialidociousness? "
                                     "Ne\u0301e \U0001F600 \u043a\u043e\u0442 here? end.");
const QString outsideTheFirstPlane = QStringLiteral("a\U0001F600b cd \U0001F600 ef. x\U0001D49C\U0001D49Cy z!");
const QString rightToLeft = QStringLiteral("\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd, \u05de\u05d4 "
                                           "\u05e9\u05dc\u05d5\u05de\u05da? \u05d8\u05d5\u05d1.");
const QString moreLines = QStringLiteral("\nSecond line, two words.\n\nAfter an empty line\n");

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

// The characters of `all` from `start` to `end`, counted in code points.
QString characters(const QList<uint> &all, int start, int end)
{
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(all.constData()) + start, end - start);
}

// Whether a segment of `boundary` kind may end at `end` in `all`: a word at a
// stop of Ctrl+Left or Ctrl+Right, a sentence after its end mark, a paragraph
// after a line break, a character or (wrapped) line anywhere; all at the end.
bool endsWhereItMay(const QList<uint> &all, int end, QAccessible::TextBoundaryType boundary, const QList<int> &stops)
{
    if (end == all.size())
        return true;
    const QString before = characters(all, 0, end).trimmed();
    return boundary == QAccessible::WordBoundary        ? stops.contains(end)
           : boundary == QAccessible::SentenceBoundary  ? QStringLiteral(".!?\n").contains(before.back())
           : boundary == QAccessible::ParagraphBoundary ? all.at(end - 1) == u'\n'
                                                        : boundary != QAccessible::NoBoundary;
}

// Where the caret stands in `box`, in characters, and where it is drawn.
int caretIn(QWidget *box, QRect *drawn = nullptr)
{
    QRect unused;
    drawn = drawn ? drawn : &unused;
    if (auto *lines = qobject_cast<QPlainTextEdit *>(box)) {
        *drawn = QRect(lines->viewport()->mapToGlobal(lines->cursorRect().topLeft()), lines->cursorRect().size());
        return int(lines->toPlainText().left(lines->textCursor().position()).toUcs4().size());
    }
    auto *line = static_cast<QLineEdit *>(box);
    const QRect caret = line->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    *drawn = QRect(line->mapToGlobal(caret.topLeft()), caret.size());
    return int(line->text().left(line->cursorPosition()).toUcs4().size());
}

// The caret's stops in `box` under Ctrl+Right and Ctrl+Left from either end
// (right-to-left text runs the other way), in characters, but those just
// before a line break; a read-only box is made editable for the while.
QList<int> wordStops(QWidget *box, const QList<uint> &all)
{
    auto *display = qobject_cast<QPlainTextEdit *>(box);
    const bool readOnly = display && display->isReadOnly();
    if (readOnly)
        display->setReadOnly(false);
    QList<int> stops;
    for (const auto &[key, fromStart] : {std::pair{Qt::Key_Right, true}, std::pair{Qt::Key_Left, false},
                                         std::pair{Qt::Key_Right, false}, std::pair{Qt::Key_Left, true}}) {
        if (display)
            display->moveCursor(fromStart ? QTextCursor::Start : QTextCursor::End);
        else if (auto *line = static_cast<QLineEdit *>(box); fromStart)
            line->home(false);
        else
            line->end(false);
        for (int step = 0; step <= all.size(); ++step) {
            const int at = caretIn(box);
            if (at < all.size() && all.at(at) != u'\n')
                stops << at;
            QTest::keyClick(box, key, Qt::ControlModifier);
        }
    }
    if (readOnly)
        display->setReadOnly(true);
    return stops;
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
    void buttonsNameOnlyTheirAccessKeys_data();
    void buttonsNameOnlyTheirAccessKeys();
};

void Accessibility::everyAnswerAgreesWithTheText_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    const auto row = [](Window window, const char *box, const char *kind, const QString &text) {
        QTest::addRow("%s %s %s", qPrintable(nameOf(window)), box, kind) << window << QString(box) << text;
    };
    for (const auto &[window, boxes] : {std::pair{Window::frmp2, 1}, {Window::mswfrm, 8}, {Window::Form1, 3},
                                        {Window::Form3, 1}})
        for (int box = 1; box <= boxes; ++box)
            row(window, qPrintable(QStringLiteral("Text%1").arg(box)), "mixed", mixed);
    for (const Window window : {Window::mswfrm, Window::Form3}) {
        row(window, "Text1", "outside the first plane", outsideTheFirstPlane);
        row(window, "Text1", "right to left", rightToLeft);
    }
}

// For every offset, every kind of boundary, before, at and after it: the text
// answered is the box's between the offsets answered; the segment at the
// offset holds it, those before and after meet it without gap or overlap, and
// each ends where its kind may. The attributes are one run over the whole text; each character is
// drawn from the caret before it, rightwards in left-to-right letters and
// leftwards in right-to-left ones, and its place leads back to it; the caret
// and the selection go where they are put.
void Accessibility::everyAnswerAgreesWithTheText()
{
    QFETCH(Window, window);
    QFETCH(QString, box);
    QFETCH(QString, text);
    QWidget *shown = show(window);
    QWidget *widget = at(window, qPrintable(box));
    const bool lines = qobject_cast<QPlainTextEdit *>(widget);
    const QString whole = lines ? text + moreLines : text;
    widget->setProperty(lines ? "plainText" : "text", whole);
    widget->setFocus();
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    QAccessibleTextInterface *iface = QAccessible::queryAccessibleInterface(widget)->textInterface();
    QVERIFY(iface);
    const QList<uint> all = whole.toUcs4();
    const int n = int(all.size());
    QCOMPARE(iface->characterCount(), n);
    QCOMPARE(iface->text(0, n), whole);
    const QList<int> stops = wordStops(widget, all);

    for (const QAccessible::TextBoundaryType boundary : boundaries) {
        for (int offset = 0; offset <= n; ++offset) {
            const Answer at = ask(iface, 0, offset, boundary);
            const Answer before = ask(iface, -1, offset, boundary);
            const Answer after = ask(iface, 1, offset, boundary);
            const QString where = QStringLiteral("boundary %1 at %2: before %3, at %4, after %5")
                                      .arg(boundary).arg(offset).arg(describe(before), describe(at), describe(after));
            for (const Answer &a : {before, at, after})
                QVERIFY2(a.start >= 0 && a.start <= a.end && a.end <= n && a.text == characters(all, a.start, a.end),
                         qPrintable(where));
            QVERIFY2(offset < n ? at.start <= offset && offset < at.end : at.end == n, qPrintable(where));
            QVERIFY2(at.start > 0 ? before.end == at.start && before.start < before.end : before.start == 0 && before.end == 0,
                     qPrintable(where));
            QVERIFY2(at.end < n ? after.start == at.end && after.start < after.end : after.start == n && after.end == n,
                     qPrintable(where));
            QVERIFY2(endsWhereItMay(all, at.end, boundary, stops), qPrintable(where));
            if (boundary == QAccessible::WordBoundary)  // and holds no stop of the caret's
                QVERIFY2(std::none_of(stops.begin(), stops.end(), [&](int s) { return at.start < s && s < at.end; }),
                         qPrintable(where));
            if (boundary == QAccessible::CharBoundary && offset < n)
                QVERIFY2(at.end - at.start <= 2, qPrintable(where));
            if (boundary == QAccessible::LineBoundary || boundary == QAccessible::ParagraphBoundary)
                QVERIFY2(!at.text.chopped(at.text.endsWith(u'\n') ? 1 : 0).contains(u'\n'), qPrintable(where));
            if (boundary == QAccessible::NoBoundary || (boundary == QAccessible::LineBoundary && !lines))
                QVERIFY2(at.start == 0 && at.end == n, qPrintable(where));
        }
    }

    const QRect inside = lines ? static_cast<QPlainTextEdit *>(widget)->viewport()->rect() : widget->rect();
    const QWidget *surface = lines ? static_cast<QPlainTextEdit *>(widget)->viewport() : widget;
    for (int offset = 0; offset <= n; ++offset) {
        int start = -2, end = -2;
        iface->attributes(offset, &start, &end);
        QCOMPARE(QPoint(start, end), QPoint(0, n));
        const int drawnFrom = offset < n ? ask(iface, 0, offset, QAccessible::CharBoundary).start : n;
        iface->setCursorPosition(drawnFrom);  // where it is in view
        QRect caret;
        QCOMPARE(caretIn(widget, &caret), drawnFrom);
        const QRect place = iface->characterRect(offset);
        const QString where =
            QStringLiteral("%1 at %2, caret at %3").arg(offset).arg(QDebug::toString(place), QDebug::toString(caret));
        QVERIFY2(place.height() > 0 && std::abs(place.top() - caret.top()) <= 1, qPrintable(where));
        if (offset == n || all.at(offset) == u'\n')
            continue;
        // a space or a mark runs the way the letters around it run
        const QChar::Direction direction = QChar::direction(all.at(offset));
        const bool rtl = direction == QChar::DirR || direction == QChar::DirAL;
        const bool ltr = direction == QChar::DirL;
        const int caretX = caret.left() + caret.width() / 2;
        const bool leftwards = std::abs(place.right() + 1 - caretX) <= 1;
        const bool fromCaret = (!rtl && std::abs(place.left() - caretX) <= 1) || (!ltr && leftwards);
        QVERIFY2(place.width() > 0 && fromCaret, qPrintable(where));
        // its first pixel from the caret before it
        const QPoint within(leftwards ? place.right() : place.left(), place.center().y());
        if (place.width() > 2 && inside.contains(surface->mapFromGlobal(within)))
            QCOMPARE(iface->offsetAtPoint(within), drawnFrom);
    }

    iface->setSelection(0, 2, 9);
    int start = -2, end = -2;
    iface->selection(0, &start, &end);
    QCOMPARE(QList<int>({iface->selectionCount(), start, end, iface->cursorPosition()}), QList<int>({1, 2, 9, 9}));
    QCOMPARE(caretIn(widget), 9);
    iface->removeSelection(0);
    iface->setCursorPosition(n);
    QCOMPARE(QList<int>({iface->selectionCount(), iface->cursorPosition()}), QList<int>({0, n}));
}

// A million characters in the title box and in a speech box, asked about at
// the start, the middle and the end, for every kind of boundary: every
// answer is the text between its offsets.
void Accessibility::millionCharactersAnswered()
{
    const QString all = QStringLiteral("Tea and cake, again!").repeated(50000);  // a million
    for (const Window window : {Window::frmp2, Window::mswfrm}) {
        show(window);
        QWidget *widget = at(window, "Text1");
        widget->setProperty(qobject_cast<QLineEdit *>(widget) ? "text" : "plainText", all);
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

void Accessibility::buttonsNameOnlyTheirAccessKeys_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("key");
    QTest::newRow("DONE!") << Window::Form1 << "Command3" << "";
    QTest::newRow("Make Story") << Window::Form2 << "Command1" << "";
    QTest::newRow("Ok of the genres") << Window::frmgenre << "Command1" << "Alt+O";
}

// Focused, a button is the default one, which Enter presses; the key a
// screen reader is given for it is its access key alone, not Enter, which
// Orca 48 says as a stray "r". Its name and states stay as Qt gives them.
void Accessibility::buttonsNameOnlyTheirAccessKeys()
{
    QFETCH(Window, window);
    QFETCH(QString, button);
    QFETCH(QString, key);
    show(window);
    auto *pushButton = at<QPushButton>(window, qPrintable(button));
    pushButton->setFocus();
    QAccessibleInterface *told = QAccessible::queryAccessibleInterface(pushButton);
    QCOMPARE(told->role(), QAccessible::Button);
    QCOMPARE(told->text(QAccessible::Name), Desktop::spokenCaption(pushButton->text()));
    QVERIFY(told->state().defaultButton && told->state().focused);
    QCOMPARE(told->text(QAccessible::Accelerator), key);
    const QStringList actions = told->actionInterface()->actionNames();
    QCOMPARE(actions.first(), QAccessibleActionInterface::pressAction());
    for (const QString &action : actions)
        QVERIFY2(!told->actionInterface()->keyBindingsForAction(action).join(u';').contains(QLatin1String("Enter")),
                 qPrintable(action));
}

QTEST_MAIN(Accessibility)
#include "tst_accessibility.moc"
