// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// The speeches window and the story page driven as a person would: the
// speeches reach the story record, and "DONE!" saves the story once or says
// why it could not. Also what every window shares: buttons that move from
// window to window, text boxes that take any text whole, and closing by the
// frame.
#include "WindowFixture.h"

#include "Announcements.h"

#include "FolderSnapshot.h"
#include "SaveNotice.h"
#include "SaveRecord.h"
#include "LookAndFeel.h"
#include "StoryText.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QSignalSpy>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

class WritingWindows : public WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { Desktop::installLookAndFeel(); }
    void init() { startRun(); }
    void speechBoxFeedsItsSpeech();
    void doneSavesOrSaysWhy_data();
    void doneSavesOrSaysWhy();
    void queuedPressesOfDoneSaveOnce_data();
    void queuedPressesOfDoneSaveOnce();
    void saveCutShortIsTold_data();
    void saveCutShortIsTold();
    void buttonMovesInItsOwnOrder_data();
    void buttonMovesInItsOwnOrder();
    void oneLineBoxTakesEverythingWhole_data();
    void oneLineBoxTakesEverythingWhole();
    void altWithAPlainLetterTypesNothing();
    void contactTextWrapsWithoutScrollBars();
    void closingAWindowByItsFrame_data();
    void closingAWindowByItsFrame();

public slots:
    // Stands in for the desktop's file manager.
    void openUrl(const QUrl &url) { openedUrl = url; }

private:
    void type(Window window, const char *box, const char *text) { QTest::keyClicks(at(window, box), text); }
    QUrl openedUrl;
    QString inRoot(const QString &name) const { return QDir(root->path()).filePath(name); }
};

// Each box gives its own speech whole (Text5 and Text6, Text7 and Text8
// give theirs crosswise), and a box left empty empties its speech, whatever
// it held before. (Tab order: e2e_draft.sh types the speeches by it.)
void WritingWindows::speechBoxFeedsItsSpeech()
{
    const std::pair<const char *, QString StoryRecord::*> boxes[] = {
        {"Text1", &StoryRecord::Speech1}, {"Text2", &StoryRecord::Speech2}, {"Text3", &StoryRecord::Speech3},
        {"Text4", &StoryRecord::Speech4}, {"Text6", &StoryRecord::Speech5}, {"Text5", &StoryRecord::Speech6},
        {"Text8", &StoryRecord::Speech7}, {"Text7", &StoryRecord::Speech8}};
    show(Window::mswfrm);
    for (int i = 0; i < 8; ++i) {
        story.*boxes[i].second = QStringLiteral("from an earlier story");
        if (i > 0)  // Text1 left empty
            type(Window::mswfrm, boxes[i].first, qPrintable(QStringLiteral("  Speech %1!  ").arg(i + 1)));
    }
    click(Window::mswfrm, "Command1");
    for (int i = 0; i < 8; ++i)
        QCOMPARE(story.*boxes[i].second, i == 0 ? QString() : QStringLiteral("  Speech %1!  ").arg(i + 1));
}

void WritingWindows::doneSavesOrSaysWhy_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("taken");  // files in the story folder; "->name": a broken link
    QTest::addColumn<bool>("retry");         // after the refusal: "DONE!" with the file moved away, or "Save as"
    QTest::addColumn<QString>("savedAs");    // empty: nowhere, as no free name can be offered

    const QString taken = QStringLiteral("CFSSOOMNPicnic.txt"), two = QStringLiteral("CFSSOOMNPicnic (2).txt");
    QTest::newRow("name free") << "Picnic" << QStringList{} << false << taken;
    QTest::newRow("taken, moved away, DONE! again") << "Picnic" << QStringList{taken} << true << taken;
    QTest::newRow("taken: Save as (2)") << "Picnic" << QStringList{taken} << false << two;
    QTest::newRow("(2) taken too") << "Picnic" << QStringList{taken, two} << false << "CFSSOOMNPicnic (3).txt";
    QTest::newRow("(2) a broken link") << "Picnic" << QStringList{taken, "->" + two} << false
                                       << "CFSSOOMNPicnic (3).txt";
    // 8 + 240 + 4 = 252 bytes: " (2)" would make 256.
    const QString longTitle(240, 'a');
    QTest::newRow("no room for a number") << longTitle << QStringList{"CFSSOOMN" + longTitle + ".txt"} << false
                                          << "";
}

