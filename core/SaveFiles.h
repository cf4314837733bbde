// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "SaveRecord.h"

#include <chrono>
#include <sys/stat.h>

// The steps on disk that a save and the finishing of a save cut short share.
// Every function returns 0 or an errno; folders are open file descriptors.
namespace SaveFiles {

inline constexpr char StagingFolderName[] = "program files";
inline constexpr char StagingFileName[] = "temp.txt";

// A file descriptor that closes itself.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd = -1);

private:
    int fd_;
};

// Renames without ever replacing an existing entry. Where the file system
// has no RENAME_NOREPLACE, a hard link followed by removing the old name
// gives the same guarantee: link() fails with EEXIST just like the rename.
int renameNoReplace(int fromDir, const char *from, int toDir, const char *to);

// Takes the lock that makes saves in one story folder happen one at a time,
// across copies of the program: an flock on the folder itself, released when
// the descriptor is closed. Waits at most `wait`, then gives EWOULDBLOCK. On
// a file system without such locks (some network file systems) it goes on
// without one.
int lockFolder(int folder, std::chrono::milliseconds wait);

// Writes the record under a temporary name, syncs it, renames it into place
// and syncs the folder: from then on the save is finished even after a
// crash. On failure no record is left.
int publishRecord(int root, const SaveRecord &record);

// Removes the record once its save is whole (or undone) and syncs the folder.
int removeRecord(int root);

// What the story file holds while a recorded save is between its steps.
enum class StoryFileState {
    Missing,          // no file under the story's name
    NotTheSaves,      // a file that is not the one the record names
    NothingOfStory,   // the staging file renamed (or an empty file made), no story yet
    PartOfStory,      // the staging file's text (if any) and part of the story
    WholeStory,       // the staging file's text (if any) and the whole story
};

// Carries a recorded save through or back, from wherever it stands: each step
// looks at the files as they are, and acts only on the staging file the
// record names (by identity, not name) and on the story file in the story
// folder. Running either again after a crash in the middle is harmless.
class RecordedSave {
public:
    // resuming: the save was cut short in an earlier run, so a story file
    // that holds a beginning of the story (made before the crash) is taken
    // as the save's own.
    RecordedSave(int root, const SaveRecord &record, bool resuming);

    // Renames the staging file to the story's name (or makes the story file
    // when there is none), writes the story after the staging file's text and
    // syncs the file and both folders. Besides errnos: EEXIST when another
    // file has the story's name, ENOENT when the staging file is gone, ESTALE
    // when the files are not as the record left them.
    int finish();

    // Cuts the story off again and gives the staging file its name back (or
    // removes the story file the save made), then syncs.
    int undo();

    StoryFileState storyFileState() const;

private:
    bool isStagingFile(const struct stat &file) const;
    bool holdsStoryStart(int fd, off_t size) const;
    int finishWithStaging(const struct stat *story);
    int finishWithoutStaging(const struct stat *story);

    int root;
    const SaveRecord &record;
    bool resuming;
    bool created = false;       // whether finish() made the story file, and which
    struct stat createdFile {};
};

} // namespace SaveFiles
