// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QString>

#include <chrono>
#include <optional>

// The program names its two fixed places with drive letters: story files go
// to "c:\<name>" and the staging file is "C:\program files\temp.txt". On Linux
// drive C: is one folder, the story root (normally ~/Documents/Wrenfield), and
// each backslash is a folder separator, so the staging file is
// "<root>/program files/temp.txt".
inline const QString StagingFilePath = QStringLiteral("C:\\program files\\temp.txt");

// The file a drive path names under rootFolder ("c:\" or "C:\" prefix,
// backslashes as separators); empty when drivePath does not start with a
// drive C: prefix.
QString realPathOf(const QString &rootFolder, const QString &drivePath);

// Why a save did not happen. Unless advice says otherwise, nothing has
// changed on disk when one is returned.
struct SaveError {
    int number = 0;       // the system's error number (errno)
    QString description;  // its text, as strerror gives it
    QString storyPath;    // the story file as the program names it, c:\...txt
    QString realPath;     // where that is on disk
    QString advice;       // what to do about it, and the files' state when a save
                          // could not be undone
    bool unfinished = false;  // the save could be neither completed nor undone,
                              // or the disk failed to sync it: its record
                              // stays, and the next start or save finishes it
                              // where the files prove how far it got

    // All of the above as a few lines for the user, e.g.
    // "17: File exists" / story path / real path / advice.
    QString message() const;
};

// How long a save waits for another copy of the program to finish saving in
// the same story folder.
inline constexpr std::chrono::milliseconds SaveLockWait{10000};

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
// the program; a save waits at most lockWait for another to end.
//
// Returns nothing when the story is saved. On failure it returns the error
// and leaves the folder as it found it: the staging file keeps its name and
// bytes, no existing file is changed and no new file is left behind. An
// existing story file is never overwritten or appended to. When putting the
// staging file back fails too, or the disk fails to sync the story, the
// error's advice says where things stand; the record then stays, and the next
// start or save finishes the save where the files prove how far it got.
// Saves refuse to run where the story folder cannot be locked.
std::optional<SaveError> saveStory(const QString &rootFolder, const QString &storyFilePath,
                                   const QString &storyText, std::chrono::milliseconds lockWait = SaveLockWait);

// A file-size limit must make a write fail with EFBIG rather than kill the
// program, so that the save can roll back. Called once at start-up.
void ignoreFileSizeSignal();