// "DONE!" copies the title and the name untrimmed, shows the laid-out story
// and saves it after the staging file's text, then moves on. A taken name
// changes nothing on disk: the page stays, says why with the story in the
// details, and saves by "DONE!" once the old file is moved away (copying the
// boxes again) or at once at the first free name with a number, if offered.
void WritingWindows::doneSavesOrSaysWhy()
{
    QFETCH(QString, title);
    QFETCH(QStringList, taken);
    QFETCH(bool, retry);
    QFETCH(QString, savedAs);
    QVERIFY(writeFile(inRoot("program files/temp.txt"), "Draft\r\n"));
    for (const QString &name : taken) {
        QVERIFY(name.startsWith("->") ? QFile::link(inRoot("nowhere"), inRoot(name.mid(2)))
                                      : writeFile(inRoot(name), name.toUtf8()));
    }
    story.StoryFilePath = "c:\\CFSSOOMN" + title + ".txt";
    story.Speech1 = QStringLiteral("Shall we?");
    story.Speech8 = QStringLiteral("Always.");
    QWidget *page = show(Window::Form1);
    type(Window::Form1, "Text2", " A Picnic ");
    at<QLineEdit>(Window::Form1, "Text3")->insert(QStringLiteral("Zoë Brontë"));
    QSignalSpy saved(windows.get(), &WindowRegistry::storySaved);
    const QStringList before = folderSnapshot(root->path());
    click(Window::Form1, "Command3");
    // The save runs on a thread of its own: the page goes, or says why.
    const auto report = [&] { return page->findChild<QMessageBox *>(QStringLiteral("saveError")); };
    QTRY_VERIFY(!page->isVisible() || report());

    QCOMPARE(story.FullTitle, QStringLiteral(" A Picnic "));
    QCOMPARE(story.AuthorName, QStringLiteral("Zoë Brontë"));
    const QString text = storyTextOf(story), shown = QString(text).replace("\r\n", "\n");
    QCOMPARE(at<QPlainTextEdit>(Window::Form1, "Text1")->toPlainText(), shown);
    if (!taken.isEmpty()) {
        QVERIFY(report()->isVisible());
        QCOMPARE(report()->icon(), QMessageBox::Critical);
        const QString why = report()->informativeText();
        QVERIFY2(why.contains(QString::number(EEXIST)) && why.contains(story.StoryFilePath), qPrintable(why));
        QCOMPARE(report()->detailedText(), shown);
        QVERIFY(moves.isEmpty() && page->isVisible() && saved.isEmpty());
        QCOMPARE(folderSnapshot(root->path()), before);
        auto *saveAs = report()->findChild<QPushButton *>(QStringLiteral("saveAs"));
        QCOMPARE(saveAs != nullptr, !savedAs.isEmpty());
        if (!saveAs)
            return;
        if (retry) {
            report()->close();
            QVERIFY(QFile::remove(inRoot(taken[0])));
            story.FullTitle = QStringLiteral("changed");
            click(Window::Form1, "Command3");
        } else {
            QCOMPARE(saveAs->text(), QStringLiteral("Save as \u201c%1\u201d").arg(savedAs));
            QTest::mouseClick(saveAs, Qt::LeftButton);
        }
        QTRY_VERIFY(!page->isVisible());
    }
    QCOMPARE(readFile(inRoot(savedAs)), "Draft\r\n" + text.toUtf8() + "\r\n");
    QVERIFY(!QFile::exists(inRoot("program files/temp.txt")));
    QCOMPARE(story.StoryFilePath, "c:\\" + savedAs);
    QCOMPARE(saved.value(0), QVariantList{inRoot(savedAs)});
    QCOMPARE(moves, (QStringList{"hide Form1", "show Form2"}));
}

void WritingWindows::queuedPressesOfDoneSaveOnce_data()
{
    QTest::addColumn<int>("key");    // 0: the mouse
    QTest::addColumn<bool>("held");  // the save waits for another copy's lock meanwhile
    QTest::newRow("double click") << 0 << false;
    QTest::newRow("Enter twice") << int(Qt::Key_Return) << false;
    QTest::newRow("Space twice") << int(Qt::Key_Space) << false;
    QTest::newRow("presses while another copy saves") << int(Qt::Key_Space) << true;
}

