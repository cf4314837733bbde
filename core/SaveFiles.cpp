// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SaveFiles.h"

#include <QDateTime>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace SaveFiles {
namespace {

// Files are opened without following links and without blocking, so that a
// link or a FIFO put in a file's place is refused, not followed or waited on.
constexpr int PlainFile = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

// Looks an entry up without following links: 0 with *exists set, or an errno.
int lookUp(int folder, const char *name, struct stat *entry, bool *exists)
{
    *exists = ::fstatat(folder, name, entry, AT_SYMLINK_NOFOLLOW) == 0;
    return *exists || errno == ENOENT ? 0 : errno;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Flushes a file's bytes to disk, then closes a duplicate of it, so that an
// error that a network file system reports only on close is seen too.
int syncFile(int fd)
{
    if (::fdatasync(fd) != 0)
        return errno;
    const int duplicate = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (duplicate < 0)
        return errno;
    return ::close(duplicate) == 0 ? 0 : errno;
}

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

void Fd::reset(int fd)
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

int renameNoReplace(int fromDir, const char *from, int toDir, const char *to)
{
    if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (::linkat(fromDir, from, toDir, to, 0) != 0)
        return errno;
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

int readPlainFile(int folder, const char *name, qint64 maxSize, bool mineAlone, QByteArray *bytes)
{
    const Fd file(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid())
        return errno == ELOOP || errno == ENXIO ? EINVAL : errno;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        return errno;
    if (!S_ISREG(info.st_mode))
        return EINVAL;
    if (mineAlone && (info.st_uid != ::geteuid() || (info.st_mode & 077) != 0))
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

void removeLeftTemporaries(int root)
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
            && info.st_uid == ::geteuid())
            ::unlinkat(root, entry->d_name, 0);
    }
    ::closedir(folder);
}

int publishRecord(int root, const SaveRecord &record, bool *left)
{
    *left = false;
    // An unnamed file leaves nothing behind when the save is cut short, and
    // nothing left at any name can stand in its way.
    Fd file(::openat(root, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    QByteArray temporary;
    if (!file.valid()) {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return errno;
        removeLeftTemporaries(root);
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

Content contentOf(int fd, const SaveRecord &record, int *error)
{
    *error = 0;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        *error = errno;
        return Content::Other;
    }
    const off_t old = record.hasStaging ? off_t(record.stagingSize) : 0;
    if (!S_ISREG(info.st_mode) || info.st_size < old)
        return Content::Other;
    QByteArray bytes;
    if (record.hasStaging) {
        const qsizetype tail = qsizetype(std::min<off_t>(old, StagingTailBytes));
        if ((*error = readAt(fd, &bytes, tail, old - tail)))
            return Content::Other;
        if (stagingTailChecksum(bytes) != record.stagingTail)
            return Content::Other;
    }
    const qsizetype story = qsizetype(std::min<off_t>(info.st_size - old, record.story.size()));
    if ((*error = readAt(fd, &bytes, story, old)))
        return Content::Other;
    if (bytes != record.story.first(story))
        return Content::Other;
    if (story == record.story.size())
        return Content::WholeStory;
    return story > 0 ? Content::PartOfStory : Content::Old;
}

RecordedSave::RecordedSave(int root, const SaveRecord &record) : root(root), record(record) {}

int RecordedSave::moveStaging()
{
    const char *name = record.name.constData();
    if (!record.hasStaging) {
        file.reset(::openat(root, name, O_WRONLY | O_CREAT | O_EXCL | PlainFile, 0666));
        movedOrMade = file.valid();
        return movedOrMade ? 0 : errno;
    }
    if (const int error = openStagingFolder(root, &stagingFolder))
        return error;
    if (const int error = renameNoReplace(stagingFolder.get(), StagingFileName, root, name))
        return error;
    movedOrMade = true;
    file.reset(::openat(root, name, O_WRONLY | PlainFile));
    return file.valid() ? 0 : errno;
}

int RecordedSave::writeStory()
{
    // Written at its place rather than appended, so that writing again
    // gives the same bytes.
    return writeAt(file.get(), record.story, off_t(record.hasStaging ? record.stagingSize : 0));
}

int RecordedSave::syncStory()
{
    return syncFile(file.get());
}

int RecordedSave::syncFolders()
{
    if (stagingFolder.valid()) {
        if (const int error = syncFolder(stagingFolder.get()))
            return error;
    }
    return syncFolder(root);
}

int RecordedSave::undo()
{
    if (!movedOrMade)
        return 0;
    const char *name = record.name.constData();
    if (!record.hasStaging) {
        // The file this save made, if its name still leads to it.
        struct stat named {}, made {};
        if (::fstatat(root, name, &named, AT_SYMLINK_NOFOLLOW) != 0 || ::fstat(file.get(), &made) != 0)
            return errno;
        if (!sameFile(named, made))
            return EEXIST;
        if (::unlinkat(root, name, 0) != 0)
            return errno;
    } else {
        if (file.valid()) {
            if (::ftruncate(file.get(), off_t(record.stagingSize)) != 0)
                return errno;
            if (const int error = syncFile(file.get()))
                return error;
        }
        if (const int error = renameNoReplace(root, name, stagingFolder.get(), StagingFileName))
            return error;
    }
    movedOrMade = false;
    file.reset();
    return syncFolders();
}

Content RecordedSave::examine(int *error)
{
    *error = 0;
    atStagingName = false;
    found = Content::Other;
    const char *name = record.name.constData();
    struct stat story {}, staging {};
    bool haveStory = false, haveStaging = false;
    if ((*error = lookUp(root, name, &story, &haveStory)))
        return found;
    if (record.hasStaging) {
        if (const int opened = openStagingFolder(root, &stagingFolder); opened != 0 && opened != ENOENT && opened != ENOTDIR
                                                    && opened != ELOOP) {
            *error = opened;
            return found;
        }
        if (stagingFolder.valid() && (*error = lookUp(stagingFolder.get(), StagingFileName, &staging, &haveStaging)))
            return found;
    }
    if (!haveStory && !record.hasStaging)
        return found = Content::Old;  // nothing made yet
    if (!haveStory && !haveStaging)
        return found;
    atStagingName = !haveStory;
    const int folder = atStagingName ? stagingFolder.get() : root;
    file.reset(::openat(folder, atStagingName ? StagingFileName : name, O_RDONLY | PlainFile));
    if (!file.valid()) {
        // A link or a device is no file of the save's; any other failure
        // may pass.
        *error = errno == ELOOP || errno == ENXIO || errno == ENODEV ? 0 : errno;
        return found;
    }
    struct stat opened {};
    if (::fstat(file.get(), &opened) != 0) {
        *error = errno;
        return found;
    }
    // One name only, or the staging file's name too: a rename by hard link
    // cut short.
    const bool bothNames = !atStagingName && haveStaging && sameFile(opened, staging);
    if (opened.st_nlink != (bothNames ? 2 : 1))
        return found;
    return found = contentOf(file.get(), record, error);
}

int RecordedSave::finish()
{
    if (found == Content::Other)
        return EINVAL;
    const char *name = record.name.constData();
    if (!record.hasStaging && !file.valid()) {
        file.reset(::openat(root, name, O_WRONLY | O_CREAT | O_EXCL | PlainFile, 0666));
        if (!file.valid())
            return errno;
    } else if (atStagingName) {
        if (const int error = renameNoReplace(stagingFolder.get(), StagingFileName, root, name))
            return error;
        atStagingName = false;
    } else if (stagingFolder.valid()) {
        // The staging file's name is left over from a rename by hard link.
        struct stat staging {}, examined {};
        if (::fstatat(stagingFolder.get(), StagingFileName, &staging, AT_SYMLINK_NOFOLLOW) == 0
            && ::fstat(file.get(), &examined) == 0 && sameFile(staging, examined)
            && ::unlinkat(stagingFolder.get(), StagingFileName, 0) != 0)
            return errno;
    }
    if (found != Content::WholeStory) {
        struct stat examined {}, opened {};
        if (::fstat(file.get(), &examined) != 0)
            return errno;
        const Fd writable(::openat(root, name, O_WRONLY | PlainFile));
        if (!writable.valid() || ::fstat(writable.get(), &opened) != 0)
            return errno;
        if (!sameFile(opened, examined) || opened.st_size != examined.st_size)
            return ESTALE;
        const off_t old = off_t(record.hasStaging ? record.stagingSize : 0);
        if (const int error = writeAt(writable.get(), record.story.sliced(qsizetype(opened.st_size - old)),
                                      opened.st_size))
            return error;
    }
    if (const int error = syncFile(file.get()))
        return error;
    return syncFolders();
}

Content RecordedSave::storyFileContent() const
{
    const Fd story(::openat(root, record.name.constData(), O_RDONLY | PlainFile));
    int error = 0;
    return story.valid() ? contentOf(story.get(), record, &error) : Content::Other;
}

} // namespace SaveFiles
