// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "Application.h"
#include "DraftKeeper.h"
#include "DraftStore.h"
#include "Form1.h"
#include "LookAndFeel.h"
#include "Module1.h"
#include "Places.h"
#include "SaveNotice.h"
#include "Spelling.h"
#include "StartUp.h"
#include "StartQuestions.h"
#include "StoryNotifier.h"
#include "StorySave.h"
#include "UnfinishedSave.h"
#include "WindowRegistry.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

// Everything with windows, from the window system's start to the last
// window gone; *lastWait: how long the last draft may then take.
int runWindows(int &argc, char *argv[], const CommandLine &commandLine, DraftStore &drafts,
               std::chrono::milliseconds *lastWait)
{
    WindowSystemGuard guard(commandLine);  // no display: one line and status 1, not an abort
    Application app(argc, argv);
    guard.release();
    QApplication::setApplicationName(QStringLiteral("Wrenfield"));
    QApplication::setApplicationVersion(QStringLiteral(WRENFIELD_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.wrenfield.Wrenfield"));
    Desktop::installLookAndFeel();

    // A save cut short by a crash or a power cut is finished first, and the
    // user is told what became of it before the first window.
    const QString storyRoot = storyRootFolder();
    const Resolution resolution = resolveUnfinishedSaveAtStart(storyRoot);
    bool sessionEnded = false;
    {
        const SessionEndWatch watch;
        tellAboutUnfinishedSave(resolution, storyRoot);
        sessionEnded = watch.ended;
    }
    // Spelling is loaded once a checked box is first painted, on its own thread.
    Desktop::Spelling spelling;
    WindowRegistry windows(Module1::Story, storyRoot);
    QObject::connect(&app, &Application::quitRequested, &windows, &WindowRegistry::quitRequested);

    // A story that an earlier run was writing when it was killed, lost its
    // power or its session: offered back, the newest first, unless the story
    // folder shows it saved. Without a draft this is one look-up.
    DraftKeeper keeper(windows, Module1::Story, drafts);
    QList<DraftTrouble> troubles;
    const QList<LeftDraft> left = drafts.leftDrafts(&troubles);
    keeper.tell(troubles);
    const std::optional<ResumedDraft> resumed =
        takeUpLeftDrafts(drafts, left, storyRoot, resolution, &sessionEnded);
    if (sessionEnded)
        return 0;  // the session ended while a window asked: nothing was chosen

    // Every saved story is announced by a desktop notification; the notifier
    // does nothing until the first save.
    Desktop::StoryNotifier notifier;
    QObject::connect(&windows, &WindowRegistry::storySaved, &notifier, &Desktop::StoryNotifier::storySaved);
    if (resumed)
        keeper.restore(resumed->draft, resumed->saved);
    else
        windows.ShowWindow(Window::frmgenre);
    const int status = QApplication::exec();
    keeper.handOverWriter();
    *lastWait = keeper.finishLimit();
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    // --help, --version and a wrong option are answered without a display.
    const CommandLine commandLine = readCommandLine(argc, argv);
    if (commandLine.request != CommandLine::Request::Start)
        return answerCommandLine(commandLine, WRENFIELD_VERSION);

    ignoreFileSizeSignal();
    // The drafts outlive the windows: the last one is written, or removed,
    // once the windows and the session's connection are gone, for as long
    // as the session allows.
    DraftStore drafts(draftPlace());
    std::chrono::milliseconds lastWait{0};
    const int status = runWindows(argc, argv, commandLine, drafts, &lastWait);
    // A draft sync or a save the disk holds up is not waited out: the draft
    // on disk stays whole, and a save's record makes the next start finish it.
    if (!DraftKeeper::finishLastWrite(lastWait) || Form1::saveLeftRunning()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
