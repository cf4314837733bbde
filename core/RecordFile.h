// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "SaveFiles.h"

// The save record on disk (see SaveRecord.h): written whole or not at all,
// and removed once the story is on disk.
namespace SaveFiles {

// Removes the temporary records (NewSaveRecordName...) of the trust's owner
// that a save cut short left where files cannot be made unnamed; only under
// the lock.
void removeLeftTemporaries(int root, const FolderTrust &trust);

// Writes the record as an unnamed file (or, where the file system has none,
// under a fresh temporary name), syncs it, gives it the record's name and
// syncs the folder: from then on the save is finished even after a crash.
// Where the file system has neither hard links nor RENAME_NOREPLACE, a crash
// while it is named may leave an empty file at the record's name (see
// renameNoReplace), which holds nothing to finish. On failure *left says
// whether a record may still be there.
int publishRecord(int root, const SaveRecord &record, const FolderTrust &trust, bool *left);

// Removes the record and syncs the folder; every result is checked.
int removeRecord(int root);

} // namespace SaveFiles