// Presses of "DONE!" while the save runs or once the page has gone neither
// save again nor call the story just saved a name taken. A save held by
// another copy's lock shows on the page, which goes on taking events, the
// keyboard resting on the page itself, described as saving where screen
// readers cannot be told by announcement (checked over AT-SPI); then
// "DONE!" has it again, and the main window is described with the saved
// story until it goes.
void WritingWindows::queuedPressesOfDoneSaveOnce()
{
    QFETCH(int, key);
    QFETCH(bool, held);
    story.StoryFilePath = QStringLiteral("c:\\Once.txt");
    QWidget *page = show(Window::Form1);
    auto *done = at<QPushButton>(Window::Form1, "Command3");
    done->setFocus();
    QSignalSpy saved(windows.get(), &WindowRegistry::storySaved);
    const int lock = ::open(QFile::encodeName(inRoot(".wrenfield-unfinished-save.lock")).constData(),
                            O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    QVERIFY(lock >= 0 && (!held || ::flock(lock, LOCK_EX) == 0));
    const QPointF middle = QRectF(done->rect()).center();
    const auto press = [&](bool down) {
        if (key) {
            QCoreApplication::postEvent(done, new QKeyEvent(down ? QEvent::KeyPress : QEvent::KeyRelease, key, {}));
        } else {
            const auto type = down ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease;
            QCoreApplication::postEvent(done, new QMouseEvent(type, middle, done->mapToGlobal(middle), Qt::LeftButton,
                                                              down ? Qt::LeftButton : Qt::NoButton, {}));
        }
    };
    for (const bool down : {true, false, true, false})
        press(down);
    QCoreApplication::sendPostedEvents();
    if (held) {
        QTRY_VERIFY(!done->isEnabled());
        QCOMPARE(done->text(), QStringLiteral("Saving\u2026"));
        QCOMPARE(QApplication::focusWidget(), page);
        QCOMPARE(page->accessibleDescription(), Desktop::canAnnounce() ? QString() : done->text());
        for (const bool down : {true, false})
            press(down);
        QTest::qWait(50);
        QVERIFY(page->isVisible() && saved.isEmpty());
        ::flock(lock, LOCK_UN);
    }
    ::close(lock);

    QTRY_COMPARE(saved.size(), 1);
    QCOMPARE(moves, (QStringList{"hide Form1", "show Form2"}));
    QVERIFY(!page->findChild<QMessageBox *>());
    QCOMPARE(QDir(root->path()).entryList(QDir::Files), QStringList{"Once.txt"});
    QCOMPARE(done->text(), QStringLiteral("DONE!"));
    QVERIFY(page->focusWidget() == done && page->accessibleDescription().isEmpty());
    QWidget *main = windows->window(Window::Form2);
    QCOMPARE(main->accessibleDescription(), Desktop::canAnnounce() ? QString() : "Story saved as Once.txt.");
    click(Window::Form2, "Command2");  // About the creator
    QVERIFY(main->accessibleDescription().isEmpty());
}

void WritingWindows::saveCutShortIsTold_data()
{
    QTest::addColumn<bool>("atStart");   // at start; otherwise by the next "DONE!"
    QTest::addColumn<QString>("name");   // the name the record gives; empty: no record to be read
    QTest::addColumn<bool>("taken");     // a file of the user's is at that name
    QTest::addColumn<QString>("heading");

    const QString saved = QStringLiteral("A story was saved when Wrenfield started.");
    const QString notSaved = QStringLiteral("A story could not be saved completely.");
    // 8 + 240 + 4 = 252 bytes, too long for one line of the window.
    const QString longName = "CFSSOOMN" + QString(240, 'a') + ".txt";
    QTest::newRow("finished, at start") << true << "Cut.txt" << false << saved;
    QTest::newRow("a long name set aside, at start") << true << longName << true << notSaved;
    QTest::newRow("finished, at a save") << false << "Cut.txt" << false
                                         << QStringLiteral("A story cut short earlier was saved.");
    QTest::newRow("a record that cannot be read, at a save") << false << "" << false << notSaved;
}

// A save cut short is told in a window of its own, at start (before any
// other window, with "Show folder" opening the story folder) or when the
// next "DONE!" finishes or sets it aside, with every word of a long name.
void WritingWindows::saveCutShortIsTold()
{
    QFETCH(bool, atStart);
    QFETCH(QString, name);
    QFETCH(bool, taken);
    QFETCH(QString, heading);
    const QByteArray record = name.isEmpty() ? QByteArray("not a record")
                                             : encodeSaveRecord({name.toUtf8(), false, 0, {}, "A story\r\n"});
    QVERIFY(writeFile(inRoot(".wrenfield-unfinished-save"), record)
            && QFile::setPermissions(inRoot(".wrenfield-unfinished-save"), QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(!taken || writeFile(inRoot(name), "mine"));

    // What the window says, and whether it fits on the screen, lines whole.
    QString told, toldHeading;
    bool fits = false;
    const auto find = [&] {
        QMessageBox *notice = nullptr;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->objectName() == QLatin1String("unfinishedSave") && top->isVisible())
                notice = qobject_cast<QMessageBox *>(top);
        if (notice) {
            toldHeading = notice->text();
            told = notice->informativeText().remove(QChar(0x200B));
            auto *label = notice->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
            fits = label->minimumSizeHint().width() <= label->width()
                && notice->frameGeometry().width() <= notice->screen()->availableGeometry().width();
        }
        return notice;
    };
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    if (atStart) {
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            if (QMessageBox *notice = find())
                notice->findChild<QPushButton *>(QStringLiteral("showFolder"))->click();
        });
        answer.start(10);
        tellAboutUnfinishedSave(resolveUnfinishedSaveAtStart(root->path()), root->path());
        QCOMPARE(openedUrl, QUrl::fromLocalFile(root->path()));
    } else {
        story.StoryFilePath = QStringLiteral("c:\\Next.txt");
        show(Window::Form1);
        click(Window::Form1, "Command3");
        QTRY_VERIFY(find());
        find()->close();
        QCOMPARE(readFile(inRoot("Next.txt")), storyTextOf(story).toUtf8() + "\r\n");
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(toldHeading, heading);
    QVERIFY2(told.contains(name.isEmpty() ? QStringLiteral("cannot use it") : name), qPrintable(told));
    QVERIFY(fits);
    QCOMPARE(readFile(inRoot(name.isEmpty() ? "none" : name)),
             name.isEmpty() ? QByteArray("<missing>") : taken ? QByteArray("mine") : QByteArray("A story\r\n"));
}

void WritingWindows::buttonMovesInItsOwnOrder_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("altO");  // pressed with Alt+O instead of the mouse
    QTest::addColumn<QStringList>("expected");
    // The genre and speeches windows show the next window before hiding
    // themselves; the Player windows and the main window hide first.
    QTest::newRow("genre, Ok") << Window::frmgenre << "Command1" << false << QStringList{"show frmp1", "hide frmgenre"};
    QTest::newRow("player 1, Alt+O") << Window::frmp1 << "Command1" << true << QStringList{"hide frmp1", "show frmp2"};
    QTest::newRow("player 2, Alt+O in the title box") << Window::frmp2 << "Command1" << true
                                                      << QStringList{"hide frmp2", "show mswfrm"};
    QTest::newRow("speeches, Click When Done") << Window::mswfrm << "Command1" << false
                                               << QStringList{"show Form1", "hide mswfrm"};
    QTest::newRow("main, Make Story") << Window::Form2 << "Command1" << false
                                      << QStringList{"hide Form2", "show frmgenre"};
    QTest::newRow("main, About the creator") << Window::Form2 << "Command2" << false
                                             << QStringList{"hide Form2", "show Form3"};
    QTest::newRow("about, Back") << Window::Form3 << "Command1" << false << QStringList{"hide Form3", "show Form2"};
    QTest::newRow("main, Exit: the end, no move") << Window::Form2 << "Command3" << false << QStringList{};
}

