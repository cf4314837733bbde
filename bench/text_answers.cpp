// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// What a screen reader's text questions cost on a box of a million
// characters: for the title box and a speech box, the median time of each
// question (the word, sentence, line or character at, before and after an
// offset; the attribute run; a character's place on screen) at the start,
// the middle and the end of the text, with the boxes spelled in English and
// a misspelled word in every sentence.
#include "ControlTable.h"
#include "LookAndFeel.h"
#include "Spelling.h"
#include "Median.h"
#include "StoryRecord.h"
#include "WindowRegistry.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

double medianMs(const std::function<void()> &question)
{
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        question();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return median(times);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Desktop::installLookAndFeel();
    qputenv("LANGUAGE", "en_US");
    Desktop::Spelling spelling;  // the boxes spelled in English, as the attribute runs then show
    spelling.start();
    StoryRecord story;
    QTemporaryDir root;
    WindowRegistry windows(story, root.path());
    while (!spelling.ready())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QString text;
    while (text.size() < 1000000)
        text += QStringLiteral("Tea and cake, agian! ");
    text.truncate(1000000);
    const int n = int(text.size());

    for (const auto &[window, name] : {std::pair(Window::frmp2, "Text1"), std::pair(Window::mswfrm, "Text1")}) {
        windows.ShowWindow(window);
        QWidget *box = Layout::control<QWidget>(windows.window(window), name);
        if (auto *oneLine = qobject_cast<QLineEdit *>(box))
            oneLine->setText(text);
        else
            static_cast<QPlainTextEdit *>(box)->setPlainText(text);
        QAccessibleTextInterface *answers = QAccessible::queryAccessibleInterface(box)->textInterface();
        std::printf("%s %s, %d characters (median of 5, ms):\n", qPrintable(box->window()->objectName()), name, n);
        const std::pair<QAccessible::TextBoundaryType, const char *> kinds[] = {
            {QAccessible::CharBoundary, "character"}, {QAccessible::WordBoundary, "word"},
            {QAccessible::SentenceBoundary, "sentence"}, {QAccessible::LineBoundary, "line"}};
        for (const int offset : {0, n / 2, n}) {
            std::printf("  at offset %7d:", offset);
            for (const auto &[kind, what] : kinds) {
                int start, end;
                std::printf(" %s %.1f / %.1f / %.1f;", what,
                            medianMs([&] { answers->textBeforeOffset(offset, kind, &start, &end); }),
                            medianMs([&] { answers->textAtOffset(offset, kind, &start, &end); }),
                            medianMs([&] { answers->textAfterOffset(offset, kind, &start, &end); }));
            }
            int start, end;
            std::printf(" attributes %.1f; place %.1f\n", medianMs([&] { answers->attributes(offset, &start, &end); }),
                        medianMs([&] { answers->characterRect(offset); }));
        }
    }
    return 0;
}
