// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "RecordFile.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace SaveFiles {
namespace {

// Gives an unnamed file a name; EEXIST when the name is taken.
int linkUnnamed(int fd, int folder, const char *name)
{
    const QByteArray path = "/proc/self/fd/" + QByteArray::number(fd);
    if (::linkat(AT_FDCWD, path.constData(), folder, name, AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT)
        return errno;
    // Without /proc, only a process allowed to look up any file may do this.
    return ::linkat(fd, "", folder, name, AT_EMPTY_PATH) == 0 ? 0 : errno;
}

} // namespace

void removeLeftTemporaries(int root, const FolderTrust &trust)
{
    const int copy = ::openat(root, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *folder = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!folder) {
        if (copy >= 0)
            ::close(copy);
        return;
    }
    while (const dirent *entry = ::readdir(folder)) {
        struct stat info {};
        if (QByteArrayView(entry->d_name).startsWith(QByteArrayView(NewSaveRecordName))
            && ::fstatat(root, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)
            && info.st_uid == trust.owner)
            ::unlinkat(root, entry->d_name, 0);
    }
    ::closedir(folder);
}

int publishRecord(int root, const SaveRecord &record, const FolderTrust &trust, bool *left)
{
    *left = false;
    // An unnamed file leaves nothing behind when the save is cut short, and
    // nothing left at any name can stand in its way.
    Fd file(::openat(root, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    QByteArray temporary;
    if (!file.valid()) {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return errno;
        removeLeftTemporaries(root, trust);
        for (int n = 1; !file.valid(); ++n) {
            temporary = QByteArray(NewSaveRecordName) + '-' + QByteArray::number(::getpid()) + '-'
                      + QByteArray::number(n);
            file.reset(::openat(root, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | PlainFile, 0600));
            if (!file.valid() && (errno != EEXIST || n == 100))
                return errno;
        }
    }
    int error = writeAt(file.get(), encodeSaveRecord(record), 0);
    if (!error)
        error = syncFile(file.get());
    if (!error)
        error = temporary.isEmpty() ? linkUnnamed(file.get(), root, SaveRecordName)
                                    : renameNoReplace(root, temporary.constData(), root, SaveRecordName);
    if (error) {
        if (!temporary.isEmpty())
            ::unlinkat(root, temporary.constData(), 0);
        return error;
    }
    if (const int synced = syncFolder(root)) {
        *left = removeRecord(root) != 0;
        return synced;
    }
    return 0;
}

int removeRecord(int root)
{
    if (::unlinkat(root, SaveRecordName, 0) != 0)
        return errno;
    return syncFolder(root);
}

} // namespace SaveFiles