// Each button makes its move, after which only the next window is on
// screen. An access key presses its button even in a text box, where it
// types nothing.
void WritingWindows::buttonMovesInItsOwnOrder()
{
    QFETCH(Window, window);
    QFETCH(QString, button);
    QFETCH(bool, altO);
    QFETCH(QStringList, expected);
    QWidget *w = show(window);
    QSignalSpy ended(windows.get(), &WindowRegistry::endRequested);
    if (altO) {
        QWidget *target = window == Window::frmp2 ? at(window, "Text1") : w;
        target->setFocus();
        QTest::keyClick(target, Qt::Key_O, Qt::AltModifier);
        // An access key presses the button visibly, then clicks it a moment later.
        QTRY_COMPARE(moves, expected);
    } else {
        click(window, button.toLatin1().constData());
        QCOMPARE(moves, expected);
    }
    QCOMPARE(ended.size(), expected.isEmpty() ? 1 : 0);
    if (window == Window::frmp2)
        QCOMPARE(story.TitleWord, QString());
    int visible = 0;
    for (int i = 0; i < WindowCount; ++i)
        visible += windows->window(Window(i)) && windows->window(Window(i))->isVisible();
    QCOMPARE(visible, 1);
    QCOMPARE(w->isVisible(), expected.isEmpty());
}

