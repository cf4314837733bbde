// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "Places.h"
#include "RecordedSave.h"
#include "SaveLock.h"
#include "StoryFileName.h"
#include "UnfinishedSave.h"

#include <QString>

#include <chrono>
#include <optional>

// The program names its two fixed places with drive letters: story files go
// to "c:\<name>" and the staging file is "C:\program files\temp.txt". On Linux
// drive C: is one folder, the story root (normally ~/Documents/Wrenfield), and
// each backslash is a folder separator, so the staging file is
// "<root>/program files/temp.txt".
inline const QString StagingFilePath = QStringLiteral("C:\\program files\\temp.txt");


// The steps of a save, in order.
enum class SaveStep { Check, Folder, Lock, Resolve, Stage, Record, Move, Write, Sync, Clear };

// Why a save did not happen: what went wrong, at which step, and the paths
// and numbers the user needs to be told about it. Unless `unfinished` says
// otherwise, nothing has changed on disk when one is returned.
struct SaveError {
    enum class Kind {
        System,              // the error number says it all
        NoDriveName,         // the story has no file name on drive C: yet
        BadName,             // the name rule refuses the name (nameProblem)
        OwnName,             // the name is one the save keeps its own files under
        NoHome,              // no home folder, so no story folder
        TooLong,             // longer than MaxStoryBytes
        FolderMissing,       // `path`, which holds the story folder's parent, does not exist
        DamagingDisk,        // the story folder is on a file system known to damage writes
        LockBusy,            // `holder` held the lock for all of lockWait
        LockHeldByOther,     // `holder`, another account, holds a lock file that cannot be replaced
        NoLocks,             // files in the story folder cannot be locked
        LockFileUnusable,    // the lock file `path` is not a file that can be used
        LockFileNotMine,     // the lock file `path` is `owner`'s, and cannot be replaced
        LockFileBlocked,     // `path`, where a fresh lock file is made, is `owner`'s (number EPERM) or
                             // not a file (EINVAL), and cannot be removed
        EarlierUnresolved,   // an earlier save cut short could not be resolved (earlier)
        StagingNotPlain,     // the staging file `path` is a link, a folder, a device or has other names
        StagingNotWritable,  // the user may not write to the staging file `path`
        StagingNotMine,      // the staging file `path` is `owner`'s
        StagingLinkNotMine,  // "program files" (`path`) is a link to `owner`'s folder
        RecordTooBig,        // the record would pass the file-size limit
        RecordLeft,          // writing the record failed, and the record `path` could not be removed
        NotOnDisk,           // the disk failed to sync the whole story
        HalfDone,            // neither finished nor undone: `left` says where things stand
        RecordNotRemoved,    // undone, but its record `path` stays (removalError)
    };
    Kind kind = Kind::System;
    SaveStep step = SaveStep::Check;
    int number = 0;        // the system's error number (errno)
    QString storyPath;     // the story file as the program names it, c:\...txt
    QString realPath;      // where that is on disk
    QString rootFolder;    // the story folder
    QString path;          // the file or folder the kind is about
    std::optional<NameProblem> nameProblem;
    SaveFiles::LockHolder holder;
    std::chrono::milliseconds lockWait{0};
    uid_t owner = 0;       // the owner of the file `path`, for the kinds that name one
    SaveFiles::Content left = SaveFiles::Content::Other;
    bool hasStaging = false;
    int removalError = 0;
    Resolution earlier;    // for EarlierUnresolved
    bool unfinished = false;  // the save could be neither completed nor undone,
                              // or the disk failed to sync it: its record
                              // stays, and the next start or save finishes it
                              // where the files prove how far it got
};

// Saves a story: renames the staging file to storyFilePath's real path under
// rootFolder, writes storyText and one CR LF after its text, and flushes the
// file and the folders to disk. The text is written as UTF-8 with no
// byte-order mark. When there is no staging file the story file is made new
// and holds the story alone.
//
// Saved whole or not at all: before it changes anything the user can see, it
// writes what it is about to do into a save record (see SaveRecord.h), so
// that a save cut short by a crash or a power cut is finished at the next
// start. Saves in one story folder happen one at a time, across copies of
// the program; a save waits at most lockWait for another to end. A save cut
// short earlier is resolved first; what became of it is in *earlier.
//
// Returns nothing when the story is saved. On failure it returns the error
// and leaves the folder as it found it: the staging file keeps its name and
// bytes, no existing file is changed and no new file is left behind. An
// existing story file is never overwritten or appended to. When putting the
// staging file back fails too, or the disk fails to sync the story, the
// error says where things stand; the record then stays, and the next start
// or save finishes the save where the files prove how far it got. Saves
// refuse to run where the story folder cannot be locked.
//
// It may wait for seconds (for the lock, or for a slow disk): a window runs
// it on a thread of its own.
std::optional<SaveError> saveStory(const QString &rootFolder, const QString &storyFilePath,
                                   const QString &storyText, std::chrono::milliseconds lockWait = SaveLockWait,
                                   Resolution *earlier = nullptr);

// A file-size limit must make a write fail with EFBIG rather than kill the
// program, so that the save can roll back. Called once at start-up.
void ignoreFileSizeSignal();
