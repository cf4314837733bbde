// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "UnfinishedSave.h"

#include "SaveFiles.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace SaveFiles;

namespace {

// A record holds the story and a few short lines.
constexpr qsizetype MaxRecordBytes = MaxStoryBytes + 4096;

QString quoted(const QString &path)
{
    return QStringLiteral("\u201c%1\u201d").arg(path);
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Where the story is kept when its record is set aside; %1: the file.
const QString KeptIn = QStringLiteral(
    " The story's text is kept in the hidden file %1, after a few lines about the save (a file manager shows "
    "hidden files after Ctrl+H): copy it from there into a file of your own, then remove that file.");

// Why the files do not prove where a save stood.
QString unprovenReason(const RecordedSave &save, const SaveRecord &record, const QString &rootFolder, int error)
{
    if (error)
        return QStringLiteral("its files could not be read (%1)").arg(errorText(error));
    if (!save.foundAtStagingName() && save.storyFileContent() != Content::Other)
        return QStringLiteral("the story file has more than one name");
    struct stat entry {};
    const QByteArray story = QFile::encodeName(rootFolder) + '/' + record.name;
    if (::lstat(story.constData(), &entry) == 0)
        return QStringLiteral("the file %1 holds other text than that save left in it")
            .arg(quoted(QFile::decodeName(story)));
    const QString staging = rootFolder + QStringLiteral("/%1/%2").arg(StagingFolderName, StagingFileName);
    if (::lstat(QFile::encodeName(staging).constData(), &entry) == 0)
        return QStringLiteral("the staging file %1 is no longer as it was before that save").arg(quoted(staging));
    return QStringLiteral("neither the story file nor the staging file is there any more");
}

} // namespace

Resolution resolveUnfinishedSaveIn(int root, const QString &rootFolder)
{
    Resolution result;
    const auto where = [&](const QByteArray &name) { return rootFolder + QLatin1Char('/') + QFile::decodeName(name); };
    const QString recordPath = where(SaveRecordName);

    // A record of an earlier version still being written when the program
    // stopped: its save had not yet changed anything. (Records are now
    // written unnamed, or under a fresh name, so that nothing left here can
    // stand in a save's way.)
    struct stat entry {};
    if (::fstatat(root, NewSaveRecordName, &entry, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(entry.st_mode))
        ::unlinkat(root, NewSaveRecordName, 0);

    QByteArray bytes;
    QString problem;
    const int read = readPlainFile(root, SaveRecordName, MaxRecordBytes, false, &bytes);
    if (read == ENOENT)
        return result;
    if (read == 0)
        result.record = parseSaveRecord(bytes, &problem);
    else if (read == EINVAL || read == EFBIG)
        problem = QStringLiteral("it is not a plain file of a record's size");
    else
        problem = QStringLiteral("it cannot be read: %1").arg(errorText(read));

    // Sets the record aside and says so; or, when even that fails, names the
    // record for the user to remove.
    QByteArray aside;
    const auto setAside = [&](int error, const QString &line, const QString &message) {
        result.error = error;
        if (const int failed = SaveFiles::setAside(root, SaveRecordName, &aside)) {
            result.outcome = Resolution::Outcome::Unresolved;
            result.error = failed;
            result.line = QStringLiteral("Wrenfield: could not set aside the record %1 of an unfinished save (%2).")
                              .arg(quoted(recordPath), errorText(failed));
            result.message = QStringLiteral("Wrenfield found the record of a save that was cut short, %1, and can "
                                            "neither use it nor move it aside (%2). It changed no file. Move that "
                                            "file out of the story folder (it may hold a story you typed), then "
                                            "save again.")
                                 .arg(quoted(recordPath), errorText(failed));
            return result;
        }
        result.outcome = Resolution::Outcome::SetAside;
        result.keptIn = where(aside);
        result.line = line.arg(quoted(result.keptIn));
        result.message = message.arg(quoted(result.keptIn));
        return result;
    };

    if (!result.record) {
        return setAside(EINVAL,
                        QStringLiteral("Wrenfield: set aside a record of an unfinished save that cannot be used (")
                            + problem + QStringLiteral(") as %1; nothing else was changed."),
                        QStringLiteral("Wrenfield found the record of a save that was cut short, but cannot use it (")
                            + problem
                            + QStringLiteral("). It changed no file and kept the record as %1. If a story you "
                                             "saved is missing, its text may be in that file; remove the file "
                                             "when you no longer need it."));
    }

    const SaveRecord &record = *result.record;
    result.storyFile = where(record.name);
    RecordedSave save(root, record);
    int error = 0;
    const Content found = save.examine(&error);
    if (found == Content::Other || error) {
        const QString reason = unprovenReason(save, record, rootFolder, error);
        return setAside(error ? error : ESTALE,
                        QStringLiteral("Wrenfield: could not finish saving %1, which had been cut short: ")
                                .arg(quoted(result.storyFile))
                            + reason + QStringLiteral("; no file was changed, and the story is kept in %1."),
                        QStringLiteral("Saving the story %1 was cut short, and Wrenfield could not finish it: ")
                                .arg(quoted(result.storyFile))
                            + reason
                            + QStringLiteral(". So that nothing of yours is lost, it changed no file.") + KeptIn);
    }
    const bool wasWhole = found == Content::WholeStory && !save.foundAtStagingName();
    if (const int failed = save.finish()) {
        return setAside(failed,
                        QStringLiteral("Wrenfield: finishing the save of %1, which had been cut short, failed (")
                                .arg(quoted(result.storyFile))
                            + errorText(failed) + QStringLiteral("); the story is kept in %1."),
                        QStringLiteral("Saving the story %1 was cut short, and finishing it failed (%2); the file "
                                       "may hold only part of the story.")
                                .arg(quoted(result.storyFile), errorText(failed))
                            + KeptIn);
    }
    // The story is whole and on disk; a record that cannot be removed is
    // found whole again, and removed, next time.
    removeRecord(root);
    if (wasWhole) {
        result.outcome = Resolution::Outcome::AlreadyWhole;
        result.line = QStringLiteral("Wrenfield: %1 was whole; removed the record of its save.")
                          .arg(quoted(result.storyFile));
        return result;
    }
    result.outcome = Resolution::Outcome::Finished;
    result.line =
        QStringLiteral("Wrenfield: finished saving %1, which had been cut short.").arg(quoted(result.storyFile));
    result.message = QStringLiteral("The story %1 was saved when Wrenfield started: saving it had been cut short "
                                    "(Wrenfield was stopped, or the power went off), and is now finished.")
                         .arg(quoted(result.storyFile));
    return result;
}

Resolution resolveUnfinishedSave(const QString &rootFolder, std::chrono::milliseconds lockWait)
{
    const Fd root(::open(QFile::encodeName(rootFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid())
        return {};
    Fd lock;
    if (const int error = lockFolder(root.get(), lockWait, &lock)) {
        Resolution busy;
        busy.outcome = Resolution::Outcome::Unresolved;
        busy.error = error;
        if (error == EWOULDBLOCK) {
            busy.line = QStringLiteral("Wrenfield: another copy of Wrenfield is saving in %1; an unfinished save "
                                       "there is left for the next start or save.")
                            .arg(quoted(rootFolder));
            return busy;
        }
        busy.line = QStringLiteral("Wrenfield: cannot lock %1 (%2); an unfinished save there is left as it is.")
                        .arg(quoted(rootFolder + QLatin1Char('/') + QLatin1String(SaveLockName)), errorText(error));
        busy.message = QStringLiteral("Wrenfield found the record of a save that was cut short, but cannot lock "
                                      "the story folder %1 to finish it (%2: %3), and changed no file. Saving "
                                      "there will not work either until the lock file can be used.")
                           .arg(quoted(rootFolder), quoted(QLatin1String(SaveLockName)), errorText(error));
        return busy;
    }
    return resolveUnfinishedSaveIn(root.get(), rootFolder);
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
    const Resolution resolution = resolveUnfinishedSave(rootFolder);
    if (!resolution.line.isEmpty())
        std::fprintf(stderr, "%s\n", resolution.line.toLocal8Bit().constData());
    return resolution;
}
