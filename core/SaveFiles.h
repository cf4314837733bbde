// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "SaveRecord.h"

#include <QByteArray>

#include <chrono>
#include <sys/stat.h>
#include <sys/types.h>

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
    int release() { const int fd = fd_; fd_ = -1; return fd; }

private:
    int fd_;
};

// Renames without ever replacing an existing entry. Where the file system
// has no RENAME_NOREPLACE, a hard link followed by removing the old name
// gives the same guarantee: link() fails with EEXIST just like the rename.
int renameNoReplace(int fromDir, const char *from, int toDir, const char *to);

// Writes all of data at offset, going on after interruptions and short writes.
int writeAt(int fd, QByteArrayView data, off_t offset);

// Reads exactly size bytes at offset; EIO when the file is shorter.
int readAt(int fd, QByteArray *bytes, qsizetype size, off_t offset);

int syncFolder(int folder);

// Makes the folder path with mode and syncs the folder that holds it, so
// that a power cut cannot lose it with what is then put in it. EEXIST when
// there is one already.
int makeFolder(const QByteArray &path, mode_t mode);

// Whether a file is the effective user's and closed to everyone else: the
// only save records, locks and drafts this program acts on.
bool mineAlone(const struct stat &info);

// Opens the staging file's folder in the story folder root: a folder, or a
// link to a folder of the user's own. ENOENT when there is none, ENOTDIR
// when it is not a folder, EPERM (with its owner in *owner) when it is a
// link to another user's folder, or the errno of opening it.
int openStagingFolder(int root, Fd *folder, uid_t *owner = nullptr);

// Reads the plain file `name` in `folder` whole, without following a link:
// 0 with *bytes; EINVAL when it is not a plain file (a link, a folder, a
// device or a pipe put there); EFBIG when it is larger than maxSize, or grows
// past it while being read; with mineAlone, EPERM when it is another user's
// or others may read or change it; or another errno (ENOENT: none there).
int readPlainFile(int folder, const char *name, qint64 maxSize, bool mineAlone, QByteArray *bytes);

// Renames `name` out of the way to "NAME.set-aside-DATE-TIME" (with "-2",
// "-3", ... when that is taken), keeping it, and syncs the folder. Returns 0
// with the new name, or an errno.
int setAside(int folder, const char *name, QByteArray *asideName);

// What holds a lock that a save waited for in vain, or owns a lock file it
// could not replace, as far as the system tells.
struct LockHolder {
    pid_t pid = 0;       // 0: not known
    QByteArray program;  // its command name, when the pid is known
    uid_t owner = 0;     // for a lock file that is not the user's: its owner
};

// Takes the lock that makes saves in one story folder happen one at a time,
// across copies of the program: a lock on the regular file SaveLockName in
// the folder, held by *lock until it is closed. An flock, or where the file
// system has none (some network file systems), an open-file-description
// lock. The lock file is the user's alone (mode 0600): one that is not (left
// by an earlier version, another account or a run under sudo, or a link put
// there) is replaced by a fresh one, so that no other account can hold the
// lock. Waits at most `wait`, then gives EWOULDBLOCK with the holder; ENOLCK
// when no lock at all can be had there; EPERM, with the owner, when a lock
// file that is not the user's cannot be replaced; EINVAL when something
// other than a file is in its place; or the errno of opening it.
int lockFolder(int folder, std::chrono::milliseconds wait, Fd *lock, LockHolder *holder = nullptr);

// Removes the temporary records (NewSaveRecordName...) that a save cut
// short left where files cannot be made unnamed; only under the lock.
void removeLeftTemporaries(int root);

// Writes the record as an unnamed file (or, where the file system has none,
// under a fresh temporary name), syncs it, gives it the record's name and
// syncs the folder: from then on the save is finished even after a crash.
// On failure *left says whether a record may still be there.
int publishRecord(int root, const SaveRecord &record, bool *left);

// Removes the record and syncs the folder; every result is checked.
int removeRecord(int root);

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
    Content found = Content::Other;
};

} // namespace SaveFiles
