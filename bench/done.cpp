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
#include <cstdio>
#include <cstdlib>
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

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
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
