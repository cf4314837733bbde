// The genre, Player 1 and Player 2 windows driven as a person would: option
// clicks record their codes, the title box follows every edit, and "&Ok"
// moves on and composes the story file's name.
#include "ControlTable.h"
#include "StoryRecord.h"
#include "WindowRegistry.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// The record's fields by name, so a test can say which one an option writes
// and check that no other changed.
const QList<QPair<const char *, QString StoryRecord::*>> fields{
    {"GenreCode", &StoryRecord::GenreCode},
    {"P1GenderCode", &StoryRecord::P1GenderCode},
    {"P1MaritalCode", &StoryRecord::P1MaritalCode},
    {"P1PersonalityCode", &StoryRecord::P1PersonalityCode},
    {"P1AgeCode", &StoryRecord::P1AgeCode},
    {"P2GenderCode", &StoryRecord::P2GenderCode},
    {"P2MaritalCode", &StoryRecord::P2MaritalCode},
    {"P2PersonalityCode", &StoryRecord::P2PersonalityCode},
    {"TitleWord", &StoryRecord::TitleWord},
    {"StoryFilePath", &StoryRecord::StoryFilePath},
};

QMap<QString, QString> valuesOf(const StoryRecord &story)
{
    QMap<QString, QString> values;
    for (const auto &[name, field] : fields)
        values.insert(QString::fromLatin1(name), story.*field);
    return values;
}

const char *nameOf(Window window)
{
    static const char *const names[] = {"frmgenre", "frmp1", "frmp2", "mswfrm", "Form1", "Form2", "Form3"};
    return names[static_cast<int>(window)];
}

} // namespace

class ChoiceWindows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Layout::installLookAndFeel(); }
    void init();
    void cleanup() { windows.reset(); }

    void optionRecordsItsCode_data();
    void optionRecordsItsCode();
    void lastClickWinsWithinItsFrameOnly();
    void arrowKeySelectsAndRecords();
    void focusAloneSelectsNothing();
    void titleBoxFollowsEveryEdit();
    void titleWordKeptExactly_data();
    void titleWordKeptExactly();
    void okMovesInItsOwnOrder_data();
    void okMovesInItsOwnOrder();
    void altOPressesOk();
    void storyFilePathFromClicks();
    void secondPassKeepsEverything();
    void player2TabOrder();
    void tableGeometryInPixels();
    void closingAWindowEndsTheProgram();

private:
    QWidget *show(Window window);
    void click(Window window, const char *control);

    QTemporaryDir root;
    StoryRecord story;
    std::unique_ptr<WindowRegistry> windows;
    QStringList moves;
};

void ChoiceWindows::init()
{
    story = StoryRecord{};
    moves.clear();
    windows = std::make_unique<WindowRegistry>(story, root.path());
    connect(windows.get(), &WindowRegistry::shown, this,
            [this](Window w) { moves << QStringLiteral("show %1").arg(nameOf(w)); });
    connect(windows.get(), &WindowRegistry::hidden, this,
            [this](Window w) { moves << QStringLiteral("hide %1").arg(nameOf(w)); });
}

QWidget *ChoiceWindows::show(Window window)
{
    windows->ShowWindow(window);
    QWidget *w = windows->window(window);
    if (!QTest::qWaitForWindowExposed(w))
        qWarning("window %s not exposed", nameOf(window));
    moves.clear();
    return w;
}

void ChoiceWindows::click(Window window, const char *control)
{
    auto *widget = Layout::control<QWidget>(windows->window(window), control);
    QTest::mouseClick(widget, Qt::LeftButton);
}

