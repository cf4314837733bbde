// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "StorySave.h"

#include "RecordFile.h"
#include "RecordedSave.h"
#include "SaveLock.h"
#include "StoryFileName.h"
#include "StoryText.h"
#include "UnfinishedSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace SaveFiles;
using Kind = SaveError::Kind;
using Step = std::optional<SaveError>;

// One save: what it saves and where, and what it holds open on the way.
struct Save {
    QString rootFolder, storyFilePath, realPath;
    QString text;
    QByteArray name, bytes;
    std::chrono::milliseconds lockWait;
    Resolution *earlier;
    Fd root, lock, stagingFolder;
    FolderTrust trust;  // which of its own files the save trusts in the story folder
    SaveRecord record;

    QString inRoot(const char *name) const { return rootFolder + QLatin1Char('/') + QLatin1String(name); }
    QString stagingFolderPath() const { return inRoot(StagingFolderName); }
    QString stagingFilePath() const { return stagingFolderPath() + QLatin1Char('/') + QLatin1String(StagingFileName); }

    SaveError failure(SaveStep step, int number, Kind kind = Kind::System, const QString &path = {}) const
    {
        SaveError error;
        error.kind = kind;
        error.step = step;
        error.number = number;
        error.storyPath = storyFilePath;
        error.realPath = realPath;
        error.rootFolder = rootFolder;
        error.path = path;
        return error;
    }
};

// The story's name and text, before anything on disk: one plain name
// directly in the story folder, not one of the save's own, and a text it
// can keep.
Step check(Save &save)
{
    if (save.realPath.isEmpty())
        return save.failure(SaveStep::Check, EINVAL, Kind::NoDriveName);
    const QString nameText = save.storyFilePath.mid(StoryDrivePrefix.size());
    if (const std::optional<NameProblem> problem = storyFileNameProblem(nameText)) {
        SaveError error = save.failure(SaveStep::Check, problem->kind == NameProblem::Kind::TooLong ? ENAMETOOLONG
                                                                                                    : EINVAL,
                                       Kind::BadName);
        error.nameProblem = problem;
        return error;
    }
    save.name = nameText.toUtf8();
    if (isSaveRecordFileName(save.name))
        return save.failure(SaveStep::Check, EINVAL, Kind::OwnName);
    if (!save.rootFolder.startsWith(QLatin1Char('/')))
        return save.failure(SaveStep::Check, ENOENT, Kind::NoHome);
    save.bytes = storyFileBytes(save.text);
    if (save.bytes.size() > MaxStoryBytes)
        return save.failure(SaveStep::Check, EFBIG, Kind::TooLong);
    return {};
}

// Makes the story folder and, when missing, the folder that holds it
// (Documents), but never the home folder above them, and opens it.
Step openFolder(Save &save)
{
    const QByteArray root = QFile::encodeName(save.rootFolder);
    int error = makeFolder(root, 0777);
    if (error == ENOENT) {
        error = makeFolder(QFile::encodeName(QFileInfo(save.rootFolder).path()), 0777);
        if (!error || error == EEXIST)
            error = makeFolder(root, 0777);
    }
    if (error == ENOENT)
        return save.failure(SaveStep::Folder, error, Kind::FolderMissing,
                            QFileInfo(QFileInfo(save.rootFolder).path()).path());
    if (error && error != EEXIST)
        return save.failure(SaveStep::Folder, error);
    save.root.reset(::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!save.root.valid())
        return save.failure(SaveStep::Folder, errno);
    if (damagesWrites(save.root.get()))
        return save.failure(SaveStep::Folder, EOPNOTSUPP, Kind::DamagingDisk);
    return {};
}

