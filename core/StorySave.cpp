// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "StorySave.h"

#include "StoryFileName.h"

#include <QFile>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString DrivePrefix = QStringLiteral("c:\\");
const char StagingFolderName[] = "program files";
const char StagingFileName[] = "temp.txt";

// Advice for the user, one sentence each.
const QString PressDoneAgain = QStringLiteral(", then press \"DONE!\" again.");

QString adviceFor(int number)
{
    switch (number) {
    case EEXIST:
        return QStringLiteral("A file with this name already exists: move or rename the existing file")
             + PressDoneAgain;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return QStringLiteral("There is not enough room on the disk for the story: free some space")
             + PressDoneAgain;
    case EROFS:
        return QStringLiteral("The story folder is on a read-only disk: make it writable") + PressDoneAgain;
    case EACCES:
    case EPERM:
        return QStringLiteral("You may not change files in the story folder: allow yourself to write there")
             + PressDoneAgain;
    default:
        return QStringLiteral("Nothing was saved and nothing was changed: check the story folder and the disk")
             + PressDoneAgain;
    }
}

// The title word is typed on an earlier window that the story page cannot go
// back to, so the story can only be kept by copying it from the message's
// details.
QString badTitleAdvice(const NameProblem &problem, const QString &name)
{
    return problem.explanation(name) + QStringLiteral(" Copy the story from the details below to keep it.");
}

QString stagingAdvice(const QString &rootFolder)
{
    return QStringLiteral("The staging file %1/%2/%3 must be an ordinary file with no other names: "
                          "replace it with one or remove it")
               .arg(rootFolder, QLatin1String(StagingFolderName), QLatin1String(StagingFileName))
         + PressDoneAgain;
}

// A file descriptor that closes itself; release() hands it over unclosed.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// Renames without ever replacing an existing entry. Where the file system
// has no RENAME_NOREPLACE, a hard link followed by removing the old name
// gives the same guarantee: link() fails with EEXIST just like the rename.
// Returns 0 or an errno.
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

// Writes all of data, going on after interruptions and short writes.
// Returns 0 or an errno.
int writeAll(int fd, const QByteArray &data)
{
    const char *next = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return EIO;
        next += written;
        left -= written;
    }
    return 0;
}

// Appends the bytes and makes them and the folder entries durable. Closes fd
// on success; on failure leaves it open for the rollback. Returns 0 or an errno.
int appendAndSync(Fd &fd, const QByteArray &bytes, std::initializer_list<int> folders)
{
    if (const int error = writeAll(fd.get(), bytes))
        return error;
    if (::fdatasync(fd.get()) != 0)
        return errno;
    for (const int folder : folders) {
        if (::fsync(folder) != 0)
            return errno;
    }
    // Close a duplicate so that a failing close still leaves a descriptor
    // for the rollback.
    const int duplicate = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0);
    if (duplicate < 0)
        return errno;
    if (::close(duplicate) != 0)
        return errno;
    return 0;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the entry name in folder is still the file open as fd.
bool entryIsFile(int folder, const char *name, const struct stat &file)
{
    struct stat entry {};
    return ::fstatat(folder, name, &entry, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(entry, file);
}

// mkdir -p. Returns 0 or an errno.
int makeFolders(const QByteArray &path)
{
    for (qsizetype slash = path.indexOf('/', 1);; slash = path.indexOf('/', slash + 1)) {
        const QByteArray prefix = slash < 0 ? path : path.left(slash);
        if (!prefix.isEmpty() && ::mkdir(prefix.constData(), 0777) != 0 && errno != EEXIST)
            return errno;
        if (slash < 0)
            return 0;
    }
}

} // namespace

QString storyRootFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Wrenfield");
}

