// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "SaveRecord.h"

#include <QByteArray>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

// The steps on disk that a save, the finishing of a save cut short and the
// drafts share.
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

// Files are opened without following links and without blocking, so that a
// link or a FIFO put in a file's place is refused, not followed or waited on.
inline constexpr int PlainFile = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

// Looks an entry up without following links: 0 with *exists set, or an errno.
int lookUp(int folder, const char *name, struct stat *entry, bool *exists);

bool sameFile(const struct stat &a, const struct stat &b);

// Flushes a file's bytes to disk, then closes a duplicate of it, so that an
// error that a network file system reports only on close is seen too.
int syncFile(int fd);

// Renames without ever replacing an existing entry. Where the file system
// has no RENAME_NOREPLACE, a hard link followed by removing the old name
// gives the same guarantee: link() fails with EEXIST just like the rename.
// Where it has no hard links either (exFAT, FAT, some FUSE file systems),
// the new name is claimed by an empty file made exclusively, and the file
// is renamed over that claim while the name still holds it: a crash in
// between leaves the empty claim at the new name and the file at the old.
int renameNoReplace(int fromDir, const char *from, int toDir, const char *to);

// Whether the name still leads to claim, an empty file with one name made
// to claim it (see renameNoReplace).
bool isClaim(int folder, const char *name, const struct stat &claim);

// Writes all of data at offset, going on after interruptions and short writes.
int writeAt(int fd, QByteArrayView data, off_t offset);

// Reads exactly size bytes at offset; EIO when the file is shorter.
int readAt(int fd, QByteArray *bytes, qsizetype size, off_t offset);

int syncFolder(int folder);

// Whether the folder is on a file system known to damage what is written to
// it: fusefat (FAT through FUSE, whose writing its authors call
// experimental) puts bytes added to an existing or renamed file in the
// wrong places. Nothing is saved there.
bool damagesWrites(int folder);

// Makes the folder path with mode and syncs the folder that holds it, so
// that a power cut cannot lose it with what is then put in it. EEXIST when
// there is one already.
int makeFolder(const QByteArray &path, mode_t mode);

// Whether a file is the effective user's and closed to everyone else: the
// only save records, locks and drafts this program acts on where the file
// system can keep files private.
bool mineAlone(const struct stat &info);

// Which files of its own a save trusts in a folder, as far as the folder's
// file system can tell. Most keep a file made 0600 closed to others and
// give it the user as its owner: there only files of the user's alone are
// trusted. Some cannot (NTFS, exFAT and FAT, FUSE mounts that force owners
// and modes): every file comes out with the mount's owner and modes, and a
// plain file of that owner is as much the user's own as any there.
struct FolderTrust {
    bool privateFiles = true;   // a file made 0600 comes out the user's alone
    uid_t owner = ::geteuid();  // the owner files made here get

    bool trusts(const struct stat &info) const;
};

// Opens the staging file's folder in the story folder root: a folder, or a
// link to a folder of the user's own. ENOENT when there is none, ENOTDIR
// when it is not a folder, EPERM (with its owner in *owner) when it is a
// link to another user's folder, or the errno of opening it.
int openStagingFolder(int root, Fd *folder, uid_t *owner = nullptr);

// Reads the plain file `name` in `folder` whole, without following a link:
// 0 with *bytes; EINVAL when it is not a plain file (a link, a folder, a
// device or a pipe put there); EFBIG when it is larger than maxSize, or grows
// past it while being read; with a trust, EPERM when it is not a file that
// trust accepts; or another errno (ENOENT: none there).
int readPlainFile(int folder, const char *name, qint64 maxSize, const FolderTrust *trust, QByteArray *bytes);

// Renames `name` out of the way to "NAME.set-aside-DATE-TIME" (with "-2",
// "-3", ... when that is taken), keeping it, and syncs the folder. Returns 0
// with the new name, or an errno.
int setAside(int folder, const char *name, QByteArray *asideName);

} // namespace SaveFiles
