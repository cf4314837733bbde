// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// The draft with real windows: a run interrupted anywhere and continued from
// its draft in fresh windows saves what an uninterrupted run saves, and a
// draft that cannot be kept is told. (The draft's life with the user's own
// end and the session's is tested end to end, in e2e_draft.sh.)
#include "DraftKeeper.h"
#include "DraftStore.h"
#include "WindowRegistry.h"

#include "FolderSnapshot.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>

namespace {

// One run of the program: its record, story folder, windows, draft folder
// and keeper.
struct Run {
    explicit Run(const QString &drafts = {})
        : draftFolder(drafts.isEmpty() ? root.path() + QStringLiteral("/state") : drafts)
    {
        QDir().mkpath(root.path() + QStringLiteral("/C/program files"));
        writeFile(root.path() + QStringLiteral("/C/program files/temp.txt"), "Notes\r\n");
    }

    QWidget *window(Window w) { return windows.window(w); }
    template <class T>
    T *at(Window w, const char *name) { return windows.window(w)->findChild<T *>(QLatin1String(name)); }
    void click(Window w, const char *name) { QTest::mouseClick(at<QAbstractButton>(w, name), Qt::LeftButton); }
    void type(Window w, const char *box, const QString &text) { QTest::keyClicks(at<QWidget>(w, box), text); }
    // "DONE!", and the save it starts on a thread of its own.
    void done()
    {
        click(Window::Form1, "Command3");
        QTRY_VERIFY(!window(Window::Form1)->isVisible());
    }
    QByteArray saved(const char *name) { return readFile(root.path() + QStringLiteral("/C/") + QLatin1String(name)); }

    QTemporaryDir root;
    QString draftFolder;
    StoryRecord story;
    WindowRegistry windows{story, root.path() + QStringLiteral("/C")};
    DraftStore store{{draftFolder, root.path()}};
    DraftKeeper keeper{windows, story, store};
};

using Step = std::function<void(Run &)>;

// Two stories, the second begun from what the first left: every kind of
// control, a move from each window, the about window's text and a title box
// edited after a window was left.
const std::vector<std::pair<const char *, Step>> &steps()
{
    static const std::vector<std::pair<const char *, Step>> all{
        {"start", [](Run &r) { r.windows.ShowWindow(Window::frmgenre); }},
        {"genre", [](Run &r) { r.click(Window::frmgenre, "Option2"); r.click(Window::frmgenre, "Option5"); }},
        {"to player 1", [](Run &r) { r.click(Window::frmgenre, "Command1"); }},
        {"player 1", [](Run &r) {
             for (const char *option : {"Option2", "Option7", "Option14", "Option19", "Option23"})
                 r.click(Window::frmp1, option);
             r.click(Window::frmp1, "Command1");
         }},
        {"player 2", [](Run &r) {
             for (const char *option : {"Option4", "Option6", "Option16"})
                 r.click(Window::frmp2, option);
             r.type(Window::frmp2, "Text1", QStringLiteral("Picnic"));
         }},
        {"to speeches", [](Run &r) { r.click(Window::frmp2, "Command1"); }},
        {"speeches", [](Run &r) {
             for (const char *box : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "Text8"})
                 r.type(Window::mswfrm, box, QStringLiteral("Said in ") + QLatin1String(box));
         }},
        {"to page", [](Run &r) { r.click(Window::mswfrm, "Command1"); }},
        {"page", [](Run &r) {
             r.type(Window::Form1, "Text2", QStringLiteral("A Day Out"));
             r.type(Window::Form1, "Text3", QStringLiteral("Zoe"));
         }},
        {"done", [](Run &r) { r.done(); }},
        {"about", [](Run &r) {
             r.click(Window::Form2, "Command2");
             r.at<QPlainTextEdit>(Window::Form3, "Text1")->setPlainText(QStringLiteral("mine now"));
             r.click(Window::Form3, "Command1");
             r.click(Window::Form2, "Command1");
         }},
        {"second genre", [](Run &r) { r.click(Window::frmgenre, "Option11"); r.click(Window::frmgenre, "Command1"); }},
        {"second players", [](Run &r) {
             r.click(Window::frmp1, "Command1");
             r.type(Window::frmp2, "Text1", QStringLiteral("Two"));
         }},
        {"second speeches", [](Run &r) {
             r.click(Window::frmp2, "Command1");
             r.type(Window::mswfrm, "Text1", QStringLiteral(" again"));
             r.click(Window::mswfrm, "Command1");
         }},
        {"second done", [](Run &r) { r.done(); }},
    };
    return all;
}

