// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "DraftStore.h"

#include "CheckedBytes.h"
#include "Places.h"
#include "SaveFiles.h"
#include "StoryFileName.h"

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
constexpr char OtherNewSuffix[] = ".new2";

// Makes each folder below above on the way to folder, readable by the user
// alone, and syncs the folder that holds each new one.
int makeFolders(const DraftPlace &place)
{
    const QString start = place.above == QLatin1String("/") ? QString() : place.above;
    if (!place.folder.startsWith(start + QLatin1Char('/')))
        return ENOENT;
    QByteArray path = QFile::encodeName(start);
    const QStringList below = place.folder.mid(start.size() + 1).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : below) {
        path += '/' + QFile::encodeName(part);
        if (const int error = SaveFiles::makeFolder(path, 0700); error && error != EEXIST)
            return error;
    }
    return 0;
}

// Whether the file at path ends with size bytes whose SHA-256 is sha256.
bool endsWith(const QString &path, qint64 size, const QByteArray &sha256)
{
    if (path.isEmpty() || size <= 0 || size > MaxStoryBytes)
        return false;
    const Fd file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!file.valid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < size)
        return false;
    QByteArray tail(size, Qt::Uninitialized);
    for (qint64 done = 0; done < size;) {
        const ssize_t got = ::pread(file.get(), tail.data() + done, size_t(size - done), info.st_size - size + done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += got;
    }
    return sha256Hex(tail) == sha256;
}

