// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QString>

#include <optional>

// The program names its two fixed places with drive letters: story files go
// to "c:\<name>" and the staging file is "C:\program files\temp.txt". On Linux
// drive C: is one folder, the story root (normally ~/Documents/Wrenfield), and
// each backslash is a folder separator, so the staging file is
// "<root>/program files/temp.txt".
inline const QString StagingFilePath = QStringLiteral("C:\\program files\\temp.txt");

// <Documents>/Wrenfield for the user running the program.
QString storyRootFolder();

// The file a drive path names under rootFolder ("c:\" or "C:\" prefix,
// backslashes as separators); empty when drivePath does not start with a
// drive C: prefix.
QString realPathOf(const QString &rootFolder, const QString &drivePath);

// Why a save did not happen. Nothing has changed on disk when one is returned.
struct SaveError {
    int number = 0;       // the system's error number (errno)
    QString description;  // its text, as strerror gives it
    QString storyPath;    // the story file as the program names it, c:\...txt
    QString realPath;     // where that is on disk
    QString advice;       // one plain sentence on what to do about it

    // All of the above as a few lines for the user, e.g.
    // "17: File exists" / story path / real path / advice.
    QString message() const;
};

// Saves a story: renames the staging file to storyFilePath's real path under
// rootFolder, appends storyText and one CR LF to it, and flushes it to disk.
// The text is written as UTF-8 with no byte-order mark. When there is no
// staging file the story file is created new and holds the story alone.
//
// Returns nothing when the story is saved. On any failure it returns the
// error and leaves the folder as it found it: the staging file keeps its name
// and bytes, no existing file is changed and no new file is left behind. An
// existing story file is never overwritten or appended to.
std::optional<SaveError> saveStory(const QString &rootFolder, const QString &storyFilePath,
                                   const QString &storyText);

// A file-size limit must make a write fail with EFBIG rather than kill the
// program, so that the save can roll back. Called once at start-up.
void ignoreFileSizeSignal();
