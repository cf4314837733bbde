// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SaveFiles.h"

#include <QDateTime>

#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace SaveFiles {

void Fd::reset(int fd)
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

int lookUp(int folder, const char *name, struct stat *entry, bool *exists)
{
    *exists = ::fstatat(folder, name, entry, AT_SYMLINK_NOFOLLOW) == 0;
    return *exists || errno == ENOENT ? 0 : errno;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int syncFile(int fd)
{
    if (::fdatasync(fd) != 0)
        return errno;
    const int duplicate = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (duplicate < 0)
        return errno;
    return ::close(duplicate) == 0 ? 0 : errno;
}

namespace {

// Renames over an empty file made for the purpose, the claim on the name.
int renameOverClaim(int fromDir, const char *from, int toDir, const char *to)
{
    const Fd claim(::openat(toDir, to, O_WRONLY | O_CREAT | O_EXCL | PlainFile, 0600));
    struct stat made {}, named {};
    if (!claim.valid() || ::fstat(claim.get(), &made) != 0)
        return errno;
    if (isClaim(toDir, to, made) && ::renameat(fromDir, from, toDir, to) == 0)
        return 0;
    const int error = errno ? errno : EEXIST;
    if (::fstatat(toDir, to, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(named, made))
        ::unlinkat(toDir, to, 0);
    return error;
}

} // namespace

bool isClaim(int folder, const char *name, const struct stat &claim)
{
    struct stat named {};
    errno = 0;
    return ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(named, claim)
        && S_ISREG(named.st_mode) && named.st_size == 0 && named.st_nlink == 1;
}

int renameNoReplace(int fromDir, const char *from, int toDir, const char *to)
{
    if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (::linkat(fromDir, from, toDir, to, 0) != 0) {
        if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
            return errno;
        return renameOverClaim(fromDir, from, toDir, to);
    }
    if (::unlinkat(fromDir, from, 0) != 0) {
        const int error = errno;
        ::unlinkat(toDir, to, 0);
        return error;
    }
    return 0;
}

int writeAt(int fd, QByteArrayView data, off_t offset)
{
    while (!data.isEmpty()) {
        const ssize_t written = ::pwrite(fd, data.data(), size_t(data.size()), offset);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return EIO;
        data = data.sliced(written);
        offset += written;
    }
    return 0;
}

int readAt(int fd, QByteArray *bytes, qsizetype size, off_t offset)
{
    bytes->resize(size);
    for (qsizetype done = 0; done < size;) {
        const ssize_t got = ::pread(fd, bytes->data() + done, size_t(size - done), offset + off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return EIO;
        done += got;
    }
    return 0;
}

int readPlainFile(int folder, const char *name, qint64 maxSize, const FolderTrust *trust, QByteArray *bytes)
{
    const Fd file(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid())
        return errno == ELOOP || errno == ENXIO ? EINVAL : errno;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        return errno;
    if (!S_ISREG(info.st_mode))
        return EINVAL;
    if (trust && !trust->trusts(info))
        return EPERM;
    if (info.st_size > maxSize)
        return EFBIG;
    bytes->resize(qsizetype(info.st_size) + 1);
    qsizetype done = 0;
    for (;;) {
        const ssize_t got = ::read(file.get(), bytes->data() + done, size_t(bytes->size() - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            break;
        done += got;
        if (done == bytes->size())
            return EFBIG;  // it grew while being read
    }
    bytes->resize(done);
    return 0;
}

int setAside(int folder, const char *name, QByteArray *asideName)
{
    const QByteArray base = QByteArray(name) + ".set-aside-"
                          + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1();
    for (int n = 1; n < 100; ++n) {
        *asideName = n == 1 ? base : base + '-' + QByteArray::number(n);
        const int error = renameNoReplace(folder, name, folder, asideName->constData());
        if (error == 0)
            return syncFolder(folder);
        if (error != EEXIST)
            return error;
    }
    return EEXIST;
}

bool damagesWrites(int folder)
{
    struct stat info {};
    if (::fstat(folder, &info) != 0)
        return false;
    const QByteArray device = QByteArray::number(major(info.st_dev)) + ':' + QByteArray::number(minor(info.st_dev));
    QByteArray mounts;
    const Fd file(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
    char buffer[4096];
    for (ssize_t got = 0; file.valid() && (got = ::read(file.get(), buffer, sizeof buffer)) > 0;)
        mounts.append(buffer, got);
    // "45 27 0:40 / /media/stick rw,nosuid - fuse.fusefat fusefat rw,..."
    for (const QByteArray &line : mounts.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() > 2 && fields[2] == device && separator > 0 && separator + 1 < fields.size())
            return fields[separator + 1] == "fuse.fusefat";
    }
    return false;
}

int syncFolder(int folder)
{
    return ::fsync(folder) == 0 ? 0 : errno;
}

int makeFolder(const QByteArray &path, mode_t mode)
{
    if (::mkdir(path.constData(), mode) != 0)
        return errno;
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray parentPath = slash <= 0 ? QByteArray("/") : path.left(slash);
    const Fd parent(::open(parentPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return parent.valid() ? syncFolder(parent.get()) : errno;
}

bool mineAlone(const struct stat &info)
{
    return info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

bool FolderTrust::trusts(const struct stat &info) const
{
    return S_ISREG(info.st_mode) && info.st_uid == owner && (!privateFiles || (info.st_mode & 077) == 0);
}

int openStagingFolder(int root, Fd *folder, uid_t *owner)
{
    folder->reset(::openat(root, StagingFolderName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder->valid())
        return 0;
    if (errno != ENOTDIR && errno != ELOOP)
        return errno;
    struct stat entry {};
    if (::fstatat(root, StagingFolderName, &entry, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (!S_ISLNK(entry.st_mode))
        return ENOTDIR;
    // A link, as the story folder may be one: followed only to a folder of
    // the user's own.
    folder->reset(::openat(root, StagingFolderName, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder->valid() || ::fstat(folder->get(), &entry) != 0)
        return errno;
    if (entry.st_uid == ::geteuid())
        return 0;
    folder->reset();
    if (owner)
        *owner = entry.st_uid;
    return EPERM;
}

} // namespace SaveFiles