void ChoiceWindows::optionRecordsItsCode_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("code");

    const auto rows = [](Window window, const char *field, std::initializer_list<std::pair<const char *, const char *>> codes) {
        for (const auto &[option, code] : codes)
            QTest::addRow("%s %s", nameOf(window), option)
                << window << QString::fromLatin1(option) << QString::fromLatin1(field) << QString::fromLatin1(code);
    };
    rows(Window::frmgenre, "GenreCode",
         {{"Option1", "A"}, {"Option2", "C"}, {"Option3", "F"}, {"Option4", "G"}, {"Option5", "H"},
          {"Option6", "L"}, {"Option7", "M"}, {"Option8", "P"}, {"Option9", "R"}, {"Option10", "S"},
          {"Option11", "x"}});
    rows(Window::frmp1, "P1GenderCode",
         {{"Option1", "M"}, {"Option2", "F"}, {"Option3", "S"}, {"Option4", "O"}, {"Option5", "x"}});
    rows(Window::frmp1, "P1MaritalCode",
         {{"Option6", "M"}, {"Option7", "S"}, {"Option8", "N"}, {"Option9", "D"}, {"Option10", "W"},
          {"Option11", "x"}});
    rows(Window::frmp1, "P1PersonalityCode",
         {{"Option12", "O"}, {"Option13", "L"}, {"Option14", "a"}, {"Option15", "N"}, {"Option16", "G"},
          {"Option17", "T"}, {"Option18", "x"}, {"Option19", "S"}, {"Option20", "M"}, {"Option21", "P"},
          {"Option22", "B"}});
    rows(Window::frmp1, "P1AgeCode", {{"Option23", "O"}, {"Option24", "Y"}, {"Option25", "S"}, {"Option26", "x"}});
    rows(Window::frmp2, "P2GenderCode",
         {{"Option1", "M"}, {"Option2", "F"}, {"Option3", "S"}, {"Option4", "O"}, {"Option5", "x"}});
    rows(Window::frmp2, "P2MaritalCode",
         {{"Option6", "M"}, {"Option7", "S"}, {"Option8", "N"}, {"Option9", "D"}, {"Option10", "W"},
          {"Option11", "x"}});
    rows(Window::frmp2, "P2PersonalityCode",
         {{"Option12", "O"}, {"Option13", "L"}, {"Option14", "A"}, {"Option15", "N"}, {"Option16", "g"},
          {"Option17", "T"}, {"Option18", "x"}, {"Option19", "S"}, {"Option20", "M"}, {"Option21", "P"},
          {"Option22", "B"}});
}

// One click anywhere on the option's box (its caption may wrap) records the
// code, case kept, into its own field and nowhere else.
void ChoiceWindows::optionRecordsItsCode()
{
    QFETCH(Window, window);
    QFETCH(QString, option);
    QFETCH(QString, field);
    QFETCH(QString, code);

    QWidget *w = show(window);
    auto *button = Layout::control<QRadioButton>(w, option.toLatin1().constData());
    QMap<QString, QString> expected = valuesOf(story);
    expected[field] = code;

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->width() - 2, button->height() - 2));

    QVERIFY(button->isChecked());
    QCOMPARE(valuesOf(story), expected);
    QVERIFY(moves.isEmpty());
}

void ChoiceWindows::lastClickWinsWithinItsFrameOnly()
{
    QWidget *genre = show(Window::frmgenre);
    click(Window::frmgenre, "Option1");   // Adventure
    click(Window::frmgenre, "Option11");  // Mystery
    QCOMPARE(story.GenreCode, QStringLiteral("x"));
    QVERIFY(!Layout::control<QRadioButton>(genre, "Option1")->isChecked());

    QWidget *p1 = show(Window::frmp1);
    click(Window::frmp1, "Option2");   // Female
    click(Window::frmp1, "Option7");   // Single
    click(Window::frmp1, "Option20");  // Messy: "M", like Married, but for personality
    click(Window::frmp1, "Option1");   // Male
    QCOMPARE(story.P1GenderCode, QStringLiteral("M"));
    QCOMPARE(story.P1MaritalCode, QStringLiteral("S"));
    QCOMPARE(story.P1PersonalityCode, QStringLiteral("M"));
    QVERIFY(!Layout::control<QRadioButton>(p1, "Option2")->isChecked());
    QVERIFY(Layout::control<QRadioButton>(p1, "Option7")->isChecked());
    QVERIFY(Layout::control<QRadioButton>(p1, "Option20")->isChecked());
}

// Selecting with the keyboard is a click too and records its code.
void ChoiceWindows::arrowKeySelectsAndRecords()
{
    QWidget *genre = show(Window::frmgenre);
    auto *adventure = Layout::control<QRadioButton>(genre, "Option1");
    QTest::keyClick(adventure, Qt::Key_Space);
    QCOMPARE(story.GenreCode, QStringLiteral("A"));
    QTest::keyClick(adventure, Qt::Key_Down);
    QVERIFY(!adventure->isChecked());
    QCOMPARE(story.GenreCode.size(), 1);
    QVERIFY(story.GenreCode != QStringLiteral("A"));
}