void WritingWindows::oneLineBoxTakesEverythingWhole_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("way");
    QTest::addColumn<int>("length");
    // Every one-line box, each way of entering text in turn; a million
    // characters pasted into the title word and into a speech.
    const std::pair<Window, const char *> boxes[] = {
        {Window::frmp2, "Text1"},  {Window::mswfrm, "Text1"}, {Window::mswfrm, "Text2"}, {Window::mswfrm, "Text3"},
        {Window::mswfrm, "Text4"}, {Window::mswfrm, "Text5"}, {Window::mswfrm, "Text6"}, {Window::mswfrm, "Text7"},
        {Window::mswfrm, "Text8"}, {Window::Form1, "Text2"},  {Window::Form1, "Text3"},
    };
    const char *const ways[] = {"paste", "drop", "input method"};
    for (int i = 0; i < int(std::size(boxes)); ++i) {
        const auto &[window, box] = boxes[i];
        QTest::addRow("%s %s, %s", qPrintable(nameOf(window)), box, ways[i % 3])
            << window << box << ways[i % 3] << (i == 0 || i == 3 ? 1'000'000 : 100'000);
    }
}

// Pasted, dropped or sent by an input method, text of any length arrives
// whole, every kind of line break made one space (CR LF too), tabs kept, the
// cursor after it; the field and the story file get exactly what is shown.
void WritingWindows::oneLineBoxTakesEverythingWhole()
{
    QFETCH(Window, window);
    QFETCH(QString, box);
    QFETCH(QString, way);
    QFETCH(int, length);
    show(window);
    auto *edit = at<QLineEdit>(window, box.toLatin1().constData());
    QTest::keyClicks(edit, QStringLiteral("<>"));
    QTest::keyClick(edit, Qt::Key_Left);
    const QString half(length / 2, QChar(u'\u00e9'));
    const QString in = half + QStringLiteral("1\r\n2\r3\n4\v5\f6\u00857\u20288\u2029\t9\r\n\n") + half;
    const QString expected = "<" + half + QStringLiteral("1 2 3 4 5 6 7 8 \t9  ") + half + "!>";

    if (way == "paste") {
        QGuiApplication::clipboard()->setText(in);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    } else if (way == "drop") {
        QMimeData data;
        data.setText(in);
        const QPointF cursor = edit->inputMethodQuery(Qt::ImCursorRectangle).toRectF().center();
        QDragEnterEvent enter(cursor.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(edit, &enter);
        QDropEvent drop(cursor, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(edit, &drop);
    } else {
        QInputMethodEvent commit;
        commit.setCommitString(in);
        QApplication::sendEvent(edit, &commit);
    }
    QTest::keyClick(edit, '!');
    QVERIFY(edit->text() == expected);

    if (window == Window::frmp2) {
        QVERIFY(story.TitleWord == expected);
        return;
    }
    story.StoryFilePath = QStringLiteral("c:\\Whole.txt");
    if (window == Window::mswfrm)
        click(Window::mswfrm, "Command1");
    click(Window::Form1, "Command3");
    QTRY_VERIFY(readFile(inRoot("Whole.txt")).contains(expected.toUtf8()));
}

// Alt with a letter that is no access key of its window adds nothing to a
// box; characters that need AltGr still type.
void WritingWindows::altWithAPlainLetterTypesNothing()
{
    const struct {
        Window window;
        const char *box;
        Qt::Key key;
        QString text;
        Qt::KeyboardModifiers modifiers;
        QString typed;
    } rows[] = {
        {Window::mswfrm, "Text1", Qt::Key_D, "d", Qt::AltModifier, ""},                         // in a speech
        {Window::Form3, "Text1", Qt::Key_D, "d", Qt::AltModifier, ""},                          // in the contact text
        {Window::mswfrm, "Text1", Qt::Key_Q, "@", Qt::GroupSwitchModifier, "@"},                // AltGr as a group switch
        {Window::Form1, "Text2", Qt::Key_E, "\u20ac", Qt::ControlModifier | Qt::AltModifier, "\u20ac"},  // AltGr as Ctrl+Alt
    };
    for (const auto &row : rows) {
        show(row.window);
        QWidget *target = at(row.window, row.box);
        target->setFocus();
        const auto textOf = [target] { return target->inputMethodQuery(Qt::ImSurroundingText).toString(); };
        const QString before = textOf();
        QTest::sendKeyEvent(QTest::Click, target, row.key, row.text, row.modifiers);
        QCOMPARE(textOf().remove(before), row.typed);
        QVERIFY(moves.isEmpty());
    }
}

void WritingWindows::closingAWindowByItsFrame_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("work");    // made before closing: none, choice, speech, saved
    QTest::addColumn<QString>("answer");  // to the question, if it comes
    QTest::addColumn<bool>("ends");
    for (int i = 0; i < WindowCount; ++i)
        QTest::addRow("%s, nothing unsaved", qPrintable(nameOf(Window(i)))) << Window(i) << "none" << "" << true;
    QTest::newRow("frmgenre, a choice, Enter") << Window::frmgenre << "choice" << "enter" << false;
    QTest::newRow("Form1, a speech, Escape") << Window::Form1 << "speech" << "escape" << false;
    QTest::newRow("Form2, a speech, Discard and quit") << Window::Form2 << "speech" << "discard" << true;
    QTest::newRow("mswfrm, a speech, then saved") << Window::mswfrm << "saved" << "" << true;
}

// With nothing chosen or typed since the start or the last save, closing any
// window ends the program at once. Otherwise it asks first, and only
// "Discard and quit" ends it; Escape and the default keep everything.
void WritingWindows::closingAWindowByItsFrame()
{
    QFETCH(Window, window);
    QFETCH(QString, work);
    QFETCH(QString, answer);
    QFETCH(bool, ends);
    QSignalSpy ended(windows.get(), &WindowRegistry::endRequested);
    if (work == "choice") {
        show(Window::frmgenre);
        click(Window::frmgenre, "Option2");
    } else if (work != "none") {
        show(Window::mswfrm);
        type(Window::mswfrm, "Text1", "Hello");
    }
    if (work == "saved")
        windows->reportStorySaved(inRoot(QStringLiteral("story.txt")));
    QWidget *closing = show(window);
    closing->close();

    auto *question = closing->findChild<QMessageBox *>(QStringLiteral("discardQuestion"));
    const bool asked = question;
    QCOMPARE(asked, !answer.isEmpty());
    if (asked) {
        QVERIFY(question->isVisible());
        QCOMPARE(question->text(), QStringLiteral("Discard this story and quit?"));
        QCOMPARE(ended.size(), 0);
        if (answer == "discard") {
            const QList<QAbstractButton *> buttons = question->buttons();
            QTest::mouseClick(*std::find_if(buttons.begin(), buttons.end(),
                                            [](QAbstractButton *b) { return b->text() == "Discard and quit"; }),
                              Qt::LeftButton);
        } else {
            QTest::keyClick(question, answer == "escape" ? Qt::Key_Escape : Qt::Key_Return);
        }
        QVERIFY(!question->isVisible());
    }
    QCOMPARE(ended.size(), ends ? 1 : 0);
    QCOMPARE(closing->isVisible(), asked);  // a window asking was not closed
    QVERIFY(moves.isEmpty());
}

// Typed far past its two lines, the contact box wraps its lines at its
// width, keeps every character, keeps the caret in view and shows no
// scroll bar.
void WritingWindows::contactTextWrapsWithoutScrollBars()
{
    QVERIFY(QTest::qWaitForWindowExposed(show(Window::Form3)));
    auto *box = at<QPlainTextEdit>(Window::Form3, "Text1");
    box->moveCursor(QTextCursor::End);
    const QString words = QStringLiteral("and more words to read ").repeated(20);
    QTest::keyClicks(box, words);
    QVERIFY(box->toPlainText().endsWith(words));
    const QRectF lines = box->document()->documentLayout()->blockBoundingRect(box->document()->lastBlock());
    QVERIFY(lines.height() > 5 * box->fontMetrics().lineSpacing());
    QVERIFY(box->viewport()->rect().contains(box->cursorRect().center()));
    QVERIFY(!box->verticalScrollBar()->isVisible() && !box->horizontalScrollBar()->isVisible());
}

QTEST_MAIN(WritingWindows)
#include "tst_writingwindows.moc"