QString realPathOf(const QString &rootFolder, const QString &drivePath)
{
    if (!drivePath.startsWith(DrivePrefix, Qt::CaseInsensitive))
        return {};
    QString rest = drivePath.mid(DrivePrefix.size());
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
                                   const QString &storyText)
{
    const QString realPath = realPathOf(rootFolder, storyFilePath);
    const auto failure = [&](int number, const QString &advice = {}) {
        return SaveError{number, QString::fromLocal8Bit(std::strerror(number)), storyFilePath, realPath,
                         advice.isEmpty() ? adviceFor(number) : advice};
    };

    // Refuse anything that is not one plain name directly in the story folder
    // before touching the disk.
    if (realPath.isEmpty())
        return failure(EINVAL, QStringLiteral("The story has no file name on drive C: yet: copy the "
                                              "story from the details below to keep it."));
    const QString nameText = storyFilePath.mid(DrivePrefix.size());
    if (const std::optional<NameProblem> problem = storyFileNameProblem(nameText))
        return failure(problem->kind == NameProblem::Kind::TooLong ? ENAMETOOLONG : EINVAL,
                       badTitleAdvice(*problem, nameText));
    const QByteArray name = nameText.toUtf8();

    const QByteArray rootPath = QFile::encodeName(rootFolder);
    if (const int error = makeFolders(rootPath))
        return failure(error);
    const Fd root(::open(rootPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid())
        return failure(errno);

    struct stat existing {};
    if (::fstatat(root.get(), name.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return failure(EEXIST);
    if (errno != ENOENT)
        return failure(errno);

    // Find the staging file; a missing one (or a missing folder for it) means
    // the story file starts empty.
    Fd stagingFolder(::openat(root.get(), StagingFolderName, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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
    if (haveStaging) {
        if (const int error = stagingProblem(staging))
            return failure(error, stagingAdvice(rootFolder));
    }

    const QByteArray bytes = (storyText + QStringLiteral("\r\n")).toUtf8();

    if (!haveStaging) {
        Fd file(::openat(root.get(), name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                         0666));
        if (!file.valid())
            return failure(errno);
        struct stat created {};
        ::fstat(file.get(), &created);
        const int error = appendAndSync(file, bytes, {root.get()});
        if (error == 0)
            return std::nullopt;
        if (entryIsFile(root.get(), name.constData(), created))
            ::unlinkat(root.get(), name.constData(), 0);
        return failure(error);
    }

    // Opened without following links and without blocking, so that a link or
    // a FIFO put in its place since the check is refused, not waited on.
    Fd file(::openat(stagingFolder.get(), StagingFileName,
                     O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid()) {
        const int error = errno;
        return failure(error, error == ELOOP || error == ENXIO ? stagingAdvice(rootFolder) : QString());
    }
    if (::fstat(file.get(), &staging) != 0)
        return failure(errno);
    if (const int error = stagingProblem(staging))
        return failure(error, stagingAdvice(rootFolder));
    const off_t originalSize = staging.st_size;

    if (const int error = renameNoReplace(stagingFolder.get(), StagingFileName, root.get(), name.constData()))
        return failure(error);

    if (!entryIsFile(root.get(), name.constData(), staging)) {
        // Something replaced the file between the rename and now; it is not
        // ours to write to or to move back.
        return failure(EAGAIN, QStringLiteral("Another program changed the story folder during the save: "
                                              "check the story file and the staging file")
                                   + PressDoneAgain);
    }
    const int error = appendAndSync(file, bytes, {root.get(), stagingFolder.get()});
    if (error == 0)
        return std::nullopt;

    // Roll back: cut the story off again and give the staging file its name back.
    SaveError result = failure(error);
    const bool cut = ::ftruncate(file.get(), originalSize) == 0;
    const int back = renameNoReplace(root.get(), name.constData(), stagingFolder.get(), StagingFileName);
    if (cut && back == 0) {
        ::fsync(root.get());
        ::fsync(stagingFolder.get());
    } else {
        result.advice += QStringLiteral(" The staging file could not be put back: it is now %1%2.")
                             .arg(realPath, cut ? QString() : QStringLiteral(", with part of the story at its end"));
    }
    return result;
}

void ignoreFileSizeSignal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}
