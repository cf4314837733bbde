// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// The speeches window, the story page, the main window and the about window
// driven as a person would: the speeches reach the story record, "DONE!"
// saves the story or says why it could not, and the main and about windows
// move as their buttons say.
#include "WindowFixture.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSignalSpy>

#include <cerrno>

namespace {

QString StoryRecord::*const speeches[] = {
    &StoryRecord::Speech1, &StoryRecord::Speech2, &StoryRecord::Speech3, &StoryRecord::Speech4,
    &StoryRecord::Speech5, &StoryRecord::Speech6, &StoryRecord::Speech7, &StoryRecord::Speech8,
};

// The speeches window's boxes by the speech each feeds, Speech1 first.
const char *const speechBoxes[] = {"Text1", "Text2", "Text3", "Text4", "Text6", "Text5", "Text8", "Text7"};

} // namespace

class WritingWindows : public WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { Layout::installLookAndFeel(); }
    void init() { startRun(); }
    void speechBoxFeedsItsSpeech_data();
    void speechBoxFeedsItsSpeech();
    void twoStoriesUnderOneName();
    void mainAndAboutWindows();

private:
    void type(Window window, const char *box, const char *text) { QTest::keyClicks(at(window, box), text); }
    QString inRoot(const char *name) const { return QDir(root.path()).filePath(QString::fromUtf8(name)); }
    QByteArray read(const char *name) const
    {
        QFile file(inRoot(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    void write(const char *name, const QByteArray &bytes)
    {
        QFile file(inRoot(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
};

void WritingWindows::speechBoxFeedsItsSpeech_data()
{
    QTest::addColumn<int>("speech");
    QTest::addColumn<int>("tabs");  // Tab presses from the first focus to the box
    const int tabsTo[] = {0, 5, 1, 2, 4, 3, 7, 6};
    for (int i = 0; i < 8; ++i)
        QTest::addRow("%s gives Speech%d", speechBoxes[i], i + 1) << i << tabsTo[i];
}

// The focus starts in Text1 and Tab goes Text1, Text3, Text4, Text5, Text6,
// Text2, Text7, Text8. Only the box reached holds text; its speech gets it
// whole and every other speech, whatever it held before, becomes empty. Then
// the story page comes up before this window goes.
void WritingWindows::speechBoxFeedsItsSpeech()
{
    QFETCH(int, speech);
    QFETCH(int, tabs);
    for (QString StoryRecord::*field : speeches)
        story.*field = QStringLiteral("from an earlier story");
    QWidget *speechesWindow = show(Window::mswfrm);
    for (int i = 0; i < tabs; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    const QString typed = QStringLiteral("  Well, hello there!  ");
    QTest::keyClicks(QApplication::focusWidget(), typed);
    click(Window::mswfrm, "Command1");

    for (int i = 0; i < 8; ++i)
        QCOMPARE(story.*speeches[i], i == speech ? typed : QString());
    QCOMPARE(moves, (QStringList{"show Form1", "hide mswfrm"}));
    QVERIFY(!speechesWindow->isVisible());
    QVERIFY(windows->window(Window::Form1)->isVisible());
}

// Two stories under one name. The first: the name goes to AuthorName and the
// title to FullTitle, each untrimmed, and the file gets the laid-out story
// byte for byte after what the staging file held. The second, with nothing
// edited, copies every box again over whatever the record holds, but the
// file exists: nothing on disk changes, the page stays with everything typed
// and says why, with the story in the details; once the old file is moved
// away, "DONE!" saves what the boxes still hold.
void WritingWindows::twoStoriesUnderOneName()
{
    story.StoryFilePath = QStringLiteral("c:\\CFSSOOMNPicnic.txt");
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("program files")));
    write("program files/temp.txt", "Draft\r\n");
    show(Window::mswfrm);
    const char *const said[] = {"Shall we?", "Yes.", "Rain!", "Run!", "", "Too late.", "Tea?", "Always."};
    for (int i = 0; i < 8; ++i)
        type(Window::mswfrm, speechBoxes[i], said[i]);
    click(Window::mswfrm, "Command1");
    QWidget *page = show(Window::Form1);
    type(Window::Form1, "Text2", " A Picnic ");
    at<QLineEdit>(Window::Form1, "Text3")->insert(QStringLiteral("Zoë Brontë"));
    click(Window::Form1, "Command3");

    QCOMPARE(story.FullTitle, QStringLiteral(" A Picnic "));
    QCOMPARE(story.AuthorName, QStringLiteral("Zoë Brontë"));
    const QString text = QStringLiteral("  A Picnic \r\n Zoë Brontë\r\n\r\nShall we?\r\n Yes.\r\n\r\nRain!\r\n Run!"
                                        "\r\n\r\n\r\n Too late.\r\n\r\nTea?\r\n Always.");
    const QByteArray first = "Draft\r\n" + text.toUtf8() + "\r\n";
    QCOMPARE(read("CFSSOOMNPicnic.txt"), first);
    QVERIFY(!QFile::exists(inRoot("program files/temp.txt")));
    QCOMPARE(at<QPlainTextEdit>(Window::Form1, "Text1")->toPlainText(), QString(text).replace("\r\n", "\n"));
    QCOMPARE(moves, (QStringList{"hide Form1", "show Form2"}));
    QVERIFY(!page->isVisible());

    for (QString StoryRecord::*field : speeches)
        story.*field = QStringLiteral("changed");
    story.FullTitle = story.AuthorName = QStringLiteral("changed");
    write("program files/temp.txt", "staged ");
    show(Window::mswfrm);
    click(Window::mswfrm, "Command1");
    QVERIFY(show(Window::Form1) == page);  // the same page, not a new one
    click(Window::Form1, "Command3");

    auto *report = page->findChild<QMessageBox *>(QStringLiteral("saveError"));
    QVERIFY(report && report->isVisible());
    QCOMPARE(report->icon(), QMessageBox::Critical);
    const QString why = report->informativeText();
    QVERIFY2(why.contains(QString::number(EEXIST)) && why.contains("c:\\CFSSOOMNPicnic.txt"), qPrintable(why));
    QCOMPARE(report->detailedText().remove('\r'), QString(text).remove('\r'));
    QVERIFY(moves.isEmpty());
    QVERIFY(page->isVisible());
    QCOMPARE(read("CFSSOOMNPicnic.txt"), first);
    QCOMPARE(read("program files/temp.txt"), QByteArray("staged "));

    report->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!page->findChild<QMessageBox *>());
    QVERIFY(QFile::remove(inRoot("CFSSOOMNPicnic.txt")));
    click(Window::Form1, "Command3");
    QCOMPARE(read("CFSSOOMNPicnic.txt"), "staged " + text.toUtf8() + "\r\n");
    QCOMPARE(moves, (QStringList{"hide Form1", "show Form2"}));
    QVERIFY(!page->findChild<QMessageBox *>());
}

// The main window shows its built-in picture; Exit only asks for the end.
// About and Back move between it and the about window, which keeps what the
// user adds to the contact text; Make Story brings back the genre window.
void WritingWindows::mainAndAboutWindows()
{
    show(Window::Form2);
    QSignalSpy ended(windows.get(), &WindowRegistry::endRequested);
    QCOMPARE(at<QLabel>(Window::Form2, "Image1")->pixmap().size(), QSize(280, 210));
    click(Window::Form2, "Command3");
    QCOMPARE(ended.size(), 1);
    QVERIFY(moves.isEmpty());

    click(Window::Form2, "Command2");
    auto *contact = at<QPlainTextEdit>(Window::Form3, "Text1");
    const QString text = QStringLiteral("To contact the creator of this program email \nstories@wrenfield.example \n");
    QCOMPARE(contact->toPlainText(), text);
    contact->moveCursor(QTextCursor::End);
    QTest::keyClicks(contact, QStringLiteral("Thanks!"));
    click(Window::Form3, "Command1");
    click(Window::Form2, "Command2");
    QCOMPARE(at<QPlainTextEdit>(Window::Form3, "Text1")->toPlainText(), text + QStringLiteral("Thanks!"));
    click(Window::Form3, "Command1");
    click(Window::Form2, "Command1");
    QCOMPARE(moves, (QStringList{"hide Form2", "show Form3", "hide Form3", "show Form2", "hide Form2", "show Form3",
                                 "hide Form3", "show Form2", "hide Form2", "show frmgenre"}));
    QCOMPARE(ended.size(), 1);
}

QTEST_MAIN(WritingWindows)
#include "tst_writingwindows.moc"
