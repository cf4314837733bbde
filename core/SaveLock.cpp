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

// A fresh lock file is made here, then renamed over one that is not the
// user's alone.
constexpr char NewLockName[] = ".wrenfield-unfinished-save.lock.new";

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

// Opens the lock file, making it when missing: 0 when it is a plain file
// of the user's alone; EPERM (with *info) when it is anything else.
int openLockFile(int folder, Fd *lock, struct stat *info)
{
    lock->reset(::openat(folder, SaveLockName, O_RDWR | O_CREAT | PlainFile, 0600));
    if (!lock->valid()) {
        const int error = errno;
        if (error != EACCES && error != EPERM && error != ELOOP && error != ENXIO)
            return error;
        // Refused: because of what is at the name, or because the folder
        // takes no new file?
        return ::fstatat(folder, SaveLockName, info, AT_SYMLINK_NOFOLLOW) == 0 ? EPERM : error;
    }
    if (::fstat(lock->get(), info) != 0)
        return errno;
    return S_ISREG(info->st_mode) && mineAlone(*info) ? 0 : EPERM;
}

// Puts a fresh lock file, already locked by *lock, in the place of one that
// is not the user's alone. Copies doing this at once take turns by the lock
// on the fresh file, and each renames only while the lock file is still not
// the user's, so that a lock file a copy holds is never replaced. EAGAIN:
// another copy is at it; try again.
int replaceLockFile(int folder, Fd *lock, bool *openFileLock)
{
    Fd fresh(::openat(folder, NewLockName, O_RDWR | O_CREAT | PlainFile, 0600));
    struct stat made {}, named {}, current {};
    if (fresh.valid() && ::fstat(fresh.get(), &made) != 0)
        return errno;
    if (!fresh.valid() || !S_ISREG(made.st_mode) || !mineAlone(made)) {
        // Someone else's file at that name: out of the way, and again.
        if (::unlinkat(folder, NewLockName, 0) != 0)
            return errno;
        return EAGAIN;
    }
    if (const int error = tryLock(fresh.get(), openFileLock))
        return error == EWOULDBLOCK ? EAGAIN : error;
    if (::fstatat(folder, NewLockName, &named, AT_SYMLINK_NOFOLLOW) != 0 || !sameFile(named, made))
        return EAGAIN;
    if (::fstatat(folder, SaveLockName, &current, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(current.st_mode)
        && mineAlone(current)) {
        ::unlinkat(folder, NewLockName, 0);  // replaced already: this one is not needed
        return EAGAIN;
    }
    if (::renameat(folder, NewLockName, folder, SaveLockName) != 0)
        return errno == EISDIR || errno == ENOTEMPTY || errno == EEXIST ? EINVAL : errno;
    lock->reset(fresh.release());
    return 0;
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
        break;
    }
    return holder;
}

} // namespace

int lockFolder(int folder, std::chrono::milliseconds wait, Fd *lock, LockHolder *holder)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    bool openFileLock = false;
    for (;;) {
        struct stat info {}, named {};
        int error = openLockFile(folder, lock, &info);
        if (error == EPERM) {
            error = replaceLockFile(folder, lock, &openFileLock);
            if (error == EPERM || error == EACCES) {
                if (holder)
                    holder->owner = info.st_uid;
                return EPERM;
            }
        } else if (!error) {
            error = tryLock(lock->get(), &openFileLock);
            // Locked, but replaced meanwhile? Then again.
            if (!error && (::fstatat(folder, SaveLockName, &named, AT_SYMLINK_NOFOLLOW) != 0 || !sameFile(named, info)))
                error = EAGAIN;
        }
        if (!error)
            return 0;
        if (error != EWOULDBLOCK && error != EAGAIN)
            return error;
        if (std::chrono::steady_clock::now() >= deadline) {
            if (holder && error == EWOULDBLOCK)
                *holder = holderOf(info);
            return EWOULDBLOCK;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace SaveFiles
