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
        NothingToDo,  // no save was cut short
        Finished,     // it is carried through: the story file is whole and on disk
        SetAside,     // its record could not be followed and is kept under another
                      // name; the staging file is as it was before that save
        Unresolved,   // it could be neither finished nor undone: the record stays,
                      // and the next start or save tries again
    };
    Outcome outcome = Outcome::NothingToDo;
    int error = 0;                     // why it was not finished (an errno)
    std::optional<SaveRecord> record;  // the record, when it could be read
    QString line;                      // one line for standard error; empty when there was nothing to do
};

// Finishes a save cut short in the story folder rootFolder, or undoes it
// when it cannot be finished, under the save lock (waiting at most lockWait
// for another save to end). Doing it again, or after a crash in the middle,
// is harmless. A record that cannot be trusted is never followed.
Resolution resolveUnfinishedSave(const QString &rootFolder, std::chrono::milliseconds lockWait = SaveLockWait);

// The same for a story folder already open and locked (the save does this
// before every save).
Resolution resolveUnfinishedSaveIn(int root, const QString &rootFolder);

// At start-up, before the first window shows: when a record is there (one
// look-up when it is not), resolves it and writes its line to standard error.
void resolveUnfinishedSaveAtStart(const QString &rootFolder);
