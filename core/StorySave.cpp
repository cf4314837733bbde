// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "StorySave.h"

#include "SaveFiles.h"
#include "StoryFileName.h"
#include "UnfinishedSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace SaveFiles;

// Advice for the user, one sentence each.
const QString PressDoneAgain = QStringLiteral(", then press \"DONE!\" again.");

// Where a save's files are, for the advice.
struct Places {
    QString root;      // the story folder
    QString realPath;  // the story file
    QString stagingFolder() const { return root + QLatin1Char('/') + QLatin1String(StagingFolderName); }
    QString stagingFile() const { return stagingFolder() + QLatin1Char('/') + QLatin1String(StagingFileName); }
};

QString adviceFor(int number, const Places &places)
{
    switch (number) {
    case EEXIST:
        return QStringLiteral("The file %1 already exists: move or rename it").arg(places.realPath) + PressDoneAgain;
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("There is not enough room on the disk for the story: free some space")
             + PressDoneAgain;
    case EFBIG:
        return QStringLiteral("The story file would be larger than the file-size limit you are allowed "
                              "(ulimit -f): raise the limit or shorten the staging file")
             + PressDoneAgain;
    case EROFS:
        return QStringLiteral("The story folder is on a read-only disk: make it writable") + PressDoneAgain;
    case EACCES:
    case EPERM:
        return QStringLiteral("You may not change files in the story folder: allow yourself to write there")
             + PressDoneAgain;
    case EXDEV:
        return QStringLiteral("The \"program files\" folder %1 is on another disk than the story folder, so the "
                              "staging file cannot be moved out of it: keep both on one disk")
                   .arg(places.stagingFolder())
             + PressDoneAgain;
    case EAGAIN:
        return QStringLiteral("Another program changed the story folder during the save: check the story file "
                              "and the staging file")
             + PressDoneAgain;
    default:
        return QStringLiteral("Nothing was saved and nothing was changed: check the story folder and the disk")
             + PressDoneAgain;
    }
}

// The title word is typed on an earlier window that the story page cannot go
// back to, so the story can only be kept by copying it from the message's
// details.
QString badTitleAdvice(const QString &explanation)
{
    return explanation + QStringLiteral(" Copy the story from the details below to keep it.");
}

QString stagingAdvice(const Places &places)
{
    return QStringLiteral("The staging file %1 must be an ordinary file with no other names: "
                          "replace it with one or remove it")
               .arg(places.stagingFile())
         + PressDoneAgain;
}

// What happens to a save whose record stays.
const QString NextStart = QStringLiteral(
    " The next time Wrenfield starts or saves a story it finishes this save, if the files still show how far it "
    "got; otherwise it changes no file and keeps the story in a hidden file in the story folder, and says so.");

// Where a save that could not be undone has left the files, and what
// happens next.
QString leftHalfDone(const RecordedSave &save, const SaveRecord &record, const Places &places)
{
    const QString holds = places.realPath + QStringLiteral(" now holds ")
                        + (record.hasStaging ? QStringLiteral("the staging file's text and ") : QString());
    QString state;
    switch (save.storyFileContent()) {
    case Content::Old:
        state = (record.hasStaging ? QStringLiteral("The staging file could not be given its name back: it is now %1.")
                                   : QStringLiteral("An empty story file is left at %1."))
                    .arg(places.realPath);
        break;
    case Content::PartOfStory:
        state = holds + QStringLiteral("part of the story.");
        break;
    case Content::WholeStory:
        state = holds + QStringLiteral("the whole story.");
        break;
    case Content::Other:
        state = record.hasStaging
                  ? QStringLiteral("The staging file could not be put back in %1.").arg(places.stagingFolder())
                  : QStringLiteral("The story file %1 could not be removed again.").arg(places.realPath);
        break;
    }
    return state + NextStart;
}

