// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <chrono>
#include <cstdint>
#include <optional>

// Before a save renames or writes anything the user can see, it writes down
// what it is about to do in a hidden file in the story folder, the save
// record, and syncs it. From then on the save can be finished from the record
// alone: by the save itself, or, when the program was killed or the power
// went off, at the next start. The record is removed once the story file is
// whole and on disk.
//
// The record proves the save's files by their bytes, never by their identity
// (inode numbers are reused and device numbers change between boots): it
// keeps the staging file's size before the save and a checksum of its last
// few KiB, and the story itself.
struct SaveRecord {
    QByteArray name;                  // the story file's name in the story folder, UTF-8
    bool hasStaging = false;          // whether the story starts with the staging file
    std::uint64_t stagingSize = 0;    // the staging file's size before the save
    QByteArray stagingTail;           // SHA-256 (hex) of its last StagingTailBytes bytes, or of all
                                      // of it when shorter
    QByteArray story;                 // the bytes that follow: the story text and CR LF

    bool operator==(const SaveRecord &) const = default;
};

// The record while the save runs, the start of the names of records being
// written (each save uses a fresh one), and the lock file that makes saves
// happen one at a time. Records that could not be followed are kept under
// SaveRecordName + ".set-aside-DATE-TIME".
inline constexpr char SaveRecordName[] = ".wrenfield-unfinished-save";
inline constexpr char NewSaveRecordName[] = ".wrenfield-unfinished-save.new";
inline constexpr char SaveLockName[] = ".wrenfield-unfinished-save.lock";

// How long a save waits for another copy of the program to finish saving in
// the same story folder.
inline constexpr std::chrono::milliseconds SaveLockWait{10000};

// How much of the staging file's end the record's checksum covers.
inline constexpr qsizetype StagingTailBytes = 4096;

// The longest story a save takes (a record holds it whole and is read back
// whole at start-up).
inline constexpr qsizetype MaxStoryBytes = qsizetype(64) << 20;

// Whether a story file name is one of the names above, which belong to the
// save itself.
bool isSaveRecordFileName(QByteArrayView name);

// The SHA-256 checksum, in hex, that a record keeps of the staging file's end.
QByteArray stagingTailChecksum(QByteArrayView tail);

// The record as bytes: a few text lines with the lengths of the
// name and the story, the staging file's size and the checksum of its end,
// and a SHA-256 checksum of all before it.
QByteArray encodeSaveRecord(const SaveRecord &record);

// Why bytes are not a record that can be followed.
enum class RecordProblem {
    NotARecord,      // it does not start as a record does
    UnknownVersion,  // of a version this program does not write
    CutShort,        // cut short, or its lengths are wrong
    ChecksumWrong,   // its checksum does not match
    BadName,         // it names a file that is not a story file in the story folder
};

// Reads a record strictly: every line in its place, numbers in their plain
// form, lengths that match, nothing after the checksum, a checksum that
// matches, and a name that the name rule for story files accepts. Anything
// else gives nothing and, in *problem, why.
std::optional<SaveRecord> parseSaveRecord(QByteArrayView bytes, RecordProblem *problem = nullptr);