// Takes the story folder's save lock, waiting for another save there.
Step lock(Save &save)
{
    LockReport report;
    const int error = lockFolder(save.root.get(), save.lockWait, &save.lock, &report);
    save.trust = report.trust;
    if (!error)
        return {};
    SaveError failure = save.failure(SaveStep::Lock, error);
    failure.holder = report.holder;
    failure.lockWait = save.lockWait;
    failure.owner = report.owner;
    const bool fresh = report.file == NewLockName;
    if (!report.file.isEmpty())
        failure.path = save.inRoot(report.file.constData());
    switch (error) {
    case EWOULDBLOCK:
        failure.kind = Kind::LockBusy;
        break;
    case EBUSY:
        failure.kind = Kind::LockHeldByOther;
        failure.path = save.inRoot(SaveLockName);
        break;
    case ENOLCK:
        failure.kind = Kind::NoLocks;
        break;
    case EPERM:
        failure.kind = fresh ? Kind::LockFileBlocked : Kind::LockFileNotMine;
        break;
    case EINVAL:
        failure.kind = fresh ? Kind::LockFileBlocked : Kind::LockFileUnusable;
        break;
    default:  // a folder that cannot take the lock file cannot take a story either
        break;
    }
    return failure;
}

// A save cut short comes first: it was the user's earlier "DONE!". *done
// when that was this very story, left half-saved by an earlier press whose
// failure could not be undone, and now whole.
Step resolveEarlier(Save &save, bool *done)
{
    Resolution earlier = resolveUnfinishedSaveIn(save.root.get(), save.rootFolder, save.trust);
    using Outcome = Resolution::Outcome;
    *done = (earlier.outcome == Outcome::Finished || earlier.outcome == Outcome::AlreadyWhole)
         && earlier.record->name == save.name && earlier.record->story == save.bytes;
    if (save.earlier)
        *save.earlier = earlier;
    if (earlier.outcome != Outcome::Unresolved)
        return {};
    SaveError failure = save.failure(SaveStep::Resolve, earlier.setAsideError ? earlier.setAsideError : earlier.error,
                                     Kind::EarlierUnresolved);
    failure.earlier = std::move(earlier);
    return failure;
}

// Only an ordinary file with one name is renamed: moving a link, a folder or
// a device would save the story somewhere else, and a file with other names
// would change under them too.
int stagingProblem(const struct stat &s)
{
    return S_ISLNK(s.st_mode) ? ELOOP : S_ISDIR(s.st_mode) ? EISDIR : !S_ISREG(s.st_mode) ? EINVAL
         : s.st_nlink > 1 ? EMLINK : 0;
}

