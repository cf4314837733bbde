// The speeches window, the story page, the main window and the about window
// driven as a person would: the speeches reach the story record, "DONE!"
// saves the story or says why it could not, and the main and about windows
// move as their buttons say.
#include "ControlTable.h"
#include "StoryRecord.h"
#include "WindowRegistry.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>

namespace {

const char *nameOf(Window window)
{
    static const char *const names[] = {"frmgenre", "frmp1", "frmp2", "mswfrm", "Form1", "Form2", "Form3"};
    return names[static_cast<int>(window)];
}

QString StoryRecord::*const speeches[] = {
    &StoryRecord::Speech1, &StoryRecord::Speech2, &StoryRecord::Speech3, &StoryRecord::Speech4,
    &StoryRecord::Speech5, &StoryRecord::Speech6, &StoryRecord::Speech7, &StoryRecord::Speech8,
};

// The speeches window's boxes by the speech each feeds, Speech1 first.
const char *const speechBoxes[] = {"Text1", "Text2", "Text3", "Text4", "Text6", "Text5", "Text8", "Text7"};

QStringList speechesOf(const StoryRecord &story)
{
    QStringList texts;
    for (QString StoryRecord::*speech : speeches)
        texts << story.*speech;
    return texts;
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class WritingWindows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Layout::installLookAndFeel(); }
    void init();
    void cleanup();

    void speechBoxFeedsItsSpeech_data();
    void speechBoxFeedsItsSpeech();
    void tabOrder_data();
    void tabOrder();
    void doneSavesTheStory();
    void failedSaveKeepsEverything();
    void secondStoryRecopiesEveryBox();
    void mainAndAboutMoves_data();
    void mainAndAboutMoves();
    void aboutTextSurvivesAVisit();
    void mainWindowShowsThePicture();

private:
    QWidget *show(Window window);
    void click(Window window, const char *control);
    QLineEdit *box(Window window, const char *name);
    QString inRoot(const QString &name) const { return QDir(root->path()).filePath(name); }
    void putStagingFile(const QByteArray &bytes);

    std::unique_ptr<QTemporaryDir> root;
    StoryRecord story;
    std::unique_ptr<WindowRegistry> windows;
    QStringList moves;
};

void WritingWindows::init()
{
    root = std::make_unique<QTemporaryDir>();
    QVERIFY(root->isValid());
    story = StoryRecord{};
    moves.clear();
    windows = std::make_unique<WindowRegistry>(story, root->path());
    connect(windows.get(), &WindowRegistry::shown, this,
            [this](Window w) { moves << QStringLiteral("show %1").arg(nameOf(w)); });
    connect(windows.get(), &WindowRegistry::hidden, this,
            [this](Window w) { moves << QStringLiteral("hide %1").arg(nameOf(w)); });
}

void WritingWindows::cleanup()
{
    windows.reset();
    root.reset();
}

QWidget *WritingWindows::show(Window window)
{
    windows->ShowWindow(window);
    QWidget *w = windows->window(window);
    if (!QTest::qWaitForWindowExposed(w))
        qWarning("window %s not exposed", nameOf(window));
    QApplication::setActiveWindow(w);
    moves.clear();
    return w;
}

void WritingWindows::click(Window window, const char *control)
{
    QTest::mouseClick(Layout::control<QWidget>(windows->window(window), control), Qt::LeftButton);
}

QLineEdit *WritingWindows::box(Window window, const char *name)
{
    return Layout::control<QLineEdit>(windows->window(window), name);
}

void WritingWindows::putStagingFile(const QByteArray &bytes)
{
    QVERIFY(QDir(root->path()).mkpath(QStringLiteral("program files")));
    write(inRoot(QStringLiteral("program files/temp.txt")), bytes);
}

void WritingWindows::speechBoxFeedsItsSpeech_data()
{
    QTest::addColumn<QString>("boxName");
    QTest::addColumn<int>("speech");
    for (int i = 0; i < 8; ++i)
        QTest::addRow("%s gives Speech%d", speechBoxes[i], i + 1) << QString::fromLatin1(speechBoxes[i]) << i + 1;
}

// Only one box holds text; its speech gets it whole and every other speech,
// whatever it held before, becomes empty. Then the story page comes up
// before this window goes.
void WritingWindows::speechBoxFeedsItsSpeech()
{
    QFETCH(QString, boxName);
    QFETCH(int, speech);
    for (QString StoryRecord::*field : speeches)
        story.*field = QStringLiteral("from an earlier story");
    QWidget *speechesWindow = show(Window::mswfrm);

    const QString typed = QStringLiteral("  Well, hello there!  ");
    QTest::keyClicks(box(Window::mswfrm, boxName.toLatin1().constData()), typed);
    click(Window::mswfrm, "Command1");

    QStringList expected(8, QString());
    expected[speech - 1] = typed;
    QCOMPARE(speechesOf(story), expected);
    QCOMPARE(moves, (QStringList{"show Form1", "hide mswfrm"}));
    QVERIFY(!speechesWindow->isVisible());
    QVERIFY(windows->window(Window::Form1)->isVisible());
}

