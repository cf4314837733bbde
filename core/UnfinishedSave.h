// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "SaveFiles.h"
#include "SaveRecord.h"

#include <QString>

#include <chrono>
#include <optional>
#include <sys/types.h>

// What became of a save that an earlier run left unfinished (see SaveRecord).
struct Resolution {
    enum class Outcome {
        NothingToDo,   // no save was cut short
        Finished,      // it is carried through: the story file is whole and on disk
        AlreadyWhole,  // the story file was whole already; only the record was left
        SetAside,      // the files do not prove where the save stood, or its record could not be
                       // read or trusted: no file was touched, and the record, with the story in
                       // it, is kept under another name
        Unresolved,    // it could not be looked at, or its record could be neither read nor set
                       // aside: the record stays, and the next start or save tries again
    };
    // Why it was set aside, or left unresolved.
    enum class Reason {
        None,
        RecordUnreadable,  // the record cannot be read (error)
        RecordNotPlain,    // not a plain file of a record's size
        RecordNotMine,     // another user's (owner), or open to others
        RecordBroken,      // not a record that can be followed (problem)
        FilesUnreadable,   // the save's files could not be read (error)
        MoreThanOneName,   // the story file has more than one name
        StoryFileChanged,  // the story file holds other bytes than the save left in it
        StoryNameTaken,    // a file the save never made has the story's name
        StagingChanged,    // the staging file is no longer as it was
        BothGone,          // neither the story file nor the staging file is there
        FinishFailed,      // finishing it failed (error)
        LockBusy,          // another copy is saving there
        LockUnusable,      // the lock file cannot be used (error)
    };
    Outcome outcome = Outcome::NothingToDo;
    Reason reason = Reason::None;
    int error = 0;                                   // the errno behind the reason or the outcome
    RecordProblem problem = RecordProblem::NotARecord;  // for RecordBroken
    uid_t owner = 0;                                 // for RecordNotMine
    int setAsideError = 0;                           // Unresolved: why the record could not be set aside
    int removalError = 0;                            // Finished, AlreadyWhole: why the record stays
    std::optional<SaveRecord> record;                // the record, when it could be read
    QString rootFolder;                              // the story folder
    QString recordPath;                              // the record's full path
    QString storyFile;                               // the story file's full path, when the record could be read
    QString stagingFile;                             // the staging file's full path
    QString keptIn;                                  // where the record was set aside

    // Whether the user is to be told in a window: a save finished, a record
    // set aside or left, or a record that stays beside a whole story.
    bool worthTelling() const;
};

// Finishes a save cut short in the story folder rootFolder where its files
// prove how far it got, and otherwise sets its record aside, under the save
// lock (waiting at most lockWait for another save to end). Doing it again,
// or after a crash in the middle, is harmless. A record that cannot be read
// or trusted (another user's, open to others, or not a plain file) is never
// followed.
Resolution resolveUnfinishedSave(const QString &rootFolder, std::chrono::milliseconds lockWait = SaveLockWait);

// The same for a story folder already open and locked (the save does this
// before every save).
Resolution resolveUnfinishedSaveIn(int root, const QString &rootFolder, const SaveFiles::FolderTrust &trust);

// At start-up, before the first window shows: when a record is there (one
// look-up when it is not), resolves it. The caller tells the user.
Resolution resolveUnfinishedSaveAtStart(const QString &rootFolder);
