// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "SaveFiles.h"

namespace SaveFiles {

// What a file holds, compared with a record's staging file and story.
enum class Content {
    Other,       // not a plain file with one name, or other bytes: not the save's own
    Old,         // the staging file's bytes before the save, and nothing more
    PartOfStory, // those, and a beginning of the story
    WholeStory,  // those, and the whole story (and perhaps what the user added after it)
};

// Reads what the open file fd holds (at most the staging file's last
// StagingTailBytes and the story).
Content contentOf(int fd, const SaveRecord &record, int *error);

// Carries a recorded save through, from wherever the files prove it stands,
// or back, for a save that failed before anything was synced. Each step
// acts only on the story file in the story folder and the staging file, and
// only on bytes the record accounts for.
class RecordedSave {
public:
    RecordedSave(int root, const SaveRecord &record);

    // The save's own steps. moveStaging renames the staging file to the
    // story's name (or makes the story file); writeStory writes the story
    // after the staging file's text, syncStory syncs it; syncFolders syncs the
    // folders the rename changed.
    int moveStaging();
    int writeStory();
    int syncStory();
    int syncFolders();
    // After a failed move or write (never after a failed sync): cuts the
    // story off again and gives the staging file its name back, or removes
    // the story file the save made.
    int undo();
    bool moved() const { return movedOrMade; }

    // At a later start: what the story file (or, when the story's name is
    // free, the staging file) holds; then finish() carries a save found Old
    // or PartOfStory through, or syncs one found whole.
    Content examine(int *error);
    int finish();
    bool foundAtStagingName() const { return atStagingName; }

    // Where a save that could not be undone stands, for its message.
    Content storyFileContent() const;

private:
    int root;
    const SaveRecord &record;
    Fd stagingFolder;
    Fd file;                     // the story file once moved or made, or the file examined
    bool movedOrMade = false;    // whether the staging file has the story's name, or the story file is made
    bool atStagingName = false;  // the file examined is still at the staging file's name
    bool claim = false;          // an empty file claims the story's name for the staging file
    struct stat claimed {};
    Content found = Content::Other;
};

} // namespace SaveFiles