void WritingWindows::tabOrder_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QStringList>("expected");  // from the first focus, one Tab at a time
    // The story page's story field is for show only and is never reached.
    QTest::newRow("speeches") << Window::mswfrm
                              << QStringList{"Text1", "Text3", "Text4", "Text5", "Text6", "Text2", "Text7",
                                             "Text8", "Command1", "Text1"};
    QTest::newRow("story page") << Window::Form1 << QStringList{"Text2", "Text3", "Command3", "Text2"};
    QTest::newRow("main") << Window::Form2 << QStringList{"Command1", "Command2", "Command3", "Command1"};
    QTest::newRow("about") << Window::Form3 << QStringList{"Text1", "Command1", "Text1"};
}

void WritingWindows::tabOrder()
{
    QFETCH(Window, window);
    QFETCH(QStringList, expected);
    show(window);
    QStringList seen{QApplication::focusWidget()->objectName()};
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(seen, expected);
}

// The name goes to AuthorName and the title to FullTitle, each untrimmed,
// and the file gets the laid-out story byte for byte after what the staging
// file held.
void WritingWindows::doneSavesTheStory()
{
    story.StoryFilePath = QStringLiteral("c:\\CFSSOOMNPicnic.txt");
    const QStringList said{"Shall we?", "Yes.", "Rain!", "Run!", "", "Too late.", "Tea?", "Always."};
    for (int i = 0; i < 8; ++i)
        story.*speeches[i] = said[i];
    putStagingFile("Draft\r\n");
    QWidget *page = show(Window::Form1);

    QTest::keyClicks(box(Window::Form1, "Text2"), QStringLiteral(" A Picnic "));
    box(Window::Form1, "Text3")->insert(QStringLiteral("Zoë Brontë"));
    click(Window::Form1, "Command3");

    QCOMPARE(story.FullTitle, QStringLiteral(" A Picnic "));
    QCOMPARE(story.AuthorName, QStringLiteral("Zoë Brontë"));
    const QString text = QStringLiteral("  A Picnic \r\n Zoë Brontë\r\n\r\nShall we?\r\n Yes.\r\n\r\nRain!\r\n Run!"
                                        "\r\n\r\n\r\n Too late.\r\n\r\nTea?\r\n Always.");
    QCOMPARE(contentsOf(inRoot(QStringLiteral("CFSSOOMNPicnic.txt"))), "Draft\r\n" + text.toUtf8() + "\r\n");
    QVERIFY(!QFile::exists(inRoot(QStringLiteral("program files/temp.txt"))));
    QCOMPARE(Layout::control<QPlainTextEdit>(page, "Text1")->toPlainText(), QString(text).replace("\r\n", "\n"));
    QCOMPARE(moves, (QStringList{"hide Form1", "show Form2"}));
    QVERIFY(!page->isVisible());
}

// A story file of that name exists already: nothing on disk changes, the
// page stays with everything typed and says why, with the story in the
// details; once the old file is moved away, "DONE!" saves.
void WritingWindows::failedSaveKeepsEverything()
{
    story.StoryFilePath = QStringLiteral("c:\\Clash.txt");
    story.Speech1 = QStringLiteral("Hello");
    putStagingFile("staged ");
    write(inRoot(QStringLiteral("Clash.txt")), "an older story\r\n");
    QWidget *page = show(Window::Form1);
    QTest::keyClicks(box(Window::Form1, "Text2"), QStringLiteral("Title"));
    QTest::keyClicks(box(Window::Form1, "Text3"), QStringLiteral("Name"));
    click(Window::Form1, "Command3");

    QPointer<QMessageBox> report = page->findChild<QMessageBox *>(QStringLiteral("saveError"));
    QVERIFY(report);
    QVERIFY(report->isVisible());
    QCOMPARE(report->icon(), QMessageBox::Critical);
    QVERIFY2(report->informativeText().contains(QString::number(EEXIST)), qPrintable(report->informativeText()));
    QVERIFY(report->informativeText().contains(QStringLiteral("c:\\Clash.txt")));
    const QString text = QStringLiteral(" Title\r\n Name\r\n\r\nHello\r\n \r\n\r\n\r\n \r\n\r\n\r\n \r\n\r\n\r\n ");
    QCOMPARE(report->detailedText().remove(QLatin1Char('\r')), QString(text).remove(QLatin1Char('\r')));

    QVERIFY(moves.isEmpty());
    QVERIFY(page->isVisible());
    QCOMPARE(box(Window::Form1, "Text2")->text(), QStringLiteral("Title"));
    QCOMPARE(box(Window::Form1, "Text3")->text(), QStringLiteral("Name"));
    QCOMPARE(contentsOf(inRoot(QStringLiteral("Clash.txt"))), QByteArray("an older story\r\n"));
    QCOMPARE(contentsOf(inRoot(QStringLiteral("program files/temp.txt"))), QByteArray("staged "));

    report->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!report);
    QVERIFY(QFile::remove(inRoot(QStringLiteral("Clash.txt"))));
    click(Window::Form1, "Command3");
    QCOMPARE(contentsOf(inRoot(QStringLiteral("Clash.txt"))), "staged " + text.toUtf8() + "\r\n");
    QCOMPARE(moves, (QStringList{"hide Form1", "show Form2"}));
    QVERIFY(!page->findChild<QMessageBox *>());
}