// The first option of each window has the focus when it first shows, but a
// story may go on with nothing chosen: focus alone records nothing.
void ChoiceWindows::focusAloneSelectsNothing()
{
    for (const auto &[window, first] : {std::pair{Window::frmgenre, "Option1"}, std::pair{Window::frmp1, "Option1"},
                                       std::pair{Window::frmp2, "Option5"}}) {
        QWidget *w = show(window);
        QApplication::setActiveWindow(w);
        QCOMPARE(QApplication::focusWidget(), Layout::control<QWidget>(w, first));
        QVERIFY(!Layout::control<QRadioButton>(w, first)->isChecked());
    }
    QCOMPARE(valuesOf(story), valuesOf(StoryRecord{}));
}

void ChoiceWindows::titleBoxFollowsEveryEdit()
{
    QWidget *p2 = show(Window::frmp2);
    auto *box = Layout::control<QLineEdit>(p2, "Text1");
    QStringList seen;
    for (const QChar c : QStringLiteral("Picnic")) {
        QTest::keyClick(box, c.toLatin1());
        seen << story.TitleWord;
    }
    QCOMPARE(seen, (QStringList{"P", "Pi", "Pic", "Picn", "Picni", "Picnic"}));
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(story.TitleWord, QStringLiteral("Picni"));
    box->selectAll();
    box->cut();
    QCOMPARE(story.TitleWord, QString());
    box->paste();
    QCOMPARE(story.TitleWord, QStringLiteral("Picni"));
}

void ChoiceWindows::titleWordKeptExactly_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("several words") << QStringLiteral("A day out");
    QTest::newRow("leading and trailing spaces") << QStringLiteral("  Picnic ");
    QTest::newRow("backslash") << QStringLiteral("Cats\\Dogs");
    QTest::newRow("slash and dots") << QStringLiteral("../up");
    QTest::newRow("non-ASCII") << QStringLiteral("Gänseblümchen");
}

void ChoiceWindows::titleWordKeptExactly()
{
    QFETCH(QString, typed);
    QWidget *p2 = show(Window::frmp2);
    Layout::control<QLineEdit>(p2, "Text1")->insert(typed);  // as a paste would
    QCOMPARE(story.TitleWord, typed);
    click(Window::frmp2, "Command1");
    QCOMPARE(story.StoryFilePath, QStringLiteral("c:\\") + typed + QStringLiteral(".txt"));
}

void ChoiceWindows::okMovesInItsOwnOrder_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QStringList>("expected");
    // The genre window shows the next window before hiding itself; the
    // Player windows hide first.
    QTest::newRow("genre") << Window::frmgenre << QStringList{"show frmp1", "hide frmgenre"};
    QTest::newRow("player 1") << Window::frmp1 << QStringList{"hide frmp1", "show frmp2"};
    QTest::newRow("player 2") << Window::frmp2 << QStringList{"hide frmp2", "show mswfrm"};
}

void ChoiceWindows::okMovesInItsOwnOrder()
{
    QFETCH(Window, window);
    QFETCH(QStringList, expected);
    QWidget *w = show(window);
    click(window, "Command1");
    QCOMPARE(moves, expected);
    QVERIFY(!w->isVisible());
    const QString next = expected.first().startsWith("show") ? expected.first() : expected.last();
    for (int i = 0; i < WindowCount; ++i)
        if (QWidget *other = windows->window(static_cast<Window>(i)); other && other != w)
            QCOMPARE(other->isVisible(), next == QStringLiteral("show %1").arg(other->objectName()));
}

void ChoiceWindows::altOPressesOk()
{
    QWidget *genre = show(Window::frmgenre);
    QApplication::setActiveWindow(genre);
    QTest::keyClick(genre, Qt::Key_O, Qt::AltModifier);
    // An access key presses the button visibly, then clicks it a moment later.
    QTRY_COMPARE(moves, (QStringList{"show frmp1", "hide frmgenre"}));

    // Also while the focus is in the title box.
    QWidget *p2 = show(Window::frmp2);
    QApplication::setActiveWindow(p2);
    auto *box = Layout::control<QLineEdit>(p2, "Text1");
    box->setFocus();
    QTest::keyClick(box, Qt::Key_O, Qt::AltModifier);
    QTRY_COMPARE(moves, (QStringList{"hide frmp2", "show mswfrm"}));
    QCOMPARE(box->text(), QString());
}

