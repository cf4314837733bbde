// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SaveLock.h"

#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace SaveFiles {
namespace {

// Tries the lock once: 0, EWOULDBLOCK while another holds it, or ENOLCK
// when no lock at all can be had. *openFileLock turns to the lock of an
// open file description where flock is missing (NFS may give EBADF or
// ENOLCK, others EOPNOTSUPP).
int tryLock(int fd, bool *openFileLock)
{
    if (!*openFileLock) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return 0;
        const int error = errno;
        if (error != ENOLCK && error != EBADF && error != EOPNOTSUPP && error != EINVAL)
            return error == EINTR || error == EAGAIN ? EWOULDBLOCK : error;
        *openFileLock = true;
    }
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &range) == 0)
        return 0;
    return errno == EINTR || errno == EAGAIN || errno == EACCES ? EWOULDBLOCK : ENOLCK;
}

// The account a process runs as (its effective user), when /proc tells.
std::optional<uid_t> accountOf(const QByteArray &pid)
{
    const Fd file(::open(("/proc/" + pid + "/status").constData(), O_RDONLY | O_CLOEXEC));
    char buffer[4096];
    const ssize_t got = file.valid() ? ::read(file.get(), buffer, sizeof buffer - 1) : -1;
    if (got <= 0)
        return std::nullopt;
    // "Uid:\t1000\t1000\t1000\t1000": real, effective, saved, file system
    for (const QByteArray &line : QByteArray(buffer, got).split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        bool ok = false;
        const uint user = fields.size() > 2 && fields[0] == "Uid:" ? fields[2].toUInt(&ok) : 0;
        if (ok)
            return uid_t(user);
    }
    return std::nullopt;
}

// The process that holds a lock on the file `info`, as /proc/locks names it
// (locks of open file descriptions name none).
LockHolder holderOf(const struct stat &info)
{
    LockHolder holder;
    QByteArray locks;
    const Fd file(::open("/proc/locks", O_RDONLY | O_CLOEXEC));
    char buffer[4096];
    for (ssize_t got = 0; file.valid() && (got = ::read(file.get(), buffer, sizeof buffer)) > 0;)
        locks.append(buffer, got);
    // e.g. "1: FLOCK  ADVISORY  WRITE 1234 08:02:131 0 EOF"
    const QByteArray device = QByteArray::number(major(info.st_dev), 16).rightJustified(2, '0') + ':'
                            + QByteArray::number(minor(info.st_dev), 16).rightJustified(2, '0') + ':'
                            + QByteArray::number(quint64(info.st_ino));
    for (const QByteArray &line : locks.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields[1] == "->" || fields[5] != device)
            continue;
        holder.pid = pid_t(fields[4].toInt());
        if (holder.pid <= 0)
            return {};
        const Fd comm(::open(("/proc/" + fields[4] + "/comm").constData(), O_RDONLY | O_CLOEXEC));
        const ssize_t got = comm.valid() ? ::read(comm.get(), buffer, sizeof buffer) : -1;
        holder.program = got > 0 ? QByteArray(buffer, got).trimmed() : QByteArray();
        holder.user = accountOf(fields[4]);
        break;
    }
    return holder;
}

// Opens the lock file, making it when missing: 0 with *info when a plain
// file is opened, whoever's it is; EPERM with *info when something else is
// at its name, or a file the user may not open; or another errno.
int openLockFile(int folder, Fd *lock, struct stat *info)
{
    lock->reset(::openat(folder, SaveLockName, O_RDWR | O_CREAT | PlainFile, 0600));
    if (!lock->valid()) {
        const int error = errno;
        if (error != EACCES && error != EPERM && error != ELOOP && error != ENXIO && error != EISDIR)
            return error;
        // Refused: because of what is at the name, or because the folder
        // takes no new file?
        return ::fstatat(folder, SaveLockName, info, AT_SYMLINK_NOFOLLOW) == 0 ? EPERM : error;
    }
    if (::fstat(lock->get(), info) != 0)
        return errno;
    return S_ISREG(info->st_mode) ? 0 : EPERM;
}

// Whether a process of the user's own holds a lock on the file: then it is
// waited for, whatever the file's mode.
bool heldByTheUser(const struct stat &info)
{
    const LockHolder holder = holderOf(info);
    return holder.user && *holder.user == ::geteuid();
}

