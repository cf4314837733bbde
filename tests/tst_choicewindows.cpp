// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// The genre, Player 1 and Player 2 windows driven as a person would: option
// clicks record their codes, and "&Ok" composes the story file's name from
// them and the title word as pasted or typed.
#include "LookAndFeel.h"
#include "WindowFixture.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>

namespace {

// The record's choice fields by name, so that a test can say which one an
// option writes and check that no other changed.
QMap<QString, QString> valuesOf(const StoryRecord &s)
{
    return {{"GenreCode", s.GenreCode},         {"P1GenderCode", s.P1GenderCode},
            {"P1MaritalCode", s.P1MaritalCode}, {"P1PersonalityCode", s.P1PersonalityCode},
            {"P1AgeCode", s.P1AgeCode},         {"P2GenderCode", s.P2GenderCode},
            {"P2MaritalCode", s.P2MaritalCode}, {"P2PersonalityCode", s.P2PersonalityCode},
            {"TitleWord", s.TitleWord},         {"StoryFilePath", s.StoryFilePath}};
}

} // namespace

class ChoiceWindows : public WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { Desktop::installLookAndFeel(); }
    void init() { startRun(); }
    void optionsRecordTheirCodes_data();
    void optionsRecordTheirCodes();
    void keyboard();
    void secondPassKeepsEverything();
    void titleWordNoFileCanHold_data();
    void titleWordNoFileCanHold();

private:
    void clickAll(Window window, std::initializer_list<const char *> names)
    {
        for (const char *name : names)
            click(window, name);
    }
};

void ChoiceWindows::optionsRecordTheirCodes_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<int>("first");          // the group is Option<first> and those after it
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("codes");      // one per option, in that order
    QTest::addColumn<QList<int>>("arrows");  // reading order, each column down from the left one; empty: not tried
    const QList<int> notTried;
    QTest::newRow("genre") << Window::frmgenre << 1 << "GenreCode" << "ACFGHLMPRSx"
                           << QList<int>{1, 2, 3, 4, 5, 6, 11, 10, 9, 8, 7};
    QTest::newRow("P1 gender") << Window::frmp1 << 1 << "P1GenderCode" << "MFSOx" << QList<int>{1, 2, 3, 4, 5};
    QTest::newRow("P1 marital") << Window::frmp1 << 6 << "P1MaritalCode" << "MSNDWx" << notTried;
    QTest::newRow("P1 personality") << Window::frmp1 << 12 << "P1PersonalityCode" << "OLaNGTxSMPB"
                                    << QList<int>{12, 19, 14, 13, 21, 22, 15, 16, 17, 20, 18};
    QTest::newRow("P1 age") << Window::frmp1 << 23 << "P1AgeCode" << "OYSx" << notTried;
    QTest::newRow("P2 gender") << Window::frmp2 << 1 << "P2GenderCode" << "MFSOx" << notTried;
    QTest::newRow("P2 marital") << Window::frmp2 << 6 << "P2MaritalCode" << "MSNDWx" << notTried;
    QTest::newRow("P2 personality") << Window::frmp2 << 12 << "P2PersonalityCode" << "OLANgTxSMPB" << notTried;
}

// One click anywhere on an option's box (its caption may wrap), in a window
// just shown, records the code, case kept, into its own field and nowhere
// else, and moves nothing. Down and Right select the next option of the
// group, Up and Left the one before, through every option and round from the
// last to the first and back, each selection recorded as a click's is.
void ChoiceWindows::optionsRecordTheirCodes()
{
    QFETCH(Window, window);
    QFETCH(int, first);
    QFETCH(QString, field);
    QFETCH(QString, codes);
    QFETCH(QList<int>, arrows);
    const auto option = [&](int number) {
        return at<QRadioButton>(window, qPrintable(QStringLiteral("Option%1").arg(number)));
    };
    // What the record should hold once the option of that number is selected.
    const auto selected = [&](int number) {
        QMap<QString, QString> values = valuesOf(story);
        values[field] = codes.at(number - first);
        return values;
    };
    for (int number = first; number < first + codes.size(); ++number) {
        startRun();
        show(window);
        QRadioButton *button = option(number);
        const QMap<QString, QString> expected = selected(number);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->width() - 2, button->height() - 2));
        QVERIFY(button->isChecked());
        QCOMPARE(valuesOf(story), expected);
        QVERIFY(moves.isEmpty());
    }
    if (arrows.isEmpty())
        return;
    startRun();
    show(window);
    option(arrows.front())->setFocus();
    const int n = int(arrows.size());
    for (int step = 1; step <= 2 * n; ++step) {
        const int next = arrows.at(step <= n ? step % n : 2 * n - step);
        const QMap<QString, QString> expected = selected(next);
        QTest::keyClick(QApplication::focusWidget(), step <= n ? (step % 2 ? Qt::Key_Down : Qt::Key_Right)
                                                               : (step % 2 ? Qt::Key_Up : Qt::Key_Left));
        QCOMPARE(QApplication::focusWidget(), option(next));
        QVERIFY(option(next)->isChecked());
        QCOMPARE(valuesOf(story), expected);
    }
}

