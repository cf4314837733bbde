// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "SaveRecord.h"
#include "StorySave.h"

#include <QString>

#include <optional>

// What became of a save that an earlier run left unfinished (see SaveRecord).
struct Resolution {
    enum class Outcome {
        NothingToDo,   // no save was cut short
        Finished,      // it is carried through: the story file is whole and on disk
        AlreadyWhole,  // the story file was whole already; only the record was left
        SetAside,      // the files do not prove where the save stood, or its record could not be
                       // read: no file was touched, and the record, with the story in it, is kept
                       // under another name
        Unresolved,    // it could not be looked at, or its record could be neither read nor set
                       // aside: the record stays, and the next start or save tries again
    };
    Outcome outcome = Outcome::NothingToDo;
    int error = 0;                     // why it was not finished (an errno)
    std::optional<SaveRecord> record;  // the record, when it could be read
    QString storyFile;                 // the story file's full path, when the record could be read
    QString keptIn;                    // where the record was set aside
    QString line;                      // one line for standard error; empty when there was nothing to do
    QString message;                   // a few plain sentences for the user; empty when there is
                                       // nothing to tell (nothing to do, or already whole)
};

// Finishes a save cut short in the story folder rootFolder where its files
// prove how far it got, and otherwise sets its record aside, under the save
// lock (waiting at most lockWait for another save to end). Doing it again,
// or after a crash in the middle, is harmless. A record that cannot be read
// or trusted is never followed.
Resolution resolveUnfinishedSave(const QString &rootFolder, std::chrono::milliseconds lockWait = SaveLockWait);

// The same for a story folder already open and locked (the save does this
// before every save).
Resolution resolveUnfinishedSaveIn(int root, const QString &rootFolder);

// At start-up, before the first window shows: when a record is there (one
// look-up when it is not), resolves it and writes its line to standard
// error. The caller shows the message, if any, in a window.
Resolution resolveUnfinishedSaveAtStart(const QString &rootFolder);
