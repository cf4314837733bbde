// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SaveMessages.h"
#include "SaveRecord.h"
#include "StorySave.h"
#include "UnfinishedSave.h"

#include "Mounts.h"

#include <QTest>

#include <csignal>
#include <pwd.h>
#include <sys/resource.h>

namespace {

const QString StoryPath = QStringLiteral("c:\\Story.txt");
const QString StagingName = QStringLiteral("/program files/temp.txt");
const QString Lock = QLatin1Char('/') + QLatin1String(SaveLockName);
const QString Strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
constexpr int CannotSetUp = 254;  // a child's exit code: no mounts or users to switch to here
const QString Rival = QStringLiteral("rival");

// Starts the save helper under strace with `options` (no trace output). In a
// sanitizer build the leak checker cannot run under strace, and the address
// sanitizer refuses to start after a preloaded library unless told.
void startTraced(QProcess &process, const QStringList &options, const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0:verify_asan_link_order=0");
    process.setProcessEnvironment(environment);
    process.start(Strace, QStringList{"-qq", "-o", "/dev/null"} + options + QStringList{"--", SAVE_HELPER} + arguments);
}

enum class Fault { DiskFull, FileTooBig, ReadOnlyDisk, FolderNotWritable, StagingNotWritable, StagingOnAnotherDisk };

// A group the user and the other account of Mounts.h share.
constexpr int Shared = 42430;

// A record that makes the next start append "evil" to the user's Mine.txt,
// whose text ("mine\n") it names as the staging file's.
const char PlantedRecord[] =
    "m=$(sha256sum <Mine.txt | cut -c1-64); printf 'Wrenfield unfinished save\\nversion 2\\nname 8\\nMine.txt\\n"
    "staging 5 %s\\nstory 5\\nevil\\n\\n' $m >r; printf 'sha256 %s\\n' $(sha256sum <r | cut -c1-64) >>r; "
    "mv r .wrenfield-unfinished-save; ";

} // namespace
Q_DECLARE_METATYPE(Fault)

// Faults a save meets only when something else goes on (another program, a
// full or read-only disk, a failing or missing system call), each provoked
// for real: every file must be left as it was.
class SaveFaultsTest : public QObject {
    Q_OBJECT

private slots:
    void systemCallFails_data()
    {
        QTest::addColumn<QStringList>("faults");  // strace injections, "call:error=..."; Rival: a rival story
                                                  // file appears just before the rename
        QTest::addColumn<int>("number");          // the error expected; 0: saved all the same
        QTest::addColumn<QString>("advice");      // a part of the message
        QTest::addColumn<QString>("finishedBy");  // left half-done, finished by the next "start" or a save "again"

        // Counted from the process start: fdatasync 1 syncs the staging file, 2
        // the save's record, 3 the story; fsync 1 is the helper's mark, 2 syncs
        // the folder after the record, 3 the folders after the story.
        const auto row = [](const char *tag, const QStringList &faults, int number, const QString &advice = {},
                            const QString &finishedBy = {}) {
            QTest::newRow(tag) << faults << number << advice << finishedBy;
        };
        const QString noNoReplace = QStringLiteral("renameat2:error=EINVAL");
        const QString storyWriteFails = QStringLiteral("pwrite64:error=EIO:when=2");
        const QString nothingChanged = QStringLiteral("Nothing was saved and nothing was changed");
        const QString maybeNotOnDisk = QStringLiteral("may not be on disk");
        const QString notPutBack = QStringLiteral("The staging file could not be given its name back: it is now ");
        row("rival file before the rename", {Rival}, EEXIST, "already exists");
        row("rival file before the hard link", {Rival, noNoReplace}, EEXIST, "already exists");
        row("no RENAME_NOREPLACE: hard link", {noNoReplace}, 0);
        row("no RENAME_NOREPLACE, old name stays", {noNoReplace, "unlinkat:error=EPERM:when=1"}, EPERM, "may not change");
        row("staging file's sync fails", {"fdatasync:error=EIO:when=1"}, EIO, nothingChanged);
        row("record's sync fails", {"fdatasync:error=EIO:when=2"}, EIO, nothingChanged);
        row("record's folder sync fails, record removed", {"fsync:error=EIO:when=2"}, EIO, nothingChanged);
        row("record's folder sync fails, record stays", {"fsync:error=EIO:when=2", "unlinkat:error=EIO"}, EIO,
            QStringLiteral("/.wrenfield-unfinished-save\u201d could not be removed"), "start");
        // After a failed sync nothing is known: the record stays.
        row("story's sync fails", {"fdatasync:error=EIO:when=3"}, EIO, maybeNotOnDisk, "start");
        row("folder sync fails", {"fsync:error=EIO:when=3"}, EIO, maybeNotOnDisk, "again");
        row("write interrupted", {"pwrite64:error=EINTR:when=2"}, 0);
        row("story's write fails", {storyWriteFails}, EIO, nothingChanged);
        row("story's write fails, record stays", {storyWriteFails, "unlinkat:error=EIO"}, EIO,
            "the story folder is as it was, but Wrenfield could not remove its record", "start");
        row("record too big for the file-size limit", {"pwrite64:error=EFBIG:when=1"}, EFBIG,
            "The save's record, which holds the whole story, would be larger than the file-size limit");
        row("story cannot be cut off again", {storyWriteFails, "ftruncate:error=EIO"}, EIO, notPutBack, "start");
        row("staging file cannot be renamed back", {storyWriteFails, "renameat2:error=EACCES:when=2"}, EIO, notPutBack,
            "again");
        // Where no lock can be had, the save refuses rather than race another.
        row("no lock at all", {"flock:error=ENOLCK", "fcntl:error=ENOLCK"}, ENOLCK, "cannot be locked");
        // The record not removed: saved, and the next start removes it silently.
        row("record cannot be removed", {"unlinkat:error=EIO"}, 0, {}, "start");
    }

