// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

// Before a save renames or writes anything the user can see, it writes down
// what it is about to do in a hidden file in the story folder, the save
// record, and syncs it. From then on the save can be finished from the record
// alone: by the save itself, or, when the program was killed or the power
// went off, at the next start. The record is removed once the story file is
// whole and on disk.
struct SaveRecord {
    QByteArray name;                  // the story file's name in the story folder, UTF-8
    bool hasStaging = false;          // whether the story starts with the staging file
    std::uint64_t stagingDevice = 0;  // the staging file's identity (st_dev, st_ino)
    std::uint64_t stagingInode = 0;
    std::uint64_t stagingSize = 0;    // and its size before the save
    QByteArray story;                 // the bytes that follow: the story text and CR LF

    bool operator==(const SaveRecord &) const = default;
};

// The record while the save runs, the record being written, and the start of
// the names under which records that could not be followed are kept.
inline constexpr char SaveRecordName[] = ".wrenfield-unfinished-save";
inline constexpr char NewSaveRecordName[] = ".wrenfield-unfinished-save.new";

// The longest story a save takes (a record holds it whole and is read back
// whole at start-up).
inline constexpr qsizetype MaxStoryBytes = qsizetype(64) << 20;

// Whether a story file name is one of the names above, which belong to the
// save itself.
bool isSaveRecordFileName(QByteArrayView name);

// The record as bytes: a few text lines with the lengths of the name and the
// story, the staging file's identity, and a SHA-256 checksum of all before it.
QByteArray encodeSaveRecord(const SaveRecord &record);

// Reads a record strictly: every line in its place, numbers in their plain
// form, lengths that match, nothing after the checksum, a checksum that
// matches, and a name that the name rule for story files accepts. Anything
// else gives nothing and, in *problem, why.
std::optional<SaveRecord> parseSaveRecord(QByteArrayView bytes, QString *problem = nullptr);