// The first option has the focus when a window first shows, but a story may
// go on with nothing chosen: focus alone records nothing. Tab goes by the tab
// indices over the whole window, not frame by frame; a group of options is
// one stop, entered at its first option in that order (or at its selected
// one). Selecting with the keyboard is a click and records the code.
void ChoiceWindows::keyboard()
{
    for (const Window window : {Window::frmgenre, Window::frmp1}) {
        show(window);
        QCOMPARE(QApplication::focusWidget(), at(window, "Option1"));
    }
    show(Window::frmp2);
    QStringList seen{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(seen, (QStringList{"Option5", "Command1", "Option22", "Option11", "Text1", "Option5"}));
    QCOMPARE(valuesOf(story), valuesOf(StoryRecord{}));

    show(Window::frmgenre);
    QTest::keyClick(at(Window::frmgenre, "Option1"), Qt::Key_Space);
    QCOMPARE(story.GenreCode, QStringLiteral("A"));
}

// Nothing is reset between stories: a pass through untouched windows shows
// the earlier choices and composes the same name from them.
void ChoiceWindows::secondPassKeepsEverything()
{
    const auto pass = [this](std::initializer_list<const char *> genre, std::initializer_list<const char *> p1,
                             std::initializer_list<const char *> p2, const QString &title) {
        windows->HideWindow(Window::mswfrm);
        show(Window::frmgenre);
        clickAll(Window::frmgenre, genre);
        click(Window::frmgenre, "Command1");
        clickAll(Window::frmp1, p1);
        click(Window::frmp1, "Command1");
        clickAll(Window::frmp2, p2);
        QTest::keyClicks(at(Window::frmp2, "Text1"), title);
        click(Window::frmp2, "Command1");
    };
    pass({"Option8"}, {"Option14"}, {"Option16"}, QStringLiteral("Moon"));  // Scifi, Active, Grouchy
    QCOMPARE(story.StoryFilePath, QStringLiteral("c:\\PagMoon.txt"));
    const auto first = valuesOf(story);
    pass({}, {}, {}, {});
    QCOMPARE(valuesOf(story), first);
    QVERIFY(at<QRadioButton>(Window::frmgenre, "Option8")->isChecked());
    QVERIFY(at<QRadioButton>(Window::frmp1, "Option14")->isChecked());
    QCOMPARE(at<QLineEdit>(Window::frmp2, "Text1")->text(), QStringLiteral("Moon"));
}

void ChoiceWindows::titleWordNoFileCanHold_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("start");   // -1: a good title, which moves on
    QTest::addColumn<int>("length");  // of the part selected in the title box
    QTest::addColumn<QString>("says");

    // With the codes "OMN" and ".txt" the title word has 248 bytes of room.
    QTest::newRow("good, untrimmed") << " Pic nic " << -1 << 0 << "";
    QTest::newRow("248 bytes, fits") << QString(248, 'a') << -1 << 0 << "";
    QTest::newRow("question mark") << "Why?" << 3 << 1 << "A title word can't contain \"?\".";
    QTest::newRow("lone surrogate") << "a" + QString(QChar(0xd800)) + "b" << 1 << 1 << "half of a character";
    QTest::newRow("249 bytes") << QString(249, 'a') << 248 << 1
                               << "The title word is too long: a story's file name can hold at most 255 bytes, "
                                  "and this one would need 256.";
    QTest::newRow("two-byte letters") << QString(124, QChar(0xe9)) + "a" << 124 << 1 << "too long";
    QTest::newRow("emoji across the limit") << QString(246, 'a') + QString::fromUtf8("😀") << 246 << 2 << "too long";
    QTest::newRow("refused character past the limit") << QString(300, 'a') + "?" << 248 << 53 << "too long";
}

// "&Ok" asks the save's own name rule before moving on. A title word that no
// file name can hold keeps the window where it is with nothing changed, says
// why, and, once the message is read, selects what must go in the title box:
// the refused character, or the tail that makes the name too long.
void ChoiceWindows::titleWordNoFileCanHold()
{
    QFETCH(QString, title);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, says);
    QWidget *player2 = show(Window::frmp2);
    clickAll(Window::frmp2, {"Option4", "Option6", "Option15"});  // O M N
    story.StoryFilePath = QStringLiteral("c:\\earlier.txt");
    auto *box = at<QLineEdit>(Window::frmp2, "Text1");
    QGuiApplication::clipboard()->setText(title);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(story.TitleWord, title);
    const auto before = valuesOf(story);

    click(Window::frmp2, "Command1");

    auto *message = player2->findChild<QMessageBox *>(QStringLiteral("titleProblem"));
    if (start < 0) {
        QVERIFY(!message);
        QCOMPARE(moves, (QStringList{"hide frmp2", "show mswfrm"}));
        QCOMPARE(story.StoryFilePath, "c:\\OMN" + title + ".txt");
        return;
    }
    QVERIFY(message && message->isVisible());
    QVERIFY2(message->text().contains(says), qPrintable(message->text()));
    QVERIFY(moves.isEmpty() && player2->isVisible());
    QCOMPARE(valuesOf(story), before);
    QCOMPARE(box->text(), title);

    QTest::keyClick(message, Qt::Key_Return);
    QCOMPARE(player2->focusWidget(), box);
    QCOMPARE(box->selectionStart(), start);
    QCOMPARE(box->selectedText(), title.mid(start, length));
    QVERIFY(moves.isEmpty());
}

QTEST_MAIN(ChoiceWindows)
#include "tst_choicewindows.moc"
