// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// "DONE!" on long text: the eight speeches, the full title and the name hold
// 100,000 characters each, first as words and spaces, then as one unbroken
// word (the hardest text to lay out in lines), and each round times the
// click on "DONE!" until the main window has painted. That includes laying the story out, showing
// it in the story field and saving it (no staging file, so a new ~1 MB file
// flushed to disk in the temp folder). Run it on a real X display (see the
// README), e.g. under xvfb-run.
//
//   wrenfield_bench_done [ROUNDS] [CHARACTERS]     (default 21, 100000)
//
// With --held, it times instead how the story page answers while its save
// is held up: another copy (a thread here, on a lock of its own) holds the
// story folder's save lock for HOLD_MS, and every 20 ms another thread asks
// the page to repaint, as an expose of the window would; each time from
// the request to the page's paint is noted. Run it under
//   strace -f -qq -o /dev/null -e trace=fdatasync
//          -e inject=fdatasync:delay_enter=3000000 wrenfield_bench_done --held
// (one command line)
// for a disk that takes 3 s over each sync as well.
//
//   wrenfield_bench_done --held [HOLD_MS]          (default 3000)

#include "ControlTable.h"
#include "LookAndFeel.h"
#include "Median.h"
#include "PaintWatch.h"
#include "StoryRecord.h"
#include "WindowRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Words, different for each box, cut to length characters and separated by
// separator.
QString longText(int box, int length, QChar separator)
{
    QString text;
    text.reserve(length + 16);
    for (int word = 0; text.size() < length; ++word)
        text += QStringLiteral("word%1-%2").arg(box).arg(word % 997) + separator;
    text.truncate(length);
    return text;
}

using Clock = std::chrono::steady_clock;

// Notes when the page it watches paints, from the GUI thread.
class PaintTimes : public QObject {
public:
    std::mutex mutex;
    std::vector<Clock::time_point> paints;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            const std::lock_guard<std::mutex> hold(mutex);
            paints.push_back(Clock::now());
        }
        return false;
    }
};

