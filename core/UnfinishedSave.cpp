// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "UnfinishedSave.h"

#include "RecordFile.h"
#include "RecordedSave.h"
#include "SaveLock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace SaveFiles;

namespace {

// A record holds the story and a few short lines.
constexpr qsizetype MaxRecordBytes = MaxStoryBytes + 4096;

using Outcome = Resolution::Outcome;
using Reason = Resolution::Reason;

QString pathIn(const QString &rootFolder, const QByteArray &name)
{
    return rootFolder + QLatin1Char('/') + QFile::decodeName(name);
}

// Reads the record: true with result->record, or false with why not.
bool readRecord(int root, const FolderTrust &trust, Resolution *result)
{
    QByteArray bytes;
    const int read = readPlainFile(root, SaveRecordName, MaxRecordBytes, &trust, &bytes);
    struct stat info {};
    if ((read == EPERM || read == EACCES) && ::fstatat(root, SaveRecordName, &info, AT_SYMLINK_NOFOLLOW) == 0
        && (read == EPERM || info.st_uid != trust.owner)) {
        result->reason = Reason::RecordNotMine;
        result->owner = info.st_uid;
        return false;
    }
    if (read == EINVAL || read == EFBIG) {
        result->reason = Reason::RecordNotPlain;
        return false;
    }
    if (read) {
        result->reason = Reason::RecordUnreadable;
        result->error = read;
        return false;
    }
    result->record = parseSaveRecord(bytes, &result->problem);
    if (!result->record)
        result->reason = Reason::RecordBroken;
    return result->record.has_value();
}

// Sets the record aside, for a reason already in *result; or, when even that
// fails, leaves it unresolved for the user to move.
void setRecordAside(int root, Resolution *result)
{
    QByteArray aside;
    if (const int failed = setAside(root, SaveRecordName, &aside)) {
        result->outcome = Outcome::Unresolved;
        result->setAsideError = failed;
        return;
    }
    result->outcome = Outcome::SetAside;
    result->keptIn = pathIn(result->rootFolder, aside);
}

// Why the files do not prove where a save stood.
Reason unprovenReason(int root, const RecordedSave &save, const SaveRecord &record, int error)
{
    if (error)
        return Reason::FilesUnreadable;
    if (!save.foundAtStagingName() && save.storyFileContent() != Content::Other)
        return Reason::MoreThanOneName;
    struct stat entry {};
    const bool storyThere = ::fstatat(root, record.name.constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0;
    Fd stagingFolder;
    const bool stagingThere = openStagingFolder(root, &stagingFolder) == 0
                           && ::fstatat(stagingFolder.get(), StagingFileName, &entry, AT_SYMLINK_NOFOLLOW) == 0;
    if (storyThere) {
        // The staging file still as it was before the save: the save never
        // moved it, so the file at the story's name is not the save's.
        const Fd staging(stagingThere ? ::openat(stagingFolder.get(), StagingFileName,
                                                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)
                                      : -1);
        int ignored = 0;
        const bool unmoved = record.hasStaging && staging.valid()
                          && contentOf(staging.get(), record, &ignored) == Content::Old;
        return unmoved ? Reason::StoryNameTaken : Reason::StoryFileChanged;
    }
    return stagingThere ? Reason::StagingChanged : Reason::BothGone;
}

} // namespace

bool Resolution::worthTelling() const
{
    return outcome == Outcome::Finished || outcome == Outcome::SetAside
        || (outcome == Outcome::Unresolved && reason != Reason::LockBusy) || removalError != 0;
}

Resolution resolveUnfinishedSaveIn(int root, const QString &rootFolder, const FolderTrust &trust)
{
    Resolution result;
    result.rootFolder = rootFolder;
    result.recordPath = pathIn(rootFolder, SaveRecordName);
    result.stagingFile = rootFolder + QStringLiteral("/%1/%2").arg(StagingFolderName, StagingFileName);

    struct stat entry {};
    if (::fstatat(root, SaveRecordName, &entry, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT)
        return result;
    // Records being written when an earlier save was cut short never named
    // it: nothing to follow, only to remove.
    removeLeftTemporaries(root, trust);
    // An empty record is a name claimed where the file system has no hard
    // links, with the record never renamed over it: nothing to finish.
    if (trust.trusts(entry) && entry.st_size == 0) {
        removeRecord(root);
        return result;
    }
    if (!readRecord(root, trust, &result)) {
        setRecordAside(root, &result);
        return result;
    }

    const SaveRecord &record = *result.record;
    result.storyFile = pathIn(rootFolder, record.name);
    RecordedSave save(root, record);
    int error = 0;
    const Content found = save.examine(&error);
    if (found == Content::Other || error) {
        result.reason = unprovenReason(root, save, record, error);
        result.error = error ? error : ESTALE;
        setRecordAside(root, &result);
        return result;
    }
    const bool wasWhole = found == Content::WholeStory && !save.foundAtStagingName();
    if (const int failed = save.finish()) {
        result.reason = Reason::FinishFailed;
        result.error = failed;
        setRecordAside(root, &result);
        return result;
    }
    // The story is whole and on disk; a record that cannot be removed is
    // found whole again, and removed, next time.
    result.removalError = removeRecord(root);
    result.outcome = wasWhole ? Outcome::AlreadyWhole : Outcome::Finished;
    return result;
}

Resolution resolveUnfinishedSave(const QString &rootFolder, std::chrono::milliseconds lockWait)
{
    const Fd root(::open(QFile::encodeName(rootFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid())
        return {};
    Fd lock;
    LockReport report;
    if (const int error = lockFolder(root.get(), lockWait, &lock, &report)) {
        Resolution busy;
        busy.outcome = Outcome::Unresolved;
        busy.reason = error == EWOULDBLOCK || error == EBUSY ? Reason::LockBusy : Reason::LockUnusable;
        busy.error = error;
        busy.rootFolder = rootFolder;
        busy.recordPath = pathIn(rootFolder, SaveRecordName);
        return busy;
    }
    return resolveUnfinishedSaveIn(root.get(), rootFolder, report.trust);
}

Resolution resolveUnfinishedSaveAtStart(const QString &rootFolder)
{
    // Nearly always there is nothing: one look-up and no lock.
    struct stat entry {};
    if (rootFolder.isEmpty()
        || (::lstat(QFile::encodeName(rootFolder + QLatin1Char('/') + QLatin1String(SaveRecordName)).constData(),
                    &entry)
                != 0
            && errno == ENOENT))
        return {};
    return resolveUnfinishedSave(rootFolder);
}
