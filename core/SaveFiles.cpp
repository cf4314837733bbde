// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SaveFiles.h"

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

// Writes all of data at offset, going on after interruptions and short writes.
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

int syncFolder(int folder)
{
    return ::fsync(folder) == 0 ? 0 : errno;
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

int lockFolder(int folder, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(folder, LOCK_EX | LOCK_NB) == 0)
            return 0;
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error != EWOULDBLOCK) {
            // No locks here (NFS gives EBADF for a folder, others ENOLCK):
            // saving one at a time cannot be had, saving still can.
            return error == ENOLCK || error == EBADF || error == EOPNOTSUPP || error == EINVAL ? 0 : error;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return EWOULDBLOCK;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int publishRecord(int root, const SaveRecord &record)
{
    int error = 0;
    {
        const Fd file(::openat(root, NewSaveRecordName, O_WRONLY | O_CREAT | O_TRUNC | PlainFile, 0600));
        if (!file.valid())
            return errno;
        error = writeAt(file.get(), encodeSaveRecord(record), 0);
        if (!error)
            error = syncFile(file.get());
    }
    if (!error && ::renameat(root, NewSaveRecordName, root, SaveRecordName) != 0)
        error = errno;
    if (error) {
        ::unlinkat(root, NewSaveRecordName, 0);
        return error;
    }
    if (const int synced = syncFolder(root)) {
        ::unlinkat(root, SaveRecordName, 0);
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

RecordedSave::RecordedSave(int root, const SaveRecord &record, bool resuming)
    : root(root), record(record), resuming(resuming)
{
}

bool RecordedSave::isStagingFile(const struct stat &file) const
{
    return record.hasStaging && S_ISREG(file.st_mode) && std::uint64_t(file.st_dev) == record.stagingDevice
        && std::uint64_t(file.st_ino) == record.stagingInode;
}

// Whether the file's first size bytes are the story's first size bytes.
bool RecordedSave::holdsStoryStart(int fd, off_t size) const
{
    if (size > record.story.size())
        return false;
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t got = ::pread(fd, bytes.data() + done, size_t(bytes.size() - done), off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += got;
    }
    return record.story.startsWith(bytes);
}

int RecordedSave::finish()
{
    struct stat story {};
    bool haveStory = false;
    if (const int error = lookUp(root, record.name.constData(), &story, &haveStory))
        return error;
    return record.hasStaging ? finishWithStaging(haveStory ? &story : nullptr)
                             : finishWithoutStaging(haveStory ? &story : nullptr);
}

int RecordedSave::finishWithStaging(const struct stat *story)
{
    const char *name = record.name.constData();
    const Fd stagingFolder(::openat(root, StagingFolderName, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!stagingFolder.valid() && errno != ENOENT)
        return errno;
    struct stat staging {};
    bool haveStaging = false;
    if (stagingFolder.valid()) {
        if (const int error = lookUp(stagingFolder.get(), StagingFileName, &staging, &haveStaging))
            return error;
    }
    const bool stagingIsTheSaves = haveStaging && isStagingFile(staging);

    if (!story || !isStagingFile(*story)) {
        if (story)
            return EEXIST;
        if (!stagingIsTheSaves)
            return ENOENT;
        if (std::uint64_t(staging.st_size) != record.stagingSize || staging.st_nlink != 1)
            return ESTALE;
        if (const int error = renameNoReplace(stagingFolder.get(), StagingFileName, root, name))
            return error;
    } else if (stagingIsTheSaves) {
        // A rename by hard link cut short: the file has both names.
        if (::unlinkat(stagingFolder.get(), StagingFileName, 0) != 0)
            return errno;
    }

    const Fd file(::openat(root, name, O_WRONLY | PlainFile));
    if (!file.valid())
        return errno;
    struct stat opened {};
    if (::fstat(file.get(), &opened) != 0)
        return errno;
    const off_t start = off_t(record.stagingSize);
    if (!isStagingFile(opened) || opened.st_nlink != 1 || opened.st_size < start
        || opened.st_size > start + record.story.size())
        return ESTALE;
    // Written at its place rather than appended, so that writing again after
    // a crash in the middle gives the same bytes.
    if (const int error = writeAt(file.get(), record.story, start))
        return error;
    if (const int error = syncFile(file.get()))
        return error;
    if (stagingFolder.valid()) {
        if (const int error = syncFolder(stagingFolder.get()))
            return error;
    }
    return syncFolder(root);
}

int RecordedSave::finishWithoutStaging(const struct stat *story)
{
    const char *name = record.name.constData();
    Fd file;
    if (story) {
        // Only a save cut short finds a file of its own there: one that it
        // made, holding a beginning of the story.
        if (!resuming || !S_ISREG(story->st_mode) || story->st_nlink != 1 || story->st_size > record.story.size())
            return EEXIST;
        file.reset(::openat(root, name, O_RDWR | PlainFile));
        struct stat opened {};
        if (!file.valid() || ::fstat(file.get(), &opened) != 0)
            return errno;
        if (!sameFile(opened, *story) || !holdsStoryStart(file.get(), opened.st_size))
            return EEXIST;
    } else {
        file.reset(::openat(root, name, O_WRONLY | O_CREAT | O_EXCL | PlainFile, 0666));
        if (!file.valid())
            return errno;
        created = ::fstat(file.get(), &createdFile) == 0;
        if (!created)
            return errno;
    }
    if (const int error = writeAt(file.get(), record.story, 0))
        return error;
    if (const int error = syncFile(file.get()))
        return error;
    return syncFolder(root);
}

int RecordedSave::undo()
{
    const char *name = record.name.constData();
    struct stat story {};
    bool haveStory = false;
    if (const int error = lookUp(root, name, &story, &haveStory))
        return error;

    if (!record.hasStaging) {
        if (!haveStory)
            return 0;
        if (created) {
            if (!sameFile(story, createdFile))
                return 0;
        } else {
            if (!resuming || !S_ISREG(story.st_mode) || story.st_nlink != 1)
                return 0;
            const Fd file(::openat(root, name, O_RDONLY | PlainFile));
            struct stat opened {};
            if (!file.valid() || ::fstat(file.get(), &opened) != 0)
                return errno;
            if (!sameFile(opened, story) || !holdsStoryStart(file.get(), opened.st_size))
                return 0;
        }
        if (::unlinkat(root, name, 0) != 0)
            return errno;
        return syncFolder(root);
    }

    if (!haveStory || !isStagingFile(story))
        return 0;  // the staging file was never moved
    const Fd stagingFolder(::openat(root, StagingFolderName, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!stagingFolder.valid())
        return errno;
    struct stat staging {};
    bool haveStaging = false;
    if (const int error = lookUp(stagingFolder.get(), StagingFileName, &staging, &haveStaging))
        return error;
    if (haveStaging && !isStagingFile(staging))
        return EEXIST;  // another file has taken the staging file's name
    if (std::uint64_t(story.st_size) != record.stagingSize) {
        const Fd file(::openat(root, name, O_WRONLY | PlainFile));
        struct stat opened {};
        if (!file.valid() || ::fstat(file.get(), &opened) != 0)
            return errno;
        if (!sameFile(opened, story) || std::uint64_t(opened.st_size) < record.stagingSize)
            return ESTALE;
        if (::ftruncate(file.get(), off_t(record.stagingSize)) != 0)
            return errno;
        if (const int error = syncFile(file.get()))
            return error;
    }
    // With both names (a hard-link rename cut short) the story's name goes;
    // otherwise the file gets the staging file's name back.
    if (haveStaging && ::unlinkat(root, name, 0) != 0)
        return errno;
    if (!haveStaging) {
        if (const int error = renameNoReplace(root, name, stagingFolder.get(), StagingFileName))
            return error;
    }
    if (const int error = syncFolder(stagingFolder.get()))
        return error;
    return syncFolder(root);
}

StoryFileState RecordedSave::storyFileState() const
{
    struct stat story {};
    if (::fstatat(root, record.name.constData(), &story, AT_SYMLINK_NOFOLLOW) != 0)
        return StoryFileState::Missing;
    const bool theSaves = record.hasStaging ? isStagingFile(story) : created && sameFile(story, createdFile);
    if (!theSaves)
        return StoryFileState::NotTheSaves;
    const off_t start = off_t(record.stagingSize);
    return story.st_size <= start                          ? StoryFileState::NothingOfStory
         : story.st_size < start + record.story.size() ? StoryFileState::PartOfStory
                                                           : StoryFileState::WholeStory;
}

} // namespace SaveFiles
