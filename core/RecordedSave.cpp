// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "RecordedSave.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace SaveFiles {

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
    file.reset(::openat(root, name, O_RDWR | PlainFile));
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
    // An empty file at the story's name beside the staging file is the
    // save's claim on the name, where the file system has no hard links: the
    // staging file is examined, and renamed over the claim.
    claim = haveStory && haveStaging && S_ISREG(story.st_mode) && story.st_size == 0 && story.st_nlink == 1
         && !sameFile(story, staging);
    if (claim)
        claimed = story;
    atStagingName = !haveStory || claim;
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
        if (claim && isClaim(root, name, claimed) && ::unlinkat(root, name, 0) != 0)
            return errno;
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
        const Fd writable(::openat(root, name, O_RDWR | PlainFile));
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
