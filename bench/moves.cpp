// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// Moves: for every button that leads to another window, the time from the
// click to the next window shown and painted. The first pass includes
// creating each window; later passes show windows that already exist.
// Run it on a real X display (see the README), e.g. under xvfb-run.
//
//   wrenfield_bench_moves [PASSES]     (default 21)

#include "ControlTable.h"
#include "LookAndFeel.h"
#include "Median.h"
#include "PaintWatch.h"
#include "StoryRecord.h"
#include "WindowRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Move {
    const char *label;
    Window from;
    const char *button;
    Window to;
};

// One complete round through the windows, back to where it started.
const Move moves[] = {
    {"genre Ok -> Player 1", Window::frmgenre, "Command1", Window::frmp1},
    {"Player 1 Ok -> Player 2", Window::frmp1, "Command1", Window::frmp2},
    {"Player 2 Ok -> speeches", Window::frmp2, "Command1", Window::mswfrm},
    {"Click When Done -> story page", Window::mswfrm, "Command1", Window::Form1},
    {"DONE! (saves) -> main", Window::Form1, "Command3", Window::Form2},
    {"About the creator -> about", Window::Form2, "Command2", Window::Form3},
    {"Back -> main", Window::Form3, "Command1", Window::Form2},
    {"Make Story -> genre", Window::Form2, "Command1", Window::frmgenre},
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int passes = argc > 1 ? std::max(2, std::atoi(argv[1])) : 21;
    Desktop::installLookAndFeel();

    QTemporaryDir root;
    StoryRecord story;
    WindowRegistry windows(story, root.path());

    PaintWatch watch;
    Window watched = Window::frmgenre;
    QObject::connect(&windows, &WindowRegistry::shown, &watch, [&](Window shown) {
        if (shown == watched)
            windows.window(shown)->installEventFilter(&watch);
    });
    windows.ShowWindow(Window::frmgenre);
    if (!QTest::qWaitForWindowExposed(windows.window(Window::frmgenre))) {
        std::fprintf(stderr, "the genre window never appeared\n");
        return 1;
    }

    constexpr std::size_t count = std::size(moves);
    std::vector<std::vector<double>> times(count);
    for (int pass = 0; pass < passes; ++pass) {
        // A new title word each pass, so that every DONE! saves a new file.
        story.TitleWord = QStringLiteral("Pass%1").arg(pass);
        for (std::size_t i = 0; i < count; ++i) {
            const Move &move = moves[i];
            QTest::qWait(30);  // let the last move's leftover events pass
            auto *button = Layout::control<QAbstractButton>(windows.window(move.from), move.button);
            watched = move.to;
            watch.painted = false;
            if (QWidget *existing = windows.window(move.to))
                existing->installEventFilter(&watch);

            QElapsedTimer timer;
            timer.start();
            QTest::mouseClick(button, Qt::LeftButton);
            while (!watch.painted && timer.elapsed() < 5000)
                QCoreApplication::processEvents();
            const double ms = double(timer.nsecsElapsed()) / 1e6;
            if (!watch.painted) {
                std::fprintf(stderr, "%s: the next window was not painted within 5 s\n", move.label);
                return 1;
            }
            times[i].push_back(ms);
        }
    }

    std::printf("%d passes; ms from the click to the next window painted (goal: within one frame, 16 ms)\n",
                passes);
    std::printf("%-32s %8s %12s %9s\n", "move", "first", "median after", "max after");
    double worst = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::vector<double> later(times[i].begin() + 1, times[i].end());
        const double most = *std::max_element(later.begin(), later.end());
        worst = std::max(worst, median(later));
        std::printf("%-32s %8.2f %12.2f %9.2f\n", moves[i].label, times[i].front(), median(later), most);
    }
    std::printf("slowest median: %.2f ms\n", worst);
    return 0;
}