// Makes the story folder and, when missing, the folder that holds it
// (Documents), but never the home folder above them. Syncs the folder that
// holds each new folder, so that a power cut cannot lose the folders with
// the story in them. Returns 0 or an errno.
int makeStoryFolder(const QByteArray &root)
{
    const auto parentOf = [](const QByteArray &path) {
        const qsizetype slash = path.lastIndexOf('/');
        return slash <= 0 ? QByteArray("/") : path.left(slash);
    };
    const auto syncParent = [&](const QByteArray &path) {
        const Fd parent(::open(parentOf(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        return parent.valid() && ::fsync(parent.get()) == 0 ? 0 : errno;
    };
    if (::mkdir(root.constData(), 0777) == 0)
        return syncParent(root);
    if (errno != ENOENT)
        return errno == EEXIST ? 0 : errno;
    const QByteArray documents = parentOf(root);
    if (::mkdir(documents.constData(), 0777) == 0) {
        if (const int error = syncParent(documents))
            return error;
    } else if (errno != EEXIST) {
        return errno;
    }
    if (::mkdir(root.constData(), 0777) != 0)
        return errno == EEXIST ? 0 : errno;
    return syncParent(root);
}

} // namespace

QString realPathOf(const QString &rootFolder, const QString &drivePath)
{
    if (!drivePath.startsWith(StoryDrivePrefix, Qt::CaseInsensitive))
        return {};
    QString rest = drivePath.mid(StoryDrivePrefix.size());
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return rootFolder + QLatin1Char('/') + rest;
}

QString SaveError::message() const
{
    return QStringList{
        QStringLiteral("%1: %2").arg(number).arg(description),
        QStringLiteral("Story file: ") + storyPath,
        QStringLiteral("On disk: ") + realPath,
        advice,
    }.join(QLatin1Char('\n'));
}

std::optional<SaveError> saveStory(const QString &rootFolder, const QString &storyFilePath,
                                   const QString &storyText, std::chrono::milliseconds lockWait)
{
    const Places places{rootFolder, realPathOf(rootFolder, storyFilePath)};
    const auto failure = [&](int number, const QString &advice = {}) {
        return SaveError{number, QString::fromLocal8Bit(std::strerror(number)), storyFilePath, places.realPath,
                         advice.isEmpty() ? adviceFor(number, places) : advice};
    };

    // Refuse anything that is not one plain name directly in the story folder
    // before touching the disk.
    if (places.realPath.isEmpty())
        return failure(EINVAL, QStringLiteral("The story has no file name on drive C: yet: copy the "
                                              "story from the details below to keep it."));
    const QString nameText = storyFilePath.mid(StoryDrivePrefix.size());
    if (const std::optional<NameProblem> problem = storyFileNameProblem(nameText))
        return failure(problem->kind == NameProblem::Kind::TooLong ? ENAMETOOLONG : EINVAL,
                       badTitleAdvice(problem->explanation(nameText)));
    const QByteArray name = nameText.toUtf8();
    if (isSaveRecordFileName(name))
        return failure(EINVAL, badTitleAdvice(QStringLiteral("Wrenfield keeps files of its own under this name.")));
    if (!rootFolder.startsWith(QLatin1Char('/')))
        return failure(ENOENT, QStringLiteral("Wrenfield cannot find your home folder, so it has no folder for "
                                              "stories: set HOME to your home folder and start Wrenfield again."));
    const QByteArray bytes = (storyText + QStringLiteral("\r\n")).toUtf8();
    if (bytes.size() > MaxStoryBytes)
        return failure(EFBIG, badTitleAdvice(QStringLiteral("The story is longer than the %1 MiB Wrenfield can save.")
                                                 .arg(MaxStoryBytes >> 20)));

    const QByteArray rootPath = QFile::encodeName(rootFolder);
    if (const int error = makeStoryFolder(rootPath)) {
        return failure(error, error != ENOENT ? QString()
                                              : QStringLiteral("The folder %1 does not exist, and Wrenfield makes "
                                                               "only the story folder and the folder that holds it: "
                                                               "make it")
                                                        .arg(QFileInfo(QFileInfo(rootFolder).path()).path())
                                                    + PressDoneAgain);
    }
    const Fd root(::open(rootPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid())
        return failure(errno);
    Fd lock;
    if (const int error = lockFolder(root.get(), lockWait, &lock)) {
        const QString lockFile = rootFolder + QLatin1Char('/') + QLatin1String(SaveLockName);
        if (error == EWOULDBLOCK)
            return failure(error, QStringLiteral("Another copy of Wrenfield has been saving a story in the story "
                                                 "folder for %1 seconds: wait until it has finished")
                                          .arg(lockWait.count() / 1000.0)
                                      + PressDoneAgain);
        if (error == ENOLCK)
            return failure(error, QStringLiteral("Files in the story folder cannot be locked, so Wrenfield cannot "
                                                 "make sure that no other copy of it saves there at the same time, "
                                                 "and saved nothing: keep the story folder on a disk that allows "
                                                 "locks")
                                      + PressDoneAgain);
        // A folder that cannot take the lock file cannot take a story either.
        struct stat entry {};
        if (::fstatat(root.get(), SaveLockName, &entry, AT_SYMLINK_NOFOLLOW) != 0)
            return failure(error);
        return failure(error, QStringLiteral("Wrenfield cannot use its lock file %1: if it is not an ordinary file "
                                             "you may read, remove it")
                                      .arg(lockFile)
                                  + PressDoneAgain);
    }

    // A save cut short comes first: it was the user's earlier "DONE!".
    const Resolution earlier = resolveUnfinishedSaveIn(root.get(), rootFolder);
    if (!earlier.line.isEmpty())
        std::fprintf(stderr, "%s\n", earlier.line.toLocal8Bit().constData());
    if (earlier.outcome == Resolution::Outcome::Unresolved)
        return failure(earlier.error, earlier.message + QStringLiteral(" Nothing else was changed") + PressDoneAgain);
    // This very story, left half-saved by an earlier press of "DONE!" whose
    // failure could not be undone, is now whole.
    if ((earlier.outcome == Resolution::Outcome::Finished || earlier.outcome == Resolution::Outcome::AlreadyWhole)
        && earlier.record->name == name && earlier.record->story == bytes)
        return std::nullopt;

    struct stat existing {};
    if (::fstatat(root.get(), name.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return failure(EEXIST);
    if (errno != ENOENT)
        return failure(errno);

    // Find the staging file; a missing one (or a missing folder for it) means
    // the story file starts empty.
    const Fd stagingFolder(::openat(root.get(), StagingFolderName, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!stagingFolder.valid() && errno != ENOENT)
        return failure(errno);
    struct stat staging {};
    bool haveStaging = false;
    if (stagingFolder.valid()) {
        if (::fstatat(stagingFolder.get(), StagingFileName, &staging, AT_SYMLINK_NOFOLLOW) == 0)
            haveStaging = true;
        else if (errno != ENOENT)
            return failure(errno);
    }
    // Only an ordinary file with one name is renamed: moving a link, a folder
    // or a device would save the story somewhere else, and a file with other
    // names would change under them too.
    const auto stagingProblem = [](const struct stat &s) {
        return S_ISLNK(s.st_mode) ? ELOOP
             : S_ISDIR(s.st_mode) ? EISDIR
             : !S_ISREG(s.st_mode) ? EINVAL
             : s.st_nlink > 1      ? EMLINK
                                   : 0;
    };
    SaveRecord record{name, haveStaging, 0, {}, bytes};
    if (haveStaging) {
        if (const int problem = stagingProblem(staging))
            return failure(problem, stagingAdvice(places));
        // Opened (without following links or blocking on a FIFO put there
        // since) to learn whether the story can be written to it.
        const Fd file(::openat(stagingFolder.get(), StagingFileName, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (!file.valid()) {
            const int error = errno;
            if (error == EACCES || error == EPERM)
                return failure(error, QStringLiteral("You may not write to the staging file %1: allow yourself "
                                                     "to write to it")
                                              .arg(places.stagingFile())
                                          + PressDoneAgain);
            return failure(error, error == ELOOP || error == ENXIO ? stagingAdvice(places) : QString());
        }
        if (::fstat(file.get(), &staging) != 0)
            return failure(errno);
        if (const int problem = stagingProblem(staging))
            return failure(problem, stagingAdvice(places));
        // Its bytes are on disk before its size goes into the record, so
        // that after a power cut the record's size and checksum still
        // describe it; its end is what proves it at the next start.
        if (::fdatasync(file.get()) != 0)
            return failure(errno);
        record.stagingSize = std::uint64_t(staging.st_size);
        QByteArray tail;
        const qsizetype tailSize = qsizetype(std::min<off_t>(staging.st_size, StagingTailBytes));
        if (const int error = readAt(file.get(), &tail, tailSize, staging.st_size - tailSize))
            return failure(error);
        record.stagingTail = stagingTailChecksum(tail);
    }
    bool recordLeft = false;
    if (const int error = publishRecord(root.get(), record, &recordLeft)) {
        SaveError result = failure(error);
        if (error == EFBIG)
            result.advice = QStringLiteral("The save's record, which holds the whole story, would be larger than "
                                           "the file-size limit you are allowed (ulimit -f): raise the limit")
                          + PressDoneAgain;
        if (recordLeft) {
            result.advice = QStringLiteral("Nothing was saved yet, but the disk failed while Wrenfield was writing "
                                           "down what it was about to do, and the record %1 could not be removed.")
                                .arg(rootFolder + QLatin1Char('/') + QLatin1String(SaveRecordName))
                          + NextStart;
            result.unfinished = true;
        }
        return result;
    }

    RecordedSave save(root.get(), record);
    int error = save.moveStaging();
    if (!error)
        error = save.writeStory();
    if (!error) {
        // After a failed sync nothing is known about what is on disk: the
        // record stays, and the next start looks at the files.
        int synced = save.syncStory();
        if (!synced)
            synced = save.syncFolders();
        if (synced) {
            SaveError result = failure(synced);
            result.advice = QStringLiteral("The disk reported an error while Wrenfield was saving the story, so it "
                                           "may not be on disk: the story folder holds the whole story, but the "
                                           "disk may not keep it.")
                          + NextStart;
            result.unfinished = true;
            return result;
        }
        // The story is whole and on disk. A record that cannot be removed
        // is found whole at the next start, and removed then.
        removeRecord(root.get());
        return std::nullopt;
    }
    SaveError result = failure(error == ESTALE ? EAGAIN : error);
    if (save.undo() != 0) {
        result.advice = leftHalfDone(save, record, places);
        result.unfinished = true;
    } else if (const int removal = removeRecord(root.get())) {
        result.advice = QStringLiteral("Nothing was saved and the story folder is as it was, but Wrenfield could "
                                       "not remove its record %1 (%2).")
                            .arg(rootFolder + QLatin1Char('/') + QLatin1String(SaveRecordName),
                                 QString::fromLocal8Bit(std::strerror(removal)))
                      + NextStart;
        result.unfinished = true;
    }
    return result;
}

void ignoreFileSizeSignal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}