// Locks the lock file the save trusts, already open: 0, EWOULDBLOCK while
// another holds it, EAGAIN when it was replaced meanwhile, or EBUSY (with
// the holder) when another account holds it where it cannot be replaced.
int lockTrusted(int folder, const Fd &lock, const struct stat &info, LockReport *report, bool *openFileLock)
{
    struct stat named {};
    const int error = tryLock(lock.get(), openFileLock);
    if (!error)
        return ::fstatat(folder, SaveLockName, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(named, info) ? 0 : EAGAIN;
    if (error == EWOULDBLOCK && !report->trust.privateFiles) {
        const LockHolder holder = holderOf(info);
        if (holder.user && *holder.user != ::geteuid()) {
            report->holder = holder;
            return EBUSY;
        }
    }
    return error;
}

// What stands in the way at a name: EPERM with its owner when it may not be
// removed, EINVAL when it is not a file, or the errno.
int inTheWay(const char *name, const struct stat &entry, int error, LockReport *report)
{
    report->file = name;
    report->owner = entry.st_uid;
    if (error == EPERM || error == EACCES)
        return EPERM;
    return error == EISDIR || error == ENOTEMPTY || error == EEXIST || !S_ISREG(entry.st_mode) ? EINVAL : error;
}

// Makes the fresh lock file, or opens one that another copy is putting in
// place (or left, killed in between) where the save trusts it; *made says
// which. One the save does not trust is removed, and EAGAIN asks to try
// again.
int makeFreshLockFile(int folder, Fd *fresh, struct stat *info, bool *made, LockReport *report)
{
    fresh->reset(::openat(folder, NewLockName, O_RDWR | O_CREAT | O_EXCL | PlainFile, 0600));
    *made = fresh->valid();
    if (*made)
        return ::fstat(fresh->get(), info) == 0 ? 0 : errno;
    if (errno != EEXIST || ::fstatat(folder, NewLockName, info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    struct stat opened {};
    if (report->trust.trusts(*info)) {
        fresh->reset(::openat(folder, NewLockName, O_RDWR | PlainFile));
        if (fresh->valid() && ::fstat(fresh->get(), &opened) == 0 && sameFile(opened, *info))
            return 0;
        return EAGAIN;
    }
    if (::unlinkat(folder, NewLockName, 0) != 0)
        return errno == ENOENT ? EAGAIN : inTheWay(NewLockName, *info, errno, report);
    return EAGAIN;
}

// Puts a fresh lock file, locked by *lock, in the place of the one at the
// lock file's name (found as `found`), which the save does not trust.
// Copies doing this at once take turns by the lock on the fresh file, and
// each renames only while the lock file is still one not trusted, so that a
// lock file a copy holds is never replaced. A fresh file made 0600 that
// does not come out the user's alone shows a file system that cannot keep
// files private: the trust changes, and when the lock file found is one of
// the user's by that trust, it is used as it is. EAGAIN: try again.
int replaceLockFile(int folder, const struct stat &found, Fd *lock, LockReport *report, bool *openFileLock)
{
    Fd fresh;
    struct stat made {}, named {}, current {};
    bool madeNow = false;
    if (const int error = makeFreshLockFile(folder, &fresh, &made, &madeNow, report))
        return error;
    const auto dropFresh = [&] {
        if (::fstatat(folder, NewLockName, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(named, made))
            ::unlinkat(folder, NewLockName, 0);
    };
    if (madeNow && !mineAlone(made)) {
        report->trust = FolderTrust{false, made.st_uid};
        if (report->trust.trusts(found)) {
            dropFresh();
            return EAGAIN;
        }
    }
    if (const int error = tryLock(fresh.get(), openFileLock))
        return error == EWOULDBLOCK ? EAGAIN : error;
    if (::fstatat(folder, NewLockName, &named, AT_SYMLINK_NOFOLLOW) != 0 || !sameFile(named, made))
        return EAGAIN;
    if (::fstatat(folder, SaveLockName, &current, AT_SYMLINK_NOFOLLOW) == 0 && report->trust.trusts(current)) {
        dropFresh();  // replaced already: this one is not needed
        return EAGAIN;
    }
    if (::renameat(folder, NewLockName, folder, SaveLockName) != 0) {
        const int error = errno;
        dropFresh();
        return inTheWay(SaveLockName, found, error, report);
    }
    lock->reset(fresh.release());
    return 0;
}

} // namespace

int lockFolder(int folder, std::chrono::milliseconds wait, Fd *lock, LockReport *report)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    bool openFileLock = false;
    for (;;) {
        struct stat info {};
        int error = openLockFile(folder, lock, &info);
        if (!error && report->trust.trusts(info))
            error = lockTrusted(folder, *lock, info, report, &openFileLock);
        else if (!error || error == EPERM) {
            const bool trustedPrivate = report->trust.privateFiles;
            error = heldByTheUser(info) ? EWOULDBLOCK : replaceLockFile(folder, info, lock, report, &openFileLock);
            if (error == EAGAIN && trustedPrivate != report->trust.privateFiles)
                continue;  // now trusted as the file system allows: at once
        }
        if (!error)
            return 0;
        if (error != EWOULDBLOCK && error != EAGAIN)
            return error;
        if (std::chrono::steady_clock::now() >= deadline) {
            if (error == EWOULDBLOCK)
                report->holder = holderOf(info);
            return EWOULDBLOCK;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace SaveFiles
