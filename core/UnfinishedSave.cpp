// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "UnfinishedSave.h"

#include "SaveFiles.h"

#include <QDateTime>
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
    return QLatin1Char('"') + path + QLatin1Char('"');
}

QString reasonText(int error)
{
    switch (error) {
    case EEXIST: return QStringLiteral("another file has its name");
    case ENOENT: return QStringLiteral("the staging file is gone");
    case ESTALE: return QStringLiteral("the files have changed since");
    default: return QString::fromLocal8Bit(std::strerror(error));
    }
}

// Reads the record whole: 0 with *bytes, ENOENT when there is none, EFBIG
// when it is larger than any record, EINVAL when it is not a plain file (a
// link, a folder or a device put there), or another errno.
int readRecord(int root, QByteArray *bytes)
{
    const Fd file(::openat(root, SaveRecordName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid())
        return errno == ELOOP ? EINVAL : errno;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        return errno;
    if (!S_ISREG(info.st_mode))
        return EINVAL;
    if (info.st_size > MaxRecordBytes)
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

// Renames the record out of the way, to a name that says when, and keeps it.
// Returns 0 with the new name, or an errno.
int setRecordAside(int root, QByteArray *asideName)
{
    const QByteArray base = QByteArray(SaveRecordName) + ".set-aside-"
                          + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1();
    for (int n = 1; n < 100; ++n) {
        *asideName = n == 1 ? base : base + '-' + QByteArray::number(n);
        const int error = renameNoReplace(root, SaveRecordName, root, asideName->constData());
        if (error == 0)
            return ::fsync(root) == 0 ? 0 : errno;
        if (error != EEXIST)
            return error;
    }
    return EEXIST;
}

} // namespace

Resolution resolveUnfinishedSaveIn(int root, const QString &rootFolder)
{
    Resolution result;
    const auto where = [&](const QByteArray &name) {
        return quoted(rootFolder + QLatin1Char('/') + QString::fromUtf8(name));
    };
    const auto unresolved = [&](int error, const QString &what) {
        result.outcome = Resolution::Outcome::Unresolved;
        result.error = error;
        result.line = QStringLiteral("Wrenfield: %1 (%2); it will be tried again at the next start or save.")
                          .arg(what, QString::fromLocal8Bit(std::strerror(error)));
        return result;
    };

    // A record still being written when the program stopped: its save had
    // not yet changed anything.
    struct stat entry {};
    if (::fstatat(root, NewSaveRecordName, &entry, AT_SYMLINK_NOFOLLOW) == 0)
        ::unlinkat(root, NewSaveRecordName, 0);

    QByteArray bytes;
    QString problem;
    const int read = readRecord(root, &bytes);
    if (read == ENOENT)
        return result;
    if (read != 0 && read != EINVAL && read != EFBIG)
        return unresolved(read, QStringLiteral("could not read the record of an unfinished save"));
    if (read == 0)
        result.record = parseSaveRecord(bytes, &problem);
    else
        problem = QStringLiteral("it is not a plain file of a record's size");
    QByteArray aside;
    if (!result.record) {
        result.error = EINVAL;
        if (const int error = setRecordAside(root, &aside))
            return unresolved(error, QStringLiteral("could not set aside a damaged record of an unfinished save"));
        result.outcome = Resolution::Outcome::SetAside;
        result.line = QStringLiteral("Wrenfield: set aside a damaged record of an unfinished save (%1) as %2; "
                                     "nothing else was changed.")
                          .arg(problem, where(aside));
        return result;
    }

    const SaveRecord &record = *result.record;
    RecordedSave save(root, record, true);
    result.error = save.finish();
    if (result.error == 0) {
        // The story is whole; a record left behind is finished again,
        // harmlessly, next time.
        removeRecord(root);
        result.outcome = Resolution::Outcome::Finished;
        result.line =
            QStringLiteral("Wrenfield: finished saving %1, which had been cut short.").arg(where(record.name));
        return result;
    }
    if (const int error = save.undo())
        return unresolved(error, QStringLiteral("could neither finish nor undo saving %1").arg(where(record.name)));
    if (const int error = setRecordAside(root, &aside))
        return unresolved(error, QStringLiteral("could not set aside the record of saving %1").arg(where(record.name)));
    result.outcome = Resolution::Outcome::SetAside;
    result.line = QStringLiteral("Wrenfield: could not finish saving %1, which had been cut short (%2); its story is "
                                 "kept in %3, and the staging file is as it was before.")
                      .arg(where(record.name), reasonText(result.error), where(aside));
    return result;
}

Resolution resolveUnfinishedSave(const QString &rootFolder, std::chrono::milliseconds lockWait)
{
    const Fd root(::open(QFile::encodeName(rootFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid())
        return {};
    if (const int error = lockFolder(root.get(), lockWait)) {
        Resolution busy;
        busy.outcome = Resolution::Outcome::Unresolved;
        busy.error = error;
        busy.line = QStringLiteral("Wrenfield: another copy of Wrenfield is saving in %1; an unfinished save "
                                   "there is left for the next start or save.")
                        .arg(quoted(rootFolder));
        return busy;
    }
    return resolveUnfinishedSaveIn(root.get(), rootFolder);
}

void resolveUnfinishedSaveAtStart(const QString &rootFolder)
{
    // Nearly always there is nothing: two look-ups and no lock.
    struct stat entry {};
    const QByteArray root = QFile::encodeName(rootFolder) + '/';
    if (rootFolder.isEmpty()
        || (::lstat((root + SaveRecordName).constData(), &entry) != 0 && errno == ENOENT
            && ::lstat((root + NewSaveRecordName).constData(), &entry) != 0 && errno == ENOENT))
        return;
    const Resolution resolution = resolveUnfinishedSave(rootFolder);
    if (!resolution.line.isEmpty())
        std::fprintf(stderr, "%s\n", resolution.line.toLocal8Bit().constData());
}