void runSteps(Run &r, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i)
        steps()[i].second(r);
}

} // namespace

class DraftWindows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { ::umask(077); }

    void continuedRunSavesTheSame_data()
    {
        QTest::addColumn<int>("after");
        for (std::size_t i = 1; i + 1 < steps().size(); ++i) {
            if (QByteArray(steps()[i].first) != "done")
                QTest::newRow(steps()[i].first) << int(i + 1);
        }
    }

    // The draft is taken after a step, read back from its bytes and put into
    // fresh windows, which show the same window and go on to save the same two
    // stories as windows that were never interrupted.
    void continuedRunSavesTheSame()
    {
        QFETCH(int, after);
        Run whole;
        runSteps(whole, 0, steps().size());

        Draft draft;
        {
            Run interrupted;
            runSteps(interrupted, 0, std::size_t(after));
            draft = *parseDraft(encodeDraft(interrupted.keeper.snapshot()));
        }
        Run continued;
        if (after > 9)  // the first story took the staging file with it
            QVERIFY(QFile::remove(continued.root.path() + QStringLiteral("/C/program files/temp.txt")));
        continued.keeper.restore(draft);
        const std::optional<Window> shown = WindowRegistry::windowNamed(draft.window);
        QVERIFY(shown && continued.window(*shown)->isVisible());
        for (int w = 0; w < WindowCount; ++w) {
            if (QWidget *window = continued.window(Window(w)))
                QCOMPARE(window->isVisible(), Window(w) == *shown);
        }
        runSteps(continued, std::size_t(after), steps().size());

        // The first story is saved by the interrupted run when it got that far.
        if (after <= 9)
            QCOMPARE(continued.saved("HFSSOOMgPicnic.txt"), whole.saved("HFSSOOMgPicnic.txt"));
        const QByteArray second = whole.saved("xFSSOOMgPicnicTwo.txt");
        QCOMPARE(continued.saved("xFSSOOMgPicnicTwo.txt"), second);
        QVERIFY2(second.contains("Said in Text1 again"), second.constData());
        QCOMPARE(continued.at<QPlainTextEdit>(Window::Form3, "Text1")->toPlainText(), QStringLiteral("mine now"));
    }

    // A draft that cannot be written is told in a window, once.
    void keptNoDraftIsToldOnce()
    {
        QTemporaryDir dir;
        writeFile(dir.path() + QStringLiteral("/state"), "a file where the folder would be");
        Run r(dir.path() + QStringLiteral("/state/wrenfield"));
        runSteps(r, 0, 5);  // two moves and a title word: several writes, all failing
        QVERIFY(r.keeper.finish(std::chrono::seconds(10)));
        const auto told = [] {
            const QWidgetList all = QApplication::allWidgets();
            return std::count_if(all.begin(), all.end(), [](QWidget *w) {
                return w->objectName() == QLatin1String("draftTrouble") && w->isVisible();
            });
        };
        QTRY_COMPARE(told(), 1);
    }

    // Typing on without a pause is still written within the write delay of the
    // first key not yet written: a timer restarted at every key would never fire.
    void steadyTypingIsKept()
    {
        Run r;
        runSteps(r, 0, 4);  // on the Player 2 window, its draft written on the way
        const QString typed = QStringLiteral("Picnic at the lake, then home");
        const QByteArray first = QByteArray::fromRawData(reinterpret_cast<const char *>(typed.utf16()), 2);
        for (const QChar c : typed) {  // 200 ms a key: six seconds in all
            r.type(Window::frmp2, "Text1", QString(c));
            QTest::qWait(200);
            if (readFile(r.store.path()).contains(first))
                return;
        }
        QFAIL("nothing typed was written while the typing went on");
    }
};

QTEST_MAIN(DraftWindows)
#include "tst_draftwindows.moc"