DraftDamage readDamage(int error)
{
    switch (error) {
    case EINVAL: return DraftDamage::NotPlainFile;
    case EPERM: return DraftDamage::NotYours;
    case EFBIG: return DraftDamage::TooLarge;
    default: return DraftDamage::Unreadable;
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
    // Kept open while the copy runs: drafts are written relative to it. A
    // link is followed (dotfile managers link such folders), to a folder
    // that must pass the same checks as one in its place.
    Fd opened(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!opened.valid()) {
        if (errno == ENOENT)
            return ENOENT;
        return refusal = errno;
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

QList<LeftDraft> DraftStore::leftDrafts(QList<DraftTrouble> *troubles)
{
    QList<LeftDraft> found;
    if (const int error = openFolder(false)) {
        if (error != ENOENT)
            troubles->append({DraftTrouble::Kind::FolderRefused, DraftDamage::None, error, place.folder, {}});
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
        const QString path = place.folder + QLatin1Char('/') + QString::fromLatin1(name);
        ::unlinkat(folder, (name + NewSuffix).constData(), 0);  // writes cut short
        ::unlinkat(folder, (name + OtherNewSuffix).constData(), 0);
        QByteArray bytes;
        DraftDamage damage = DraftDamage::None;
        const SaveFiles::FolderTrust yoursAlone;
        const int error = SaveFiles::readPlainFile(folder, name.constData(), MaxDraftBytes, &yoursAlone, &bytes);
        std::optional<Draft> draft;
        if (error == 0)
            draft = parseDraft(bytes, &damage);
        else if (error != ENOENT)
            damage = readDamage(error);
        if (draft) {
            found.append({s, path, *std::move(draft)});
            continue;
        }
        if (damage == DraftDamage::Newer) {
            troubles->append({DraftTrouble::Kind::Newer, damage, 0, path, {}});
        } else if (damage != DraftDamage::None) {
            QByteArray aside;
            if (const int failed = SaveFiles::setAside(folder, name.constData(), &aside))
                troubles->append({DraftTrouble::Kind::NotSetAside, damage, failed, path, {}});
            else
                troubles->append({DraftTrouble::Kind::SetAside, damage, error, path,
                                  place.folder + QLatin1Char('/') + QString::fromLatin1(aside)});
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

int DraftStore::discard(const LeftDraft &left, QByteArrayView saved)
{
    const QByteArray name = draftFileName(left.slot);
    int error = ::unlinkat(folder, name.constData(), 0) == 0 || errno == ENOENT ? 0 : errno;
    if (!error && ::fsync(folder) != 0)
        error = errno;
    if (error && !saved.isEmpty() && replace(name, name + NewSuffix, saved, ++newest) != 0) {
        // A folder the user may not change may still hold a draft the user
        // may write: rewritten in place, it is at worst cut short by a crash
        // and then set aside, never offered as unsaved.
        const Fd file(::openat(folder, name.constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
        if (file.valid() && SaveFiles::writeAt(file.get(), saved, 0) == 0 && ::ftruncate(file.get(), saved.size()) == 0)
            ::fdatasync(file.get());
    }
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
            ::unlinkat(folder, (draftFileName(s) + OtherNewSuffix).constData(), 0);
            return 0;
        }
        lockSlot(s, false);
    }
    return EUSERS;
}

int DraftStore::write(QByteArrayView bytes, quint64 generation)
{
    if (bytes.size() > MaxDraftBytes)
        return EFBIG;
    {
        const std::lock_guard lock(mutex);
        if (const int error = openFolder(true))
            return error;
        if (slot < 0) {
            if (const int error = claimSlot())
                return error;
        }
        if (generation == 0)
            generation = newest + 1;
    }
    // Two writes may be under way at once, a newer one while an older one
    // syncs: each has a file of its own.
    const QByteArray name = draftFileName(slot);
    return replace(name, name + (generation % 2 ? NewSuffix : OtherNewSuffix), bytes, generation);
}

// Writes bytes to temp, syncs it, renames it over name and syncs the
// folder: name is the old draft or the new one, whole, whatever happens. A
// write overtaken by a newer one (or a removal) leaves name to it.
int DraftStore::replace(const QByteArray &name, const QByteArray &temp, QByteArrayView bytes, quint64 generation)
{
    int error = 0;
    {
        const Fd file(::openat(folder, temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!file.valid())
            return errno;
        error = SaveFiles::writeAt(file.get(), bytes, 0);
        if (!error && ::fdatasync(file.get()) != 0)
            error = errno;
    }
    {
        const std::lock_guard lock(mutex);
        if (!error && generation < newest) {
            ::unlinkat(folder, temp.constData(), 0);
            return 0;
        }
        if (!error && ::renameat(folder, temp.constData(), folder, name.constData()) != 0)
            error = errno;
        if (error) {
            ::unlinkat(folder, temp.constData(), 0);
            return error;
        }
        newest = generation;
    }
    return ::fsync(folder) == 0 ? 0 : errno;
}

int DraftStore::remove(quint64 generation)
{
    {
        const std::lock_guard lock(mutex);
        newest = std::max(newest, generation ? generation : newest + 1);
        if (slot < 0 || folder < 0)
            return 0;
        if (::unlinkat(folder, draftFileName(slot).constData(), 0) != 0)
            return errno == ENOENT ? 0 : errno;
    }
    return ::fsync(folder) == 0 ? 0 : errno;
}

DraftStanding standingOf(const Draft &draft, const QString &storyRoot, const Resolution &resolution,
                         const QByteArray &pageStory)
{
    using Kind = DraftStanding::Kind;
    const bool marked = draft.save.size > 0;
    const QString file = realPathOf(storyRoot, marked ? draft.save.storyFilePath : draft.story.StoryFilePath);
    if (marked && endsWith(file, draft.save.size, draft.save.sha256))
        return {Kind::Saved, file, {}, draft.save};
    const auto savedAs = [&](const QByteArray &bytes) {
        return DraftStanding{Kind::Saved, file, {}, {draft.story.StoryFilePath, bytes.size(), sha256Hex(bytes)}};
    };
    // A save the start had to finish or set aside was this draft's when it
    // is for the draft's file (a marked draft's bytes are checked above).
    if (!file.isEmpty() && file == resolution.storyFile) {
        if (resolution.outcome == Resolution::Outcome::SetAside)
            return {Kind::SaveSetAside, file, resolution.keptIn, {}};
        if (!marked && resolution.record
            && (resolution.outcome == Resolution::Outcome::Finished
                || resolution.outcome == Resolution::Outcome::AlreadyWhole))
            return savedAs(resolution.record->story);
    }
    // A draft taken on the story page before "DONE!" marked it: its story
    // is saved when the file ends with what the page would save.
    if (!marked && !pageStory.isEmpty() && storyFilePathOf(draft.story) == draft.story.StoryFilePath
        && endsWith(file, pageStory.size(), sha256Hex(pageStory)))
        return savedAs(pageStory);
    return {};
}
