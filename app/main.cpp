// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "ControlTable.h"
#include "DraftKeeper.h"
#include "DraftStore.h"
#include "Module1.h"
#include "Places.h"
#include "SaveNotice.h"
#include "StartUp.h"
#include "StoryNotifier.h"
#include "StorySave.h"
#include "UnfinishedSave.h"
#include "WindowRegistry.h"

#include <QApplication>

#include <cstdio>
#include <optional>

int main(int argc, char *argv[])
{
    // --help, --version and a wrong option are answered without a display.
    const CommandLine commandLine = readCommandLine(argc, argv);
    if (commandLine.request != CommandLine::Request::Start)
        return answerCommandLine(commandLine, WRENFIELD_VERSION);

    ignoreFileSizeSignal();
    WindowSystemGuard guard(commandLine);  // no display: one line and status 1, not an abort
    QApplication app(argc, argv);
    guard.release();
    QApplication::setApplicationName(QStringLiteral("Wrenfield"));
    QApplication::setApplicationVersion(QStringLiteral(WRENFIELD_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.wrenfield.Wrenfield"));
    Layout::installLookAndFeel();

    // A save cut short by a crash or a power cut is finished first, and the
    // user is told what became of it before the first window.
    const QString storyRoot = storyRootFolder();
    tellAboutUnfinishedSave(resolveUnfinishedSaveAtStart(storyRoot), storyRoot);
    WindowRegistry windows(Module1::Story, storyRoot);

    // A story that an earlier run was writing when it was killed, lost its
    // power or its session: offered back, the newest first. Without a draft
    // this is one look-up.
    DraftStore drafts(draftPlace());
    QStringList draftLines;
    const QList<LeftDraft> left = drafts.leftDrafts(&draftLines);
    for (const QString &line : draftLines)
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::optional<Draft> resumed;
    for (const LeftDraft &draft : left) {
        if (resumed) {
            drafts.release(draft);  // offered at the next start
        } else if (askToContinue(draft.draft)) {
            drafts.adopt(draft);
            resumed = draft.draft;
        } else {
            drafts.discard(draft);
        }
    }
    DraftKeeper keeper(windows, Module1::Story, drafts);

    // Every saved story is announced by a desktop notification; the notifier
    // does nothing until the first save.
    StoryNotifier notifier;
    QObject::connect(&windows, &WindowRegistry::storySaved, &notifier, &StoryNotifier::storySaved);
    if (resumed)
        keeper.restore(*resumed);
    else
        windows.ShowWindow(Window::frmgenre);
    return QApplication::exec();
}
