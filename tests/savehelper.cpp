// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// Runs one save, or other work of the program, in a process of its own, for
// tests that run it under strace, with a preloaded library or with an
// environment of its own. Just before the work it calls fsync(-1), which
// marks in a system call trace where the work under test starts.
//   ROOT STORY_PATH TEXT [LOCK_WAIT_MS]: saves (ROOT "-": the program's own
//       story folder); prints what it says of a save cut short before it,
//       then the error; exits with the error number (0 when saved).
//   --resolve ROOT: the start-up's finishing of a save cut short; prints its
//       line and message, exits with the outcome.
//   --where: prints the program's story folder.
//   --draft FOLDER SPEECH: takes over the draft left in FOLDER, as Continue
//       does, and writes it again with SPEECH as its first speech.

#include "DraftStore.h"
#include "Places.h"
#include "SaveMessages.h"
#include "StorySave.h"
#include "UnfinishedSave.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char *argv[])
{
    ignoreFileSizeSignal();
    const QString first = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (argc == 2 && first == QLatin1String("--where")) {
        std::printf("%s\n", qPrintable(storyRootFolder()));
        return 0;
    }
    if (argc == 3 && first == QLatin1String("--resolve")) {
        ::fsync(-1);
        const Resolution resolution = resolveUnfinishedSaveAtStart(QString::fromLocal8Bit(argv[2]));
        std::printf("%s\n%s\n", qPrintable(SaveMessages::resolutionLine(resolution)),
                    qPrintable(SaveMessages::resolutionMessage(resolution, SaveMessages::When::AtStart)));
        return int(resolution.outcome);
    }
    if (argc == 4 && first == QLatin1String("--draft")) {
        const QString folder = QString::fromLocal8Bit(argv[2]);
        DraftStore store({folder, folder.section(QLatin1Char('/'), 0, -2)});
        QList<DraftTrouble> troubles;
        const QList<LeftDraft> left = store.leftDrafts(&troubles);
        if (left.size() != 1)
            return 254;
        store.adopt(left.front());
        Draft draft = left.front().draft;
        draft.story.Speech1 = QString::fromLocal8Bit(argv[3]);
        ::fsync(-1);
        return store.write(encodeDraft(draft));
    }
    if (argc != 4 && argc != 5)
        return 255;
    const QString root = first == QLatin1String("-") ? storyRootFolder() : first;
    const auto lockWait = argc == 5 ? std::chrono::milliseconds(std::atoi(argv[4])) : SaveLockWait;
    ::fsync(-1);
    Resolution earlier;
    const auto error =
        saveStory(root, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), lockWait, &earlier);
    std::printf("%s\n", qPrintable(SaveMessages::resolutionMessage(earlier, SaveMessages::When::AtSave)));
    if (error)
        std::printf("%s\n", qPrintable(SaveMessages::saveError(*error)));
    return error ? error->number : 0;
}
