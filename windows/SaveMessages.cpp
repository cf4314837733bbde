// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SaveMessages.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

namespace {

using Kind = SaveError::Kind;
using Outcome = Resolution::Outcome;
using Reason = Resolution::Reason;
using SaveFiles::Content;

// A user by name, as the user database has it, or by number.
QString userName(uid_t uid)
{
    const struct passwd *user = ::getpwuid(uid);
    return user && user->pw_name ? QString::fromLocal8Bit(user->pw_name)
                                 : SaveMessages::tr("the user with number %1").arg(uid);
}

// Long runs without a space (a long file name, a path) get places where a
// line may break, so that a window wraps them rather than cutting them off.
QString breakable(const QString &text)
{
    constexpr qsizetype Run = 40;
    QString out;
    qsizetype run = 0;
    for (const QChar c : text) {
        out += c;
        run = c.isSpace() ? 0 : run + 1;
        if ((c == QLatin1Char('/') && run > 1) || run >= Run) {
            out += QChar(0x200B);  // zero-width space
            run = 0;
        }
    }
    return out;
}

QString hex(char32_t c)
{
    return QString::number(uint(c), 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

} // namespace

QString SaveMessages::nameProblem(const NameProblem &problem, const QString &name)
{
    using Kind = NameProblem::Kind;
    switch (problem.kind) {
    case Kind::Empty:
    case Kind::DotName:
        return tr("A story file can't be named \"%1\".").arg(name);
    case Kind::BadCharacter: {
        // Printable characters are named as themselves, invisible ones by
        // their code point.
        const QStringView part = QStringView(name).mid(problem.position, problem.length);
        const char32_t c = part.size() == 2 ? QChar::surrogateToUcs4(part[0], part[1]) : part[0].unicode();
        const QString shown = c > 0x20 && c < 0x7f ? QStringLiteral("\"%1\"").arg(QChar(char16_t(c)))
                                                   : tr("the invisible character U+%1").arg(hex(c));
        return tr("A title word can't contain %1.").arg(shown);
    }
    case Kind::TooLong:
        return tr("The title word is too long: a story's file name can hold at most %1 bytes, and this one would "
                  "need %2.")
            .arg(MaxStoryFileNameBytes)
            .arg(name.toUtf8().size());
    case Kind::BrokenText:
        return tr("A title word can't contain half of a character (a lone surrogate, U+%1).")
            .arg(hex(name.at(problem.position).unicode()));
    }
    return {};
}

QString SaveMessages::quoted(const QString &path)
{
    return QStringLiteral("\u201c%1\u201d").arg(path);
}

QString SaveMessages::errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString SaveMessages::saveErrorHeading(const SaveError &error)
{
    // A save that could be neither completed nor undone, or whose sync the
    // disk failed, has left the story (or part of it) in the story folder, to
    // be finished at the next start: "not saved" would be untrue.
    return error.unfinished ? tr("The story may not be saved completely yet.") : tr("The story was not saved.");
}

QString SaveMessages::saveError(const SaveError &error)
{
    return QStringList{
        QStringLiteral("%1: %2").arg(error.number).arg(errorText(error.number)),
        tr("Story file: ") + error.storyPath,
        tr("On disk: ") + error.realPath,
        saveAdvice(error),
    }.join(QLatin1Char('\n'));
}

QString SaveMessages::saveAdvice(const SaveError &error)
{
    const QString pressDoneAgain = tr(", then press \"DONE!\" again.");
    // The title word is typed on an earlier window that the story page
    // cannot go back to, so the story can only be kept by copying it from
    // the message's details.
    const QString copyIt = tr(" Copy the story from the details below to keep it.");
    switch (error.kind) {
    case Kind::System:
        return systemAdvice(error) + pressDoneAgain;
    case Kind::NoDriveName:
        return tr("The story has no file name on drive C: yet: copy the story from the details below to keep it.");
    case Kind::BadName:
        return nameProblem(*error.nameProblem, error.storyPath.mid(StoryDrivePrefix.size())) + copyIt;
    case Kind::OwnName:
        return tr("Wrenfield keeps files of its own under this name.") + copyIt;
    case Kind::NoHome:
        return tr("Wrenfield cannot find your home folder, so it has no folder for stories: set HOME to your home "
                  "folder and start Wrenfield again.");
    case Kind::TooLong:
        return tr("The story is longer than the %1 MiB Wrenfield can save.").arg(MaxStoryBytes >> 20) + copyIt;
    case Kind::FolderMissing:
        return tr("The folder %1 does not exist, and Wrenfield makes only the story folder and the folder that "
                  "holds it: make it")
                   .arg(quoted(error.path))
             + pressDoneAgain;
    case Kind::DamagingDisk:
        return tr("The story folder is on a FAT disk mounted through fusefat, which puts bytes added to a file in "
                  "the wrong places, so Wrenfield saves nothing there: have the disk mounted with the system's own "
                  "FAT driver (vfat), as desktops do")
             + pressDoneAgain;
    case Kind::LockBusy:
    case Kind::LockHeldByOther:
    case Kind::NoLocks:
    case Kind::LockFileUnusable:
    case Kind::LockFileNotMine:
    case Kind::LockFileBlocked:
        return lockAdvice(error) + pressDoneAgain;
    case Kind::EarlierUnresolved:
        return resolutionMessage(error.earlier, When::AtSave) + tr(" Nothing else was changed") + pressDoneAgain;
    case Kind::StagingNotPlain:
    case Kind::StagingNotWritable:
    case Kind::StagingNotMine:
    case Kind::StagingLinkNotMine:
        return stagingAdvice(error) + pressDoneAgain;
    case Kind::RecordTooBig:
        return tr("The save's record, which holds the whole story, would be larger than the file-size limit you "
                  "are allowed (ulimit -f): raise the limit")
             + pressDoneAgain;
    case Kind::RecordLeft:
    case Kind::NotOnDisk:
    case Kind::HalfDone:
    case Kind::RecordNotRemoved:
        return unfinishedAdvice(error);
    }
    return {};
}

// Where a save left things that stays unfinished, and what happens next.
QString SaveMessages::unfinishedAdvice(const SaveError &error)
{
    const QString nextStart = tr(
        " The next time Wrenfield starts or saves a story it finishes this save, if the files still show how far "
        "it got; otherwise it changes no file and keeps the story in a hidden file in the story folder, and says "
        "so.");
    switch (error.kind) {
    case Kind::RecordLeft:
        return tr("Nothing was saved yet, but the disk failed while Wrenfield was writing down what it was about to "
                  "do, and the record %1 could not be removed.")
                   .arg(quoted(error.path))
             + nextStart;
    case Kind::NotOnDisk:
        return tr("The disk reported an error while Wrenfield was saving the story, so it may not be on disk: the "
                  "story folder holds the whole story, but the disk may not keep it.")
             + nextStart;
    case Kind::RecordNotRemoved:
        return tr("Nothing was saved and the story folder is as it was, but Wrenfield could not remove its record "
                  "%1 (%2).")
                   .arg(quoted(error.path), errorText(error.removalError))
             + nextStart;
    default:
        return leftHalfDone(error) + nextStart;
    }
}

QString SaveMessages::systemAdvice(const SaveError &error)
{
    switch (error.number) {
    case EEXIST:
        return tr("The file %1 already exists: move or rename it").arg(quoted(error.realPath));
    case ENOSPC:
    case EDQUOT:
        return tr("There is not enough room on the disk for the story: free some space");
    case EFBIG:
        return tr("The story file would be larger than the file-size limit you are allowed (ulimit -f): raise the "
                  "limit or shorten the staging file");
    case EROFS:
        return tr("The story folder is on a read-only disk: make it writable");
    case EACCES:
    case EPERM:
        return tr("You may not change files in the story folder: allow yourself to write there");
    case EXDEV:
        return tr("The \"program files\" folder %1 is on another disk than the story folder, so the staging file "
                  "cannot be moved out of it: keep both on one disk")
            .arg(quoted(error.rootFolder + QStringLiteral("/program files")));
    case EAGAIN:
        return tr("Another program changed the story folder during the save: check the story file and the staging "
                  "file");
    default:
        return tr("Nothing was saved and nothing was changed: check the story folder and the disk");
    }
}

QString SaveMessages::lockAdvice(const SaveError &error)
{
    const double seconds = error.lockWait.count() / 1000.0;
    const SaveFiles::LockHolder &holder = error.holder;
    switch (error.kind) {
    case Kind::LockBusy:
        if (holder.pid > 0 && holder.program.startsWith("wrenfield"))
            return tr("Another copy of Wrenfield (process %2) has been saving a story in the story folder for %1 "
                      "seconds: wait until it has finished")
                .arg(seconds)
                .arg(holder.pid);
        if (holder.pid > 0)
            return tr("Another program, %2 (process %3), has held Wrenfield's lock file in the story folder for %1 "
                      "seconds: wait until it has finished, or end it")
                .arg(seconds)
                .arg(QString::fromLocal8Bit(holder.program))
                .arg(holder.pid);
        return tr("Another copy of Wrenfield, or another program of yours, has held Wrenfield's lock file in the "
                  "story folder for %1 seconds: wait until it has finished")
            .arg(seconds);
    case Kind::NoLocks:
        return tr("Files in the story folder cannot be locked, so Wrenfield cannot make sure that no other copy of "
                  "it saves there at the same time, and saved nothing: keep the story folder on a disk that allows "
                  "locks");
    case Kind::LockHeldByOther:
        return tr("%2 (process %3), a program of %4, holds Wrenfield's lock file %1; on this disk Wrenfield cannot "
                  "keep other accounts away from it, and does not wait for one: have that program ended")
            .arg(quoted(error.path), QString::fromLocal8Bit(holder.program))
            .arg(holder.pid)
            .arg(holder.user ? userName(*holder.user) : tr("another account"));
    case Kind::LockFileNotMine:
        return tr("Wrenfield's lock file %1 belongs to %2, not to you, and Wrenfield may not replace it with one of "
                  "your own: have it removed (it may take an administrator)")
            .arg(quoted(error.path), userName(error.owner));
    case Kind::LockFileBlocked:
        if (error.number == EPERM)
            return tr("The file %1 belongs to %2, not to you, and stands where Wrenfield makes a fresh lock file of "
                      "your own; Wrenfield may not remove it: have it removed (it may take an administrator)")
                .arg(quoted(error.path), userName(error.owner));
        return tr("%1 is not an ordinary file and stands where Wrenfield makes a fresh lock file: remove it")
            .arg(quoted(error.path));
    default:
        return tr("Wrenfield cannot use its lock file %1: if it is not an ordinary file you may read, remove it")
            .arg(quoted(error.path));
    }
}

QString SaveMessages::stagingAdvice(const SaveError &error)
{
    switch (error.kind) {
    case Kind::StagingNotWritable:
        return tr("You may not write to the staging file %1: allow yourself to write to it").arg(quoted(error.path));
    case Kind::StagingNotMine:
        return tr("The staging file %1 belongs to %2, not to you, so Wrenfield will not make it your story: move "
                  "it away or make it yours")
            .arg(quoted(error.path), userName(error.owner));
    case Kind::StagingLinkNotMine:
        return tr("The \"program files\" folder %1 is a link to a folder that belongs to %2, not to you, and "
                  "Wrenfield follows it only to a folder of your own: make it a folder of yours")
            .arg(quoted(error.path), userName(error.owner));
    default:
        return tr("The staging file %1 must be an ordinary file with no other names: replace it with one or remove "
                  "it")
            .arg(quoted(error.path));
    }
}

// Where a save that could not be undone has left the files.
QString SaveMessages::leftHalfDone(const SaveError &error)
{
    const QString story = quoted(error.realPath);
    switch (error.left) {
    case Content::Old:
        return error.hasStaging ? tr("The staging file could not be given its name back: it is now %1.").arg(story)
                                : tr("An empty story file is left at %1.").arg(story);
    case Content::PartOfStory:
        return error.hasStaging ? tr("%1 now holds the staging file's text and part of the story.").arg(story)
                                : tr("%1 now holds part of the story.").arg(story);
    case Content::WholeStory:
        return error.hasStaging ? tr("%1 now holds the staging file's text and the whole story.").arg(story)
                                : tr("%1 now holds the whole story.").arg(story);
    case Content::Other:
        break;
    }
    return error.hasStaging
             ? tr("The staging file could not be put back in %1.")
                   .arg(quoted(error.rootFolder + QStringLiteral("/program files")))
             : tr("The story file %1 could not be removed again.").arg(story);
}

QString SaveMessages::recordProblem(const Resolution &resolution)
{
    switch (resolution.reason) {
    case Reason::RecordNotPlain:
        return tr("it is not a plain file of a record's size");
    case Reason::RecordUnreadable:
        return tr("it cannot be read: %1").arg(errorText(resolution.error));
    case Reason::RecordNotMine:
        return resolution.owner != ::geteuid() ? tr("it belongs to %1, not to you").arg(userName(resolution.owner))
                                               : tr("others may read or change it");
    default:
        break;
    }
    switch (resolution.problem) {
    case RecordProblem::NotARecord:
        return tr("it is not a record of an unfinished save");
    case RecordProblem::UnknownVersion:
        return tr("it is of an unknown version");
    case RecordProblem::CutShort:
        return tr("it is cut short or its lengths are wrong");
    case RecordProblem::ChecksumWrong:
        return tr("its checksum does not match");
    case RecordProblem::BadName:
        return tr("its file name is not one a story may have");
    }
    return {};
}

// Why the files do not prove where a save stood.
QString SaveMessages::unprovenReason(const Resolution &resolution)
{
    switch (resolution.reason) {
    case Reason::FilesUnreadable:
        return tr("its files could not be read (%1)").arg(errorText(resolution.error));
    case Reason::MoreThanOneName:
        return tr("the story file has more than one name");
    case Reason::StoryFileChanged:
        return tr("the file %1 holds other text than that save left in it").arg(quoted(resolution.storyFile));
    case Reason::StoryNameTaken:
        return tr("another file, %1, has the story's name, and the staging file is still where that save found it")
            .arg(quoted(resolution.storyFile));
    case Reason::StagingChanged:
        return tr("the staging file %1 is no longer as it was before that save").arg(quoted(resolution.stagingFile));
    default:
        return tr("neither the story file nor the staging file is there any more");
    }
}

QString SaveMessages::setAsideLine(const Resolution &r)
{
    const QString kept = quoted(r.keptIn);
    switch (r.reason) {
    case Reason::RecordUnreadable:
    case Reason::RecordNotPlain:
    case Reason::RecordNotMine:
    case Reason::RecordBroken:
        return tr("Wrenfield: set aside a record of an unfinished save that cannot be used (%1) as %2; nothing else "
                  "was changed.")
            .arg(recordProblem(r), kept);
    case Reason::FinishFailed:
        return tr("Wrenfield: finishing the save of %1, which had been cut short, failed (%2); the story is kept in "
                  "%3.")
            .arg(quoted(r.storyFile), errorText(r.error), kept);
    default:
        return tr("Wrenfield: could not finish saving %1, which had been cut short: %2; no file was changed, and the "
                  "story is kept in %3.")
            .arg(quoted(r.storyFile), unprovenReason(r), kept);
    }
}

QString SaveMessages::setAsideMessage(const Resolution &r)
{
    const QString keptIn = tr(" The story's text is kept in the hidden file %1, after a few lines about the save (a "
                              "file manager shows hidden files after Ctrl+H): copy it from there into a file of your "
                              "own, then remove that file.")
                               .arg(quoted(r.keptIn));
    switch (r.reason) {
    case Reason::RecordUnreadable:
    case Reason::RecordNotPlain:
    case Reason::RecordNotMine:
    case Reason::RecordBroken:
        return tr("Wrenfield found the record of a save that was cut short, but cannot use it (%1). It changed no "
                  "file and kept the record as %2. If a story you saved is missing, its text may be in that file; "
                  "remove the file when you no longer need it.")
            .arg(recordProblem(r), quoted(r.keptIn));
    case Reason::FinishFailed:
        return tr("Saving the story %1 was cut short, and finishing it failed (%2); the file may hold only part of "
                  "the story.")
                   .arg(quoted(r.storyFile), errorText(r.error))
             + keptIn;
    default:
        return tr("Saving the story %1 was cut short, and Wrenfield could not finish it: %2. So that nothing of yours "
                  "is lost, it changed no file.")
                   .arg(quoted(r.storyFile), unprovenReason(r))
             + keptIn;
    }
}

QString SaveMessages::resolutionLine(const Resolution &r)
{
    const QString removal = r.removalError ? tr(" Its record %1 could not be removed (%2).")
                                                 .arg(quoted(r.recordPath), errorText(r.removalError))
                                           : QString();
    switch (r.outcome) {
    case Outcome::NothingToDo:
        return {};
    case Outcome::Finished:
        return tr("Wrenfield: finished saving %1, which had been cut short.").arg(quoted(r.storyFile)) + removal;
    case Outcome::AlreadyWhole:
        return r.removalError ? tr("Wrenfield: %1 was whole, but the record of its save, %2, could not be removed "
                                   "(%3).")
                                    .arg(quoted(r.storyFile), quoted(r.recordPath), errorText(r.removalError))
                              : tr("Wrenfield: %1 was whole; removed the record of its save.").arg(quoted(r.storyFile));
    case Outcome::SetAside:
        return setAsideLine(r);
    case Outcome::Unresolved:
        break;
    }
    if (r.reason == Reason::LockBusy)
        return tr("Wrenfield: another copy of Wrenfield is saving in %1; an unfinished save there is left for the "
                  "next start or save.")
            .arg(quoted(r.rootFolder));
    if (r.reason == Reason::LockUnusable)
        return tr("Wrenfield: cannot lock %1 (%2); an unfinished save there is left as it is.")
            .arg(quoted(r.rootFolder + QLatin1Char('/') + QLatin1String(SaveLockName)), errorText(r.error));
    return tr("Wrenfield: could not set aside the record %1 of an unfinished save (%2).")
        .arg(quoted(r.recordPath), errorText(r.setAsideError));
}

QString SaveMessages::doneMessage(const Resolution &r, When when)
{
    const QString removal = r.removalError ? tr(" Wrenfield could not remove the record of that save, %1 (%2): "
                                                "remove it yourself.")
                                                 .arg(quoted(r.recordPath), errorText(r.removalError))
                                           : QString();
    if (r.outcome == Outcome::AlreadyWhole)
        return tr("The story %1 is whole, but Wrenfield could not remove the record of its save, %2 (%3): remove it "
                  "yourself.")
            .arg(quoted(r.storyFile), quoted(r.recordPath), errorText(r.removalError));
    if (when == When::AtStart)
        return tr("The story %1 was saved when Wrenfield started: saving it had been cut short (Wrenfield was "
                  "stopped, or the power went off), and is now finished.")
                   .arg(quoted(r.storyFile))
             + removal;
    return tr("The story %1 was saved before yours: saving it had been cut short (Wrenfield was stopped, or the "
              "power went off), and is now finished.")
               .arg(quoted(r.storyFile))
         + removal;
}

QString SaveMessages::resolutionMessage(const Resolution &r, When when)
{
    if (!r.worthTelling())
        return {};
    switch (r.outcome) {
    case Outcome::Finished:
    case Outcome::AlreadyWhole:
        return doneMessage(r, when);
    case Outcome::SetAside:
        return setAsideMessage(r);
    default:
        break;
    }
    if (r.reason == Reason::LockUnusable)
        return tr("Wrenfield found the record of a save that was cut short, but cannot lock the story folder %1 to "
                  "finish it (%2: %3), and changed no file. Saving there will not work either until the lock file "
                  "can be used.")
            .arg(quoted(r.rootFolder), quoted(QLatin1String(SaveLockName)), errorText(r.error));
    return tr("Wrenfield found the record of a save that was cut short, %1, and can neither use it nor move it aside "
              "(%2). It changed no file. Move that file out of the story folder (it may hold a story you typed), "
              "then save again.")
        .arg(quoted(r.recordPath), errorText(r.setAsideError));
}

QString SaveMessages::resolutionHeading(const Resolution &r, When when)
{
    if (r.outcome == Outcome::Finished)
        return when == When::AtStart ? tr("A story was saved when Wrenfield started.")
                                     : tr("A story cut short earlier was saved.");
    if (r.outcome == Outcome::AlreadyWhole)
        return tr("A saved story's record could not be removed.");
    return tr("A story could not be saved completely.");
}

QString SaveMessages::savedSpoken(const QString &realPath)
{
    return tr("Story saved as %1.").arg(QFileInfo(realPath).fileName());
}

QMessageBox *unfinishedSaveNotice(const Resolution &resolution, SaveMessages::When when, QWidget *parent)
{
    const QString message = SaveMessages::resolutionMessage(resolution, when);
    if (message.isEmpty())
        return nullptr;
    const bool finished = resolution.outcome == Resolution::Outcome::Finished && !resolution.removalError;
    auto *box = new QMessageBox(finished ? QMessageBox::Information : QMessageBox::Warning, QStringLiteral("Wrenfield"),
                                SaveMessages::resolutionHeading(resolution, when), QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("unfinishedSave"));
    box->setInformativeText(breakable(message));
    QPushButton *showFolder = box->addButton(SaveMessages::tr("Show folder"), QMessageBox::ActionRole);
    showFolder->setObjectName(QStringLiteral("showFolder"));
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    return box;
}