// Opens the staging file found in its folder (without following links or
// blocking on a FIFO put there since) to learn whether the story can be
// written to it, and notes its size and end in the record. Its bytes are on
// disk before its size goes into the record, so that after a power cut the
// record's size and checksum still describe it.
Step stageFile(Save &save, const struct stat &found)
{
    const QString staging = save.stagingFilePath();
    if (const int problem = stagingProblem(found))
        return save.failure(SaveStep::Stage, problem, Kind::StagingNotPlain, staging);
    const Fd file(::openat(save.stagingFolder.get(), StagingFileName, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid()) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            return save.failure(SaveStep::Stage, error, Kind::StagingNotWritable, staging);
        return save.failure(SaveStep::Stage, error, error == ELOOP || error == ENXIO ? Kind::StagingNotPlain
                                                                                      : Kind::System, staging);
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        return save.failure(SaveStep::Stage, errno);
    if (const int problem = stagingProblem(info))
        return save.failure(SaveStep::Stage, problem, Kind::StagingNotPlain, staging);
    if (info.st_uid != save.trust.owner) {
        SaveError error = save.failure(SaveStep::Stage, EPERM, Kind::StagingNotMine, staging);
        error.owner = info.st_uid;
        return error;
    }
    if (::fdatasync(file.get()) != 0)
        return save.failure(SaveStep::Stage, errno);
    QByteArray tail;
    const qsizetype tailSize = qsizetype(std::min<off_t>(info.st_size, StagingTailBytes));
    if (const int error = readAt(file.get(), &tail, tailSize, info.st_size - tailSize))
        return save.failure(SaveStep::Stage, error);
    save.record.hasStaging = true;
    save.record.stagingSize = std::uint64_t(info.st_size);
    save.record.stagingTail = stagingTailChecksum(tail);
    return {};
}

// The story's name must be free; then the staging file, if any: a missing
// one (or a missing folder for it) means the story file starts empty.
Step stage(Save &save)
{
    save.record = SaveRecord{save.name, false, 0, {}, save.bytes};
    struct stat entry {};
    if (::fstatat(save.root.get(), save.name.constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0)
        return save.failure(SaveStep::Stage, EEXIST);
    if (errno != ENOENT)
        return save.failure(SaveStep::Stage, errno);
    uid_t owner = 0;
    const int opened = openStagingFolder(save.root.get(), &save.stagingFolder, &owner);
    if (opened == EPERM) {
        SaveError error = save.failure(SaveStep::Stage, EPERM, Kind::StagingLinkNotMine, save.stagingFolderPath());
        error.owner = owner;
        return error;
    }
    if (opened == ENOENT)
        return {};
    if (opened)
        return save.failure(SaveStep::Stage, opened);
    if (::fstatat(save.stagingFolder.get(), StagingFileName, &entry, AT_SYMLINK_NOFOLLOW) == 0)
        return stageFile(save, entry);
    return errno == ENOENT ? Step() : save.failure(SaveStep::Stage, errno);
}

// Writes down what the save is about to do.
Step writeRecord(Save &save)
{
    bool left = false;
    const int error = publishRecord(save.root.get(), save.record, save.trust, &left);
    if (!error)
        return {};
    SaveError failure = save.failure(SaveStep::Record, error, error == EFBIG ? Kind::RecordTooBig : Kind::System);
    if (left) {
        failure.kind = Kind::RecordLeft;
        failure.path = save.inRoot(SaveRecordName);
        failure.unfinished = true;
    }
    return failure;
}

// Moves the staging file to the story's name (or makes the story file) and
// writes the story; on failure puts things back where they were.
Step moveAndWrite(Save &save, RecordedSave &recorded)
{
    int error = recorded.moveStaging();
    const SaveStep step = error ? SaveStep::Move : SaveStep::Write;
    if (!error)
        error = recorded.writeStory();
    if (!error)
        return {};
    SaveError failure = save.failure(step, error == ESTALE ? EAGAIN : error);
    failure.hasStaging = save.record.hasStaging;
    if (recorded.undo() != 0) {
        failure.kind = Kind::HalfDone;
        failure.left = recorded.storyFileContent();
        failure.unfinished = true;
    } else if (const int removal = removeRecord(save.root.get())) {
        failure.kind = Kind::RecordNotRemoved;
        failure.path = save.inRoot(SaveRecordName);
        failure.removalError = removal;
        failure.unfinished = true;
    }
    return failure;
}

// Syncs the story and the folders. After a failed sync nothing is known
// about what is on disk: the record stays, and the next start looks at the
// files.
Step sync(Save &save, RecordedSave &recorded)
{
    int error = recorded.syncStory();
    if (!error)
        error = recorded.syncFolders();
    if (!error)
        return {};
    SaveError failure = save.failure(SaveStep::Sync, error, Kind::NotOnDisk);
    failure.unfinished = true;
    return failure;
}

} // namespace

std::optional<SaveError> saveStory(const QString &rootFolder, const QString &storyFilePath,
                                   const QString &storyText, std::chrono::milliseconds lockWait,
                                   Resolution *earlier)
{
    Save save{rootFolder, storyFilePath, realPathOf(rootFolder, storyFilePath), storyText, {}, {}, lockWait, earlier,
              Fd(), Fd(), Fd(), {}, {}};
    if (Step failed = check(save))
        return failed;
    if (Step failed = openFolder(save))
        return failed;
    if (Step failed = lock(save))
        return failed;
    bool alreadySaved = false;
    if (Step failed = resolveEarlier(save, &alreadySaved))
        return failed;
    if (alreadySaved)
        return std::nullopt;
    if (Step failed = stage(save))
        return failed;
    if (Step failed = writeRecord(save))
        return failed;
    RecordedSave recorded(save.root.get(), save.record);
    if (Step failed = moveAndWrite(save, recorded))
        return failed;
    if (Step failed = sync(save, recorded))
        return failed;
    // The story is whole and on disk. A record that cannot be removed is
    // found whole at the next start, and removed then.
    removeRecord(save.root.get());
    return std::nullopt;
}

void ignoreFileSizeSignal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}