    void systemCallFails()
    {
        QFETCH(QStringList, faults);
        QFETCH(int, number);
        QFETCH(QString, advice);
        QFETCH(QString, finishedBy);
        if (Strace.isEmpty())
            QSKIP("strace is not installed");

        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/C"), story = root + QStringLiteral("/Story.txt");
        QVERIFY(writeFile(root + StagingName, "earlier"));
        const QStringList before = folderSnapshot(tmp.path());
        const bool rival = faults.contains(Rival);
        QStringList options;
        for (const QString &fault : faults)
            options << (fault == Rival ? "-E" : "-e")
                    << (fault == Rival ? QStringLiteral("LD_PRELOAD=" RACE_TARGET_LIBRARY) : "inject=" + fault);
        QProcess helper;
        startTraced(helper, options, {root, StoryPath, QStringLiteral("A story")});
        QVERIFY(helper.waitForFinished(-1) && helper.exitStatus() == QProcess::NormalExit);
        QCOMPARE(helper.exitCode(), number);
        const QString message = QString::fromLocal8Bit(helper.readAllStandardOutput());
        QVERIFY2(message.contains(advice), qPrintable(message));

        // At start the user is told of a save finished, not of a record left
        // beside a whole story.
        using O = Resolution::Outcome;
        if (finishedBy == QLatin1String("start")) {
            const Resolution r = resolveUnfinishedSaveAtStart(root);
            QVERIFY(r.outcome == O::AlreadyWhole ? !r.worthTelling() : r.outcome == O::Finished && r.worthTelling());
        } else if (finishedBy == QLatin1String("again")) {
            QVERIFY(!saveStory(root, StoryPath, QStringLiteral("A story")));
        }
        if (number == 0 || !finishedBy.isEmpty()) {
            QCOMPARE(readFile(story), QByteArray("earlierA story\r\n"));
            QCOMPARE(entryNames(root) + entryNames(root + "/program files"), QStringList({"Story.txt", "program files"}));
        } else {
            QCOMPARE(readFile(story), rival ? QByteArray("rival file") : QByteArray("<missing>"));
            QStringList after = folderSnapshot(tmp.path());  // nothing else changed
            after.removeIf([](const QString &line) { return line.startsWith(QLatin1String("/C/Story.txt ")); });
            QCOMPARE(after, before);
        }
    }

    void refusedInChild_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QByteArray>("stagingBytes");  // null: no staging file
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("advice");           // a part of the advice; %1: the story folder

