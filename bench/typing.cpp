// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// Typing into a speech that already holds 1,000,000 characters (and, for
// comparison, 10,000): each round times a key press until the box has
// painted it, with no draft kept and with drafts written (a second after the
// first unwritten key, as the program does, on their own thread), twice each
// in turn; then on prose with a misspelled word in every sentence, without
// spelling and with it checked in the English dictionary. Keys come 40 ms
// after the last one was painted, so drafts are written while the typing
// goes on. First it tells how much more memory the program holds once the
// English dictionary is loaded. Run it on a real X display (see the README),
// e.g. under xvfb-run.
//
//   wrenfield_bench_typing [KEYS]     (default 40)

#include "ControlTable.h"
#include "DraftKeeper.h"
#include "DraftStore.h"
#include "LookAndFeel.h"
#include "Median.h"
#include "PaintWatch.h"
#include "Spelling.h"
#include "StoryRecord.h"
#include "WindowRegistry.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

enum class Round { None, Drafts, Prose, Spelled };

long residentKib()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// How much more is resident once spelling has loaded the English dictionary
// and spelled a speech.
double dictionaryMib()
{
    qputenv("LANGUAGE", "en_US");
    QTemporaryDir root;
    StoryRecord story;
    WindowRegistry windows(story, root.path() + QStringLiteral("/C"));
    windows.ShowWindow(Window::mswfrm);
    if (!QTest::qWaitForWindowExposed(windows.window(Window::mswfrm)))
        return -1;
    QTest::qWait(200);
    const long before = residentKib();
    Desktop::Spelling spelling;
    Layout::control<QLineEdit>(windows.window(Window::mswfrm), "Text1")->setText(QStringLiteral("A smal cat"));
    if (!QTest::qWaitFor([&] { return spelling.ready(); }, 10000))
        return -1;
    QTest::qWait(200);
    return double(residentKib() - before) / 1024;
}

struct Result {
    double median, tenthWorst, worst;
    qint64 draftBytes;
};

Result typeInto(int keys, int length, Round round)
{
    const bool drafts = round == Round::Drafts, prose = round == Round::Prose || round == Round::Spelled;
    std::optional<Desktop::Spelling> spelling;
    if (round == Round::Spelled)
        spelling.emplace();
    QTemporaryDir root;
    StoryRecord story;
    WindowRegistry windows(story, root.path() + QStringLiteral("/C"));
    DraftStore store({root.path() + QStringLiteral("/state"), root.path()});
    std::unique_ptr<DraftKeeper> keeper;
    if (drafts)
        keeper = std::make_unique<DraftKeeper>(windows, story, store);

    windows.ShowWindow(Window::mswfrm);
    QWidget *speeches = windows.window(Window::mswfrm);
    QApplication::setActiveWindow(speeches);
    auto *box = Layout::control<QLineEdit>(speeches, "Text1");
    QString text;
    text.reserve(length);
    for (int word = 0; text.size() < length; ++word)
        text += prose ? QStringLiteral("Tea and cake on the lawn, with a smal dog and %1 cats. ").arg(QChar(u'a' + word % 26))
                      : QStringLiteral("word%1 ").arg(word % 997);
    text.truncate(length);
    box->setText(text);
    box->setFocus();
    box->end(false);
    if (!QTest::qWaitForWindowExposed(speeches))
        std::fprintf(stderr, "the speeches window never appeared\n");
    if (spelling && !QTest::qWaitFor([&] { return spelling->ready() && spelling->hasDictionary(); }, 10000))
        std::fprintf(stderr, "no English dictionary\n");
    PaintWatch watch;
    box->installEventFilter(&watch);

    std::vector<double> times;
    for (int i = 0; i < keys; ++i) {
        QTest::qWait(40);
        watch.painted = false;
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(box, char('a' + i % 26));
        while (!watch.painted && timer.elapsed() < 10000)
            QCoreApplication::processEvents();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    if (keeper)
        keeper->finish(std::chrono::seconds(30));
    std::sort(times.begin(), times.end());
    return {median(times), times[times.size() * 9 / 10], times.back(),
            drafts ? QFileInfo(store.path()).size() : 0};
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int keys = argc > 1 ? std::max(10, std::atoi(argv[1])) : 40;
    Desktop::installLookAndFeel();

    std::printf("memory with the English dictionary loaded: %+.1f MiB\n", dictionaryMib());
    std::printf("%d keys into a speech; ms from the key press to the box painted\n", keys);
    std::printf("%-10s %-16s %8s %8s %8s %12s\n", "speech", "round", "median", "90th %", "max", "draft bytes");
    static const char *const names[] = {"no drafts", "drafts kept", "prose", "prose, spelled"};
    for (const int length : {10000, 1000000}) {
        for (const Round round : {Round::None, Round::Drafts, Round::Prose, Round::Spelled, Round::None, Round::Drafts,
                                  Round::Prose, Round::Spelled}) {
            const Result r = typeInto(keys, length, round);
            std::printf("%-10d %-16s %8.2f %8.2f %8.2f %12lld\n", length, names[int(round)], r.median, r.tenthWorst,
                        r.worst, static_cast<long long>(r.draftBytes));
        }
    }
    return 0;
}