int heldSave(int holdMs)
{
    QTemporaryDir root;
    StoryRecord story;
    story.StoryFilePath = QStringLiteral("c:\\Held.txt");
    WindowRegistry windows(story, root.path());
    windows.ShowWindow(Window::Form1);
    QWidget *page = windows.window(Window::Form1);
    if (!QTest::qWaitForWindowExposed(page)) {
        std::fprintf(stderr, "the story page never appeared\n");
        return 1;
    }
    const QByteArray lockPath = QFile::encodeName(root.path() + QStringLiteral("/.wrenfield-unfinished-save.lock"));
    const int lock = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) {
        std::fprintf(stderr, "cannot hold the lock: %s\n", std::strerror(errno));
        return 1;
    }
    PaintTimes paints;
    page->installEventFilter(&paints);
    std::thread otherCopy([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
        ::close(lock);
    });
    std::atomic<bool> saving{true};
    std::vector<Clock::time_point> requests;
    std::thread exposer([&] {
        while (saving) {
            requests.push_back(Clock::now());
            QMetaObject::invokeMethod(page, qOverload<>(&QWidget::update), Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const Clock::time_point start = Clock::now();
    QTest::mouseClick(Layout::control<QAbstractButton>(page, "Command3"), Qt::LeftButton);
    while (page->isVisible() && Clock::now() - start < std::chrono::seconds(120))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const Clock::time_point end = Clock::now();
    const double total = std::chrono::duration<double, std::milli>(end - start).count();
    saving = false;
    exposer.join();
    otherCopy.join();

    // Each request made while the page was on show is answered by the first
    // paint after it, or, when none came before the page went, not at all:
    // it waited until then.
    std::vector<double> waits;
    for (const Clock::time_point asked : requests) {
        if (asked >= end)
            break;
        const auto painted = std::lower_bound(paints.paints.begin(), paints.paints.end(), asked);
        const Clock::time_point answered = painted != paints.paints.end() ? std::min(*painted, end) : end;
        waits.push_back(std::chrono::duration<double, std::milli>(answered - asked).count());
    }
    if (waits.empty() || page->isVisible()) {
        std::fprintf(stderr, "the save did not end, or the page never painted\n");
        return 1;
    }
    std::printf("lock held %d ms; save ended after %.0f ms; %zu repaints asked meanwhile: ms from the request to "
                "the paint (goal: within a frame, 16 ms)\n", holdMs, total, waits.size());
    std::printf("median %.2f, max %.2f\n", median(waits), *std::max_element(waits.begin(), waits.end()));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--held") == 0) {
        Desktop::installLookAndFeel();
        return heldSave(argc > 2 ? std::max(0, std::atoi(argv[2])) : 3000);
    }
    const int rounds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 21;
    const int length = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100000;
    Desktop::installLookAndFeel();

    QTemporaryDir root;
    StoryRecord story;
    WindowRegistry windows(story, root.path());

    // The main window is created by the first DONE!; it is watched from then on.
    PaintWatch watch;
    QObject::connect(&windows, &WindowRegistry::shown, &watch, [&](Window shown) {
        if (shown == Window::Form2)
            windows.window(shown)->installEventFilter(&watch);
    });

    int round = 0;
    std::printf("%d rounds, 10 boxes of %d characters; ms from the click on DONE! to the main window painted "
                "(goal: 100 ms)\n", rounds, length);
    std::printf("%-16s %8s %12s %9s\n", "text", "first", "median after", "max after");
    for (const auto &[kind, separator] : {std::pair{"words", QChar(u' ')}, std::pair{"one word", QChar(u'x')}}) {
        // Put the texts in and go on to the story page, as a person would.
        windows.HideWindow(Window::Form2);
        windows.ShowWindow(Window::mswfrm);
        QWidget *speeches = windows.window(Window::mswfrm);
        int box = 0;
        for (const char *name : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "Text8"})
            Layout::control<QLineEdit>(speeches, name)->setText(longText(box++, length, separator));
        QTest::mouseClick(Layout::control<QAbstractButton>(speeches, "Command1"), Qt::LeftButton);
        QWidget *page = windows.window(Window::Form1);
        for (const char *name : {"Text2", "Text3"})
            Layout::control<QLineEdit>(page, name)->setText(longText(box++, length, separator));
        auto *done = Layout::control<QAbstractButton>(page, "Command3");

        std::vector<double> times;
        for (int i = 0; i < rounds; ++i, ++round) {
            story.StoryFilePath = QStringLiteral("c:\\Round%1.txt").arg(round);
            windows.HideWindow(Window::Form2);
            windows.ShowWindow(Window::Form1);
            if (!QTest::qWaitForWindowExposed(page)) {
                std::fprintf(stderr, "the story page never appeared\n");
                return 1;
            }
            QTest::qWait(30);  // let the page's own painting pass

            watch.painted = false;
            QElapsedTimer timer;
            timer.start();
            QTest::mouseClick(done, Qt::LeftButton);
            while (!watch.painted && timer.elapsed() < 60000)
                QCoreApplication::processEvents();
            const double ms = double(timer.nsecsElapsed()) / 1e6;
            if (!watch.painted) {
                std::fprintf(stderr, "round %d: the main window was not painted within 60 s\n", round);
                return 1;
            }
            times.push_back(ms);
        }
        const std::vector<double> later(times.begin() + 1, times.end());
        std::printf("%-16s %8.2f %12.2f %9.2f\n", kind, times.front(), median(later),
                    *std::max_element(later.begin(), later.end()));
    }

    const int saved = int(QDir(root.path()).entryList({QStringLiteral("Round*.txt")}, QDir::Files).size());
    if (saved != round) {
        std::fprintf(stderr, "%d of %d rounds saved their story\n", saved, round);
        return 1;
    }
    return 0;
}
