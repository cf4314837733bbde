// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SaveFiles.h"

#include <QDateTime>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
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

int lockFolder(int folder, std::chrono::milliseconds wait, Fd *lock)
{
    // Made open to all, so that a copy run by another user (or under sudo)
    // does not lock the next one out; read-only is enough for flock.
    lock->reset(::openat(folder, SaveLockName, O_RDWR | O_CREAT | PlainFile, 0666));
    if (!lock->valid() && (errno == EACCES || errno == EPERM)) {
        const int refused = errno;
        lock->reset(::openat(folder, SaveLockName, O_RDONLY | PlainFile));
        if (!lock->valid())
            return errno == ENOENT ? refused : errno;
    }
    if (!lock->valid())
        return errno;
    struct stat info {};
    if (::fstat(lock->get(), &info) != 0)
        return errno;
    if (!S_ISREG(info.st_mode))
        return EINVAL;

    const auto deadline = std::chrono::steady_clock::now() + wait;
    bool openFileLock = false;
    for (;;) {
        int error = 0;
        if (!openFileLock) {
            if (::flock(lock->get(), LOCK_EX | LOCK_NB) == 0)
                return 0;
            error = errno;
            // No flock here (NFS may give EBADF or ENOLCK, others
            // EOPNOTSUPP): the lock of an open file description instead.
            if (error == ENOLCK || error == EBADF || error == EOPNOTSUPP || error == EINVAL) {
                openFileLock = true;
                continue;
            }
        } else {
            struct flock range {};
            range.l_type = F_WRLCK;
            range.l_whence = SEEK_SET;
            if (::fcntl(lock->get(), F_OFD_SETLK, &range) == 0)
                return 0;
            error = errno;
            if (error != EINTR && error != EAGAIN && error != EACCES)
                return ENOLCK;  // no lock at all can be had here
            if (error == EACCES)
                error = EWOULDBLOCK;
        }
        if (error == EINTR)
            continue;
        if (error != EWOULDBLOCK && error != EAGAIN)
            return error;
        if (std::chrono::steady_clock::now() >= deadline)
            return EWOULDBLOCK;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
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
    if (record.hasStaging && !record.stagingTail.isEmpty()) {
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
    if (story > 0)
        return Content::PartOfStory;
    // Without the checksum only story bytes prove a file.
    return record.hasStaging && record.stagingTail.isEmpty() ? Content::Other : Content::Old;
}

RecordedSave::RecordedSave(int root, const SaveRecord &record) : root(root), record(record) {}

int RecordedSave::openStagingFolder()
{
    stagingFolder.reset(::openat(root, StagingFolderName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return stagingFolder.valid() ? 0 : errno;
}

int RecordedSave::moveStaging()
{
    const char *name = record.name.constData();
    if (!record.hasStaging) {
        file.reset(::openat(root, name, O_WRONLY | O_CREAT | O_EXCL | PlainFile, 0666));
        movedOrMade = file.valid();
        return movedOrMade ? 0 : errno;
    }
    if (const int error = openStagingFolder())
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
        if (const int opened = openStagingFolder(); opened != 0 && opened != ENOENT && opened != ENOTDIR
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
