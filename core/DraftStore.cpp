// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "DraftStore.h"

#include "SaveFiles.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using SaveFiles::Fd;

namespace {

constexpr char LockName[] = "lock";
constexpr char NewSuffix[] = ".new";

QString quoted(const QString &path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

// Makes each folder below above on the way to folder, readable by the user
// alone, and syncs the folder that holds each new one.
int makeFolders(const DraftPlace &place)
{
    if (!place.folder.startsWith(place.above + QLatin1Char('/')))
        return ENOENT;
    QByteArray path = QFile::encodeName(place.above);
    const QStringList below = place.folder.mid(place.above.size() + 1).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : below) {
        const QByteArray parent = path;
        path += '/' + QFile::encodeName(part);
        if (::mkdir(path.constData(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        const Fd holder(::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!holder.valid() || ::fsync(holder.get()) != 0)
            return errno;
    }
    return 0;
}

QString readProblem(int error)
{
    switch (error) {
    case EINVAL: return QStringLiteral("it is not a plain file");
    case EPERM: return QStringLiteral("it is not yours alone");
    case EFBIG: return QStringLiteral("it is larger than any draft");
    default: return QString::fromLocal8Bit(std::strerror(error));
    }
}

} // namespace

QByteArray draftFileName(int slot)
{
    return slot == 0 ? QByteArray("draft") : "draft-" + QByteArray::number(slot + 1);
}

int draftSlotOf(QByteArrayView name)
{
    if (name == "draft")
        return 0;
    if (!name.startsWith("draft-") || name.size() > 8)
        return -1;
    bool ok = false;
    const int number = name.sliced(6).toInt(&ok);
    const int slot = number - 1;
    return ok && slot >= 1 && slot < MaxDraftSlots && draftFileName(slot) == name ? slot : -1;
}

DraftStore::DraftStore(DraftPlace place) : place(std::move(place))
{
}

DraftStore::~DraftStore()
{
    if (lockFile >= 0)
        ::close(lockFile);
    if (folder >= 0)
        ::close(folder);
}

QString DraftStore::path() const
{
    return slot < 0 ? QString() : place.folder + QLatin1Char('/') + QString::fromLatin1(draftFileName(slot));
}

int DraftStore::openFolder(bool make)
{
    if (folder >= 0)
        return 0;
    if (refusal)
        return refusal;
    if (place.folder.isEmpty())
        return ENOENT;
    if (make) {
        if (const int error = makeFolders(place))
            return error;
    }
    const QByteArray path = QFile::encodeName(place.folder);
    Fd opened(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    // Kept open while the copy runs: drafts are written relative to it.
    if (!opened.valid()) {
        if (errno == ENOENT)
            return ENOENT;
        return refusal = errno == ELOOP ? ENOTDIR : errno;
    }
    // Drafts hold everything the user typed: only a folder of the user's
    // own that nobody else may change is used.
    struct stat info {};
    if (::fstat(opened.get(), &info) != 0)
        return refusal = errno;
    if (info.st_uid != ::geteuid() || (info.st_mode & 022) != 0)
        return refusal = EPERM;
    const int lock = ::openat(opened.get(), LockName, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (lock < 0)
        return refusal = errno;
    lockFile = lock;
    folder = ::fcntl(opened.get(), F_DUPFD_CLOEXEC, 0);
    return folder >= 0 ? 0 : errno;
}

// Locks (or unlocks) the byte that stands for a draft name. True when this
// copy now holds it; false when another running copy does. Where the file
// system has no such locks, every name counts as free.
bool DraftStore::lockSlot(int which, bool lock)
{
    struct flock range {};
    range.l_type = lock ? F_WRLCK : F_UNLCK;
    range.l_whence = SEEK_SET;
    range.l_start = which;
    range.l_len = 1;
    while (::fcntl(lockFile, F_OFD_SETLK, &range) != 0) {
        if (errno == EINTR)
            continue;
        return errno != EAGAIN && errno != EACCES;
    }
    return true;
}

QList<LeftDraft> DraftStore::leftDrafts(QStringList *lines)
{
    QList<LeftDraft> found;
    if (const int error = openFolder(false)) {
        if (error != ENOENT)
            lines->append(QStringLiteral("Wrenfield: drafts are not kept in %1 (%2); it must be a folder of "
                                         "yours that only you may change.")
                              .arg(quoted(place.folder), QString::fromLocal8Bit(std::strerror(error))));
        return found;
    }
    std::vector<int> named;
    const int listed = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (DIR *listing = listed >= 0 ? ::fdopendir(listed) : nullptr) {
        while (const dirent *entry = ::readdir(listing)) {
            const int s = draftSlotOf(QByteArrayView(entry->d_name));
            if (s >= 0)
                named.push_back(s);
        }
        ::closedir(listing);
    } else if (listed >= 0) {
        ::close(listed);
    }
    for (const int s : named) {
        if (!lockSlot(s, true))
            continue;  // its copy is still running
        const QByteArray name = draftFileName(s);
        ::unlinkat(folder, (name + NewSuffix).constData(), 0);  // a write cut short
        QByteArray bytes;
        QString problem;
        const int error = SaveFiles::readPlainFile(folder, name.constData(), MaxDraftBytes, true, &bytes);
        std::optional<Draft> draft;
        if (error == 0)
            draft = parseDraft(bytes, &problem);
        else if (error != ENOENT)
            problem = readProblem(error);
        if (draft) {
            found.append({s, place.folder + QLatin1Char('/') + QString::fromLatin1(name), *std::move(draft)});
            continue;
        }
        if (!problem.isEmpty()) {
            QByteArray aside;
            const QString where = quoted(place.folder + QLatin1Char('/') + QString::fromLatin1(name));
            if (const int failed = SaveFiles::setAside(folder, name.constData(), &aside))
                lines->append(QStringLiteral("Wrenfield: a damaged draft %1 (%2) could not be set aside (%3); "
                                             "starting without it.")
                                  .arg(where, problem, QString::fromLocal8Bit(std::strerror(failed))));
            else
                lines->append(QStringLiteral("Wrenfield: set aside a damaged draft (%1) as %2; starting without it.")
                                  .arg(problem, quoted(place.folder + QLatin1Char('/') + QString::fromLatin1(aside))));
        }
        lockSlot(s, false);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const LeftDraft &a, const LeftDraft &b) { return a.draft.changedMs > b.draft.changedMs; });
    return found;
}

void DraftStore::adopt(const LeftDraft &left)
{
    if (slot >= 0 && slot != left.slot)
        lockSlot(slot, false);
    slot = left.slot;
}

int DraftStore::discard(const LeftDraft &left)
{
    int error = ::unlinkat(folder, draftFileName(left.slot).constData(), 0) == 0 || errno == ENOENT ? 0 : errno;
    if (!error && ::fsync(folder) != 0)
        error = errno;
    if (left.slot != slot)
        lockSlot(left.slot, false);
    return error;
}

void DraftStore::release(const LeftDraft &left)
{
    if (left.slot != slot)
        lockSlot(left.slot, false);
}

// Takes the first draft name that no running copy holds and no left draft
// uses.
int DraftStore::claimSlot()
{
    for (int s = 0; s < MaxDraftSlots; ++s) {
        if (!lockSlot(s, true))
            continue;
        struct stat entry {};
        if (::fstatat(folder, draftFileName(s).constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT) {
            slot = s;
            ::unlinkat(folder, (draftFileName(s) + NewSuffix).constData(), 0);
            return 0;
        }
        lockSlot(s, false);
    }
    return EUSERS;
}

int DraftStore::write(QByteArrayView bytes)
{
    if (bytes.size() > MaxDraftBytes)
        return EFBIG;
    if (const int error = openFolder(true))
        return error;
    if (slot < 0) {
        if (const int error = claimSlot())
            return error;
    }
    const QByteArray name = draftFileName(slot);
    const QByteArray newName = name + NewSuffix;
    int error = 0;
    {
        const Fd file(::openat(folder, newName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!file.valid())
            return errno;
        error = SaveFiles::writeAt(file.get(), bytes, 0);
        if (!error && ::fdatasync(file.get()) != 0)
            error = errno;
    }
    if (!error && ::renameat(folder, newName.constData(), folder, name.constData()) != 0)
        error = errno;
    if (error) {
        ::unlinkat(folder, newName.constData(), 0);
        return error;
    }
    return ::fsync(folder) == 0 ? 0 : errno;
}

int DraftStore::remove()
{
    if (slot < 0 || folder < 0)
        return 0;
    if (::unlinkat(folder, draftFileName(slot).constData(), 0) != 0)
        return errno == ENOENT ? 0 : errno;
    return ::fsync(folder) == 0 ? 0 : errno;
}