// A second story without editing anything: every box shows what it held,
// and the clicks copy it all again over whatever the record holds.
void WritingWindows::secondStoryRecopiesEveryBox()
{
    show(Window::mswfrm);
    const QStringList said{"one", "two", "three", "four", "five", "six", "seven", "eight"};
    for (int i = 0; i < 8; ++i)
        QTest::keyClicks(box(Window::mswfrm, speechBoxes[i]), said[i]);
    click(Window::mswfrm, "Command1");
    QTest::keyClicks(box(Window::Form1, "Text2"), QStringLiteral("Title"));
    QTest::keyClicks(box(Window::Form1, "Text3"), QStringLiteral("Name"));
    story.StoryFilePath = QStringLiteral("c:\\First.txt");
    click(Window::Form1, "Command3");
    QVERIFY(QFile::exists(inRoot(QStringLiteral("First.txt"))));

    const StoryRecord first = story;
    for (QString StoryRecord::*field : speeches)
        story.*field = QStringLiteral("changed");
    story.FullTitle = story.AuthorName = QStringLiteral("changed");
    story.StoryFilePath = QStringLiteral("c:\\Second.txt");
    windows->HideWindow(Window::Form2);
    show(Window::mswfrm);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(box(Window::mswfrm, speechBoxes[i])->text(), said[i]);
    click(Window::mswfrm, "Command1");
    QCOMPARE(speechesOf(story), said);
    QCOMPARE(box(Window::Form1, "Text2")->text(), QStringLiteral("Title"));
    click(Window::Form1, "Command3");
    QCOMPARE(story.FullTitle, first.FullTitle);
    QCOMPARE(story.AuthorName, first.AuthorName);
    QCOMPARE(contentsOf(inRoot(QStringLiteral("Second.txt"))), contentsOf(inRoot(QStringLiteral("First.txt"))));
}

void WritingWindows::mainAndAboutMoves_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("ends");
    QTest::newRow("Make Story") << Window::Form2 << QStringLiteral("Command1")
                                << QStringList{"hide Form2", "show frmgenre"} << false;
    QTest::newRow("About the creator") << Window::Form2 << QStringLiteral("Command2")
                                       << QStringList{"hide Form2", "show Form3"} << false;
    QTest::newRow("Exit") << Window::Form2 << QStringLiteral("Command3") << QStringList{} << true;
    QTest::newRow("Back") << Window::Form3 << QStringLiteral("Command1")
                          << QStringList{"hide Form3", "show Form2"} << false;
}

void WritingWindows::mainAndAboutMoves()
{
    QFETCH(Window, window);
    QFETCH(QString, button);
    QFETCH(QStringList, expected);
    QFETCH(bool, ends);
    show(window);
    QSignalSpy ended(windows.get(), &WindowRegistry::endRequested);
    click(window, button.toLatin1().constData());
    QCOMPARE(moves, expected);
    QCOMPARE(ended.size(), ends ? 1 : 0);
}

void WritingWindows::aboutTextSurvivesAVisit()
{
    QWidget *about = show(Window::Form3);
    auto *contact = Layout::control<QPlainTextEdit>(about, "Text1");
    QCOMPARE(contact->toPlainText(),
             QStringLiteral("To contact the creator of this program email \nstories@wrenfield.example \n"));
    contact->moveCursor(QTextCursor::End);
    QTest::keyClicks(contact, QStringLiteral("Thanks!"));
    const QString edited = contact->toPlainText();

    click(Window::Form3, "Command1");
    click(Window::Form2, "Command2");
    QCOMPARE(windows->window(Window::Form3), about);
    QCOMPARE(contact->toPlainText(), edited);
    QVERIFY(edited.endsWith(QStringLiteral("\nThanks!")));
}

// The picture is built into the program; a missing resource shows nothing.
void WritingWindows::mainWindowShowsThePicture()
{
    QWidget *main = show(Window::Form2);
    const QPixmap picture = Layout::control<QLabel>(main, "Image1")->pixmap();
    QCOMPARE(picture.size(), QSize(280, 210));
}

QTEST_MAIN(WritingWindows)
#include "tst_writingwindows.moc"