// The Overview's example story, chosen by clicks.
void ChoiceWindows::storyFilePathFromClicks()
{
    show(Window::frmgenre);
    click(Window::frmgenre, "Option2");  // Comedy
    click(Window::frmgenre, "Command1");
    for (const char *option : {"Option2", "Option7", "Option19", "Option23"})  // Female, Single, Shy, Older
        click(Window::frmp1, option);
    click(Window::frmp1, "Command1");
    for (const char *option : {"Option4", "Option6", "Option15"})  // Opposite, Married, Nice
        click(Window::frmp2, option);
    QTest::keyClicks(Layout::control<QLineEdit>(windows->window(Window::frmp2), "Text1"), QStringLiteral("Picnic"));
    click(Window::frmp2, "Command1");
    QCOMPARE(story.StoryFilePath, QStringLiteral("c:\\CFSSOOMNPicnic.txt"));
}

// Nothing is reset between stories: a second pass through untouched windows
// shows the earlier choices and composes the same name. The first pass also
// shows that nothing is checked before moving on.
void ChoiceWindows::secondPassKeepsEverything()
{
    show(Window::frmgenre);
    click(Window::frmgenre, "Command1");
    click(Window::frmp1, "Command1");
    click(Window::frmp2, "Command1");
    QCOMPARE(story.StoryFilePath, QStringLiteral("c:\\.txt"));

    windows->HideWindow(Window::mswfrm);
    show(Window::frmgenre);
    click(Window::frmgenre, "Option8");  // Scifi
    click(Window::frmgenre, "Command1");
    click(Window::frmp1, "Option14");    // Active
    click(Window::frmp1, "Command1");
    click(Window::frmp2, "Option16");    // Grouchy
    QTest::keyClicks(Layout::control<QLineEdit>(windows->window(Window::frmp2), "Text1"), QStringLiteral("Moon"));
    click(Window::frmp2, "Command1");
    QCOMPARE(story.StoryFilePath, QStringLiteral("c:\\PagMoon.txt"));
    const auto first = valuesOf(story);

    windows->HideWindow(Window::mswfrm);
    show(Window::frmgenre);
    QVERIFY(Layout::control<QRadioButton>(windows->window(Window::frmgenre), "Option8")->isChecked());
    click(Window::frmgenre, "Command1");
    QVERIFY(Layout::control<QRadioButton>(windows->window(Window::frmp1), "Option14")->isChecked());
    click(Window::frmp1, "Command1");
    QCOMPARE(Layout::control<QLineEdit>(windows->window(Window::frmp2), "Text1")->text(), QStringLiteral("Moon"));
    click(Window::frmp2, "Command1");
    QCOMPARE(valuesOf(story), first);
}

// Tab goes by the tab indices over the whole window, not frame by frame. A
// group of options is one stop, entered at its first option in that order
// (or at its selected one); the arrow keys move within the group.
void ChoiceWindows::player2TabOrder()
{
    QWidget *p2 = show(Window::frmp2);
    QApplication::setActiveWindow(p2);
    const QStringList expected{"Option5", "Command1", "Option22", "Option11", "Text1", "Option5"};
    QStringList seen{QApplication::focusWidget()->objectName()};
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(seen, expected);
    QCOMPARE(valuesOf(story), valuesOf(StoryRecord{}));
}

void ChoiceWindows::tableGeometryInPixels()
{
    QWidget *p1 = show(Window::frmp1);
    // Client area 5745 x 6015 twips at 240, 4185; "Younger than P2" at
    // 240, 840 inside the age frame, 1455 x 495.
    QCOMPARE(p1->geometry(), QRect(16, 279, 383, 401));
    auto *younger = Layout::control<QRadioButton>(p1, "Option24");
    QCOMPARE(younger->parentWidget(), Layout::control<QGroupBox>(p1, "Frame4"));
    QCOMPARE(younger->geometry(), QRect(16, 56, 97, 33));
}

void ChoiceWindows::closingAWindowEndsTheProgram()
{
    QWidget *p1 = show(Window::frmp1);
    QSignalSpy ended(windows.get(), &WindowRegistry::endRequested);
    p1->close();
    QCOMPARE(ended.size(), 1);
}

QTEST_MAIN(ChoiceWindows)
#include "tst_choicewindows.moc"