        const QByteArray earlier = "earlier";
        QTest::newRow("disk full") << Fault::DiskFull << QByteArray(40000, 'x') << ENOSPC << "not enough room";
        QTest::newRow("file too big") << Fault::FileTooBig << QByteArray(1000, 'x') << EFBIG << "file-size limit";
        QTest::newRow("file too big, new file") << Fault::FileTooBig << QByteArray() << EFBIG << "file-size limit";
        QTest::newRow("read-only disk") << Fault::ReadOnlyDisk << earlier << EROFS << "read-only disk";
        QTest::newRow("folder not writable") << Fault::FolderNotWritable << earlier << EACCES
                                             << "may not change files in the story folder";
        QTest::newRow("staging file not writable") << Fault::StagingNotWritable << earlier << EACCES
                                                   << "may not write to the staging file \u201c%1" + StagingName + "\u201d";
        QTest::newRow("staging file on another disk") << Fault::StagingOnAnotherDisk << earlier << EXDEV
                                                      << "folder \u201c%1/program files\u201d is on another disk";
    }

    // A save of a 100000-character story in a forked child, which sets up the
    // fault for itself alone: a 64 KiB tmpfs over the story folder (or the
    // staging file's folder) in a private mount namespace, made read-only for
    // one row; a file-size limit just above the staging file; or the user
    // "nobody" facing a story folder or a staging file only root may write to.
    // The child checks the folder and the advice, since a tmpfs ends with it.
    void refusedInChild()
    {
        QFETCH(Fault, fault);
        QFETCH(QByteArray, stagingBytes);
        QFETCH(int, number);
        QFETCH(QString, advice);

        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/C"), staging = root + StagingName;
        QVERIFY(QDir().mkpath(root + QStringLiteral("/program files")));
        const bool tmpfs = fault == Fault::DiskFull || fault == Fault::ReadOnlyDisk || fault == Fault::StagingOnAnotherDisk;
        const QByteArray mountPoint =
            QFile::encodeName(fault == Fault::StagingOnAnotherDisk ? QFileInfo(staging).path() : root);
        const int result = exitCodeInChild([&] {
            if (tmpfs && (!ownMountNamespace() || ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0))
                return CannotSetUp;
            // A folder saved in before has a lock file: on a read-only disk the
            // disk is to blame, not that file.
            if ((!stagingBytes.isNull() && !writeFile(staging, stagingBytes))
                || (fault == Fault::ReadOnlyDisk && !writeFile(root + Lock, "")))
                return 255;
            const bool folder = fault == Fault::FolderNotWritable, nobody = folder || fault == Fault::StagingNotWritable;
            using Modes = std::initializer_list<std::pair<QString, mode_t>>;
            if (nobody)  // all open to everyone but the story folder or the staging file
                for (const auto &[path, mode] : Modes{{tmp.path(), 0755}, {staging, folder ? 0666 : 0644},
                                                      {root + "/program files", 0777}, {root, folder ? 0755 : 0777}})
                    ::chmod(qPrintable(path), mode);
            const QStringList before = folderSnapshot(root);
            const rlimit limit{rlim_t(stagingBytes.size() + 10), rlim_t(stagingBytes.size() + 10)};
            const bool faulty = fault == Fault::DiskFull || fault == Fault::StagingOnAnotherDisk
                || (fault == Fault::FileTooBig && ::setrlimit(RLIMIT_FSIZE, &limit) == 0)
                || (fault == Fault::ReadOnlyDisk
                    && ::mount(nullptr, mountPoint.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0)
                || (nobody && ::geteuid() == 0 && becomeAccount(65534));
            if (!faulty)
                return CannotSetUp;
            ignoreFileSizeSignal();
            const auto error = saveStory(root, StoryPath, QString(100000, QLatin1Char('s')));
            const QStringList after = folderSnapshot(root);
            const QString message = error ? SaveMessages::saveError(*error) : QString();
            if (after == before && (!error || message.contains(QString(advice).replace(QLatin1String("%1"), root))))
                return error ? error->number : 0;
            std::fprintf(stderr, "before:\n%s\nafter:\n%s\nadvice: %s\n", qPrintable(before.join('\n')),
                         qPrintable(after.join('\n')), qPrintable(message));
            return 253;
        });
        if (result == CannotSetUp)
            QSKIP("cannot set this fault up here: it needs root, and a private mount namespace (not possible "
                  "inside a chroot whose root is not a mount point) or the user nobody");
        QCOMPARE(result, number);
    }

    void twoSavesAtOnce_data()
    {
        QTest::addColumn<QStringList>("noLock");  // lock calls that fail for both copies (strace)
        QTest::addColumn<int>("secondNumber");    // the second save's error: 0, saved after the first waiting 10 s
                                                  // at most; EAGAIN, given up after 200 ms
        QTest::addColumn<bool>("openLockFile");   // a lock file open to all is there, which the first replaces

        QTest::newRow("the second waits its turn") << QStringList() << 0 << false;
        QTest::newRow("the second gives up") << QStringList() << EAGAIN << false;
        QTest::newRow("a lock file open to all replaced: the second waits its turn") << QStringList() << 0 << true;
        // Where flock fails (as on some network file systems), the lock of an
        // open file description keeps saves one at a time all the same.
        QTest::newRow("no flock: the second waits its turn") << QStringList{"flock"} << 0 << false;
        QTest::newRow("no flock: the second gives up") << QStringList{"flock"} << EAGAIN << false;
    }

    // Two copies of the program save at once: the first is held up inside its
    // save (strace delays its writing of the story) while the second begins,
    // waits and then saves on its own, as a new file since the first has taken
    // the staging file; or, told to wait less, gives up having changed nothing.
    void twoSavesAtOnce()
    {
        QFETCH(QStringList, noLock);
        QFETCH(int, secondNumber);
        QFETCH(bool, openLockFile);
        if (Strace.isEmpty())
            QSKIP("strace is not installed");

        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/C");
        QVERIFY(writeFile(root + StagingName, "earlier"));
        QVERIFY(!openLockFile || (writeFile(root + Lock, "") && ::chmod(qPrintable(root + Lock), 0604) == 0));
        QStringList options{"-e", "trace=" + (QStringList{"pwrite64"} + noLock).join(QLatin1Char(','))};
        for (const QString &call : noLock)
            options << "-e" << "inject=" + call + ":error=ENOLCK";
        QProcess first, second;
        // The first is held up far longer than a second that gives up waits, so
        // that a slow start of the second cannot find the first already done.
        const QString delay = secondNumber ? QStringLiteral("4000000") : QStringLiteral("1000000");
        startTraced(first, options + QStringList{"-e", "inject=pwrite64:delay_enter=" + delay + ":when=2"},
                    {root, "c:\\First.txt", "First story"});
        // Its record is there from before the rename until the story is whole.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(root + QLatin1Char('/') + QLatin1String(SaveRecordName)), 5000);
        startTraced(second, options, {root, "c:\\Second.txt", "Second story", secondNumber ? "200" : "10000"});
        QVERIFY(second.waitForFinished(-1) && first.waitForFinished(-1));
        QCOMPARE(second.exitCode(), secondNumber);
        QCOMPARE(first.exitCode(), 0);
        QVERIFY(!secondNumber || second.readAllStandardOutput().contains("Another copy of Wrenfield"));

        QCOMPARE(readFile(root + "/First.txt"), QByteArray("earlierFirst story\r\n"));
        QCOMPARE(readFile(root + "/Second.txt"), secondNumber ? QByteArray("<missing>") : QByteArray("Second story\r\n"));
        QCOMPARE(entryNames(root), secondNumber ? QStringList({"First.txt", "program files"})
                                                : QStringList({"First.txt", "Second.txt", "program files"}));
    }

    void storyFolder_data()
    {
        QTest::addColumn<QString>("home");       // $HOME, with $T for the test's folder; null: unset
        QTest::addColumn<QString>("documents");  // XDG_DOCUMENTS_DIR in user-dirs.dirs; null: not there
        QTest::addColumn<QString>("expected");   // the story folder; $PW: the home the user database names
        QTest::addColumn<int>("number");         // a save there: its error; -1: not tried (a real home)

        const QString home = QStringLiteral("$T/home"), inHome = QStringLiteral("$T/home/Documents/Wrenfield");
        const QString listedHome = QStringLiteral("$PW/Documents/Wrenfield");
        QTest::newRow("documents folder named") << home << "$HOME/Papers" << "$T/home/Papers/Wrenfield" << 0;
        QTest::newRow("documents folder not named") << home << QString() << inHome << 0;
        QTest::newRow("documents folder relative") << home << "Papers" << inHome << 0;
        QTest::newRow("HOME unset") << QString() << QString() << listedHome << -1;
        QTest::newRow("HOME relative") << "home" << "$HOME/Papers" << listedHome << -1;
        QTest::newRow("HOME missing") << "$T/missing" << QString() << "$T/missing/Documents/Wrenfield" << ENOENT;
    }

    // Where stories go, and a save there, in a helper with its own environment and
    // working folder: always a full path inside a real home, never made itself.
    void storyFolder()
    {
        QFETCH(QString, home);
        QFETCH(QString, documents);
        QFETCH(QString, expected);
        QFETCH(int, number);

        QTemporaryDir tmp;
        const auto expand = [&](QString text) {
            const struct passwd *user = ::getpwuid(::getuid());
            return text.replace("$T", tmp.path()).replace("$PW", QFile::decodeName(user ? user->pw_dir : ""));
        };
        const QString work = tmp.path() + "/work";
        QVERIFY(QDir().mkpath(tmp.path() + "/home") && QDir().mkpath(work));
        QVERIFY(writeFile(tmp.path() + "/config/user-dirs.dirs",
                          documents.isNull() ? QByteArray() : "XDG_DOCUMENTS_DIR=\"" + documents.toUtf8() + "\"\n"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", tmp.path() + "/config");
        environment.remove("HOME");
        if (!home.isNull())
            environment.insert("HOME", expand(home));
        QCOMPARE(run({SAVE_HELPER, "--where"}, work, environment).second.trimmed(), expand(expected));
        if (number >= 0) {
            QCOMPARE(run({SAVE_HELPER, "-", StoryPath, "A story"}, work, environment).first, number);
            QCOMPARE(readFile(expand(expected) + "/Story.txt"), number ? QByteArray("<missing>") : "A story\r\n");
        }
        QVERIFY(QDir(work).isEmpty());
        QVERIFY(!QFileInfo::exists(tmp.path() + "/missing"));
    }

    void anotherAccount_data()
    {
        QTest::addColumn<QString>("asRoot");   // sh in the story folder first, as root (a run under sudo),
                                               // after its mode, the first word
        QTest::addColumn<QString>("asOther");  // sh in it then as the other account; "hold": it holds the lock
        QTest::addColumn<bool>("start");       // the user starts the program; otherwise saves Story.txt
        QTest::addColumn<int>("result");       // the save's error, or the start's outcome
        QTest::addColumn<QByteArray>("story"); // Story.txt then
        QTest::addColumn<QString>("told");     // a part of what the user is told

        const auto row = [](const char *tag, const char *mode, const QString &asRoot, const QString &asOther, int result,
                            const QByteArray &story, const QString &told, bool start = false) {
            QTest::newRow(tag) << mode + QStringLiteral(" .; ") + asRoot << asOther << start << result << story << told;
        };
        const QString lock = Lock.mid(1), other = QString::number(TestOther), user = QString::number(TestUser);
        const QByteArray saved = "A story\r\n", missing = "<missing>";
        const QString byOther = QStringLiteral("belongs to the user with number ") + other;
        const QString planted = QStringLiteral("umask 022; ") + PlantedRecord;
        row("holds a lock file an earlier version left open", "755",
            QStringLiteral("touch %1; chown %2 %1; chmod 644 %1").arg(lock, user), "hold", 0, saved, "");
        row("holds a lock file in a folder shared with it", "2775", "", "hold", 0, saved, "");
        row("holds a lock file in a sticky folder of root's shared with all", "1777", "chown 0 .", "hold", EPERM, missing,
            "lock file \u201c%C/" + lock + "\u201d " + byOther);
        // Where a fresh lock file is made to replace one that is not the user's
        // alone: the message names what is in the way, and whose it is.
        const QString stale = QStringLiteral("touch %1; chown %2 %1; chmod 644 %1; ").arg(lock, user);
        row("plants a folder where a fresh lock file is made", "2775", stale, "mkdir " + lock + ".new", EINVAL, missing,
            "\u201c%C/" + lock + ".new\u201d is not an ordinary file");
        row("plants a file there in a sticky folder of root's", "1777", "chown 0 .; " + stale, "touch " + lock + ".new",
            EPERM, missing, "file \u201c%C/" + lock + ".new\u201d " + byOther);
        row("plants a record, at a start", "2775", "", planted, int(Resolution::Outcome::SetAside), missing,
            "cannot use it (it " + byOther, true);
        row("plants a record, at a save", "2775", "", planted, 0, saved, "cannot use it (it " + byOther);
        row("a run under sudo left the lock file and a record", "755",
            QStringLiteral("touch %1; chmod 644 %1; umask 077; ").arg(lock) + PlantedRecord, "", 0, saved,
            "cannot use it (it belongs to root");
        row("plants the staging file in a folder shared with it", "2775", "",
            "umask 002; mkdir 'program files'; echo theirs >'program files/temp.txt'", EPERM, missing,
            "staging file \u201c%C/program files/temp.txt\u201d " + byOther);
        row("program files a link to its folder", "755",
            QStringLiteral("mkdir ../theirs; echo notes >../theirs/temp.txt; chown -R %1 ../theirs; "
                           "ln -s ../theirs 'program files'").arg(other),
            "", EPERM, missing, "folder \u201c%C/program files\u201d is a link to a folder that " + byOther);
        row("program files a link to a folder of the user's", "755",
            QStringLiteral("mkdir ../mine; printf notes >../mine/temp.txt; chown -R %1 ../mine; "
                           "ln -s ../mine 'program files'").arg(user),
            "", 0, "notesA story\r\n", "");
    }

    // Another account (or a run under sudo) holds the save's lock, plants a
    // record or a lock file, or links "program files" to its folder: nothing of
    // the user's changes, and the save works or says why at once.
    void anotherAccount()
    {
        QFETCH(QString, asRoot);
        QFETCH(QString, asOther);
        QFETCH(bool, start);
        QFETCH(int, result);
        QFETCH(QByteArray, story);
        QFETCH(QString, told);
        if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("other accounts need root and setpriv");

        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/C");
        QVERIFY(QDir().mkpath(root) && writeFile(root + "/Mine.txt", "mine\n"));
        const QString setUp = QStringLiteral("chmod 755 ..; chown -R %1:%2 .; chmod ").arg(TestUser).arg(Shared);
        QCOMPARE(run({"sh", "-ec", setUp + asRoot}, root).first, 0);
        QString holder;
        if (asOther == QLatin1String("hold")) {
            const QString hold = "umask 022; flock -o " + Lock.mid(1) + " sleep 30 >/dev/null 2>&1 & echo $!";
            holder = run(asAccount(TestOther, Shared) << "sh" << "-ec" << hold, root).second.trimmed();
            QTRY_VERIFY(readFile("/proc/locks").contains(" " + holder.toLatin1() + " "));
        } else if (!asOther.isEmpty()) {
            QCOMPARE(run(asAccount(TestOther, Shared) << "sh" << "-ec" << asOther, root).first, 0);
        }
        // Within 15 s, though it would wait 20 s for a lock that counts.
        const auto [exitCode, message] =
            run(asAccount(TestUser, Shared) + (start ? QStringList{SAVE_HELPER, "--resolve", root}
                                  : QStringList{SAVE_HELPER, root, StoryPath, "A story", "20000"}), root);
        if (!holder.isEmpty())
            ::kill(holder.toInt(), SIGTERM);
        QCOMPARE(exitCode, result);
        QVERIFY2(message.contains(QString(told).replace("%C", root)), qPrintable(message));
        QCOMPARE(readFile(root + "/Story.txt"), story);
        QCOMPARE(readFile(root + "/Mine.txt"), QByteArray("mine\n"));
        QVERIFY2(asOther.contains(".new") || !QFileInfo::exists(root + Lock + ".new"), "a fresh lock file was left");
        struct stat lock {};
        QVERIFY(result != 0 || start
                || (::lstat(qPrintable(root + Lock), &lock) == 0 && lock.st_uid == uid_t(TestUser)
                    && (lock.st_mode & 0777) == 0600));
    }
};

QTEST_GUILESS_MAIN(SaveFaultsTest)
#include "tst_savefaults.moc"
