// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "StorySave.h"

#include "FolderSnapshot.h"
#include "ForkedChild.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

namespace {

const QString StoryPath = QStringLiteral("c:\\Story.txt");
const QString StagingName = QStringLiteral("/program files/temp.txt");
constexpr int CannotSetUp = 254;  // a child's exit code: no mounts or users to switch to here

enum class Fault { DiskFull, FileTooBig, ReadOnlyDisk, FolderNotWritable };

} // namespace
Q_DECLARE_METATYPE(Fault)

// Faults that a save meets only when something else is going on: another
// program, a full or read-only disk, a failing or missing system call. Each
// is provoked for real and must leave every file as it was.
class SaveFaultsTest : public QObject {
    Q_OBJECT

private slots:
    void systemCallFails_data();
    void systemCallFails();
    void refusedInChild_data();
    void refusedInChild();
};

void SaveFaultsTest::systemCallFails_data()
{
    QTest::addColumn<QStringList>("faults");  // strace injections, "call:error=..."
    QTest::addColumn<bool>("rival");          // a rival story file appears just before the rename
    QTest::addColumn<int>("number");          // the error expected; 0: saved all the same

    const QString noNoReplace = QStringLiteral("renameat2:error=EINVAL");
    QTest::newRow("rival file before the rename") << QStringList() << true << EEXIST;
    QTest::newRow("rival file before the hard link") << QStringList{noNoReplace} << true << EEXIST;
    QTest::newRow("no RENAME_NOREPLACE: hard link") << QStringList{noNoReplace} << false << 0;
    QTest::newRow("no RENAME_NOREPLACE, old name stays")
        << QStringList{noNoReplace, "unlinkat:error=EPERM:when=1"} << false << EPERM;
    QTest::newRow("fdatasync fails") << QStringList{"fdatasync:error=EIO"} << false << EIO;
    QTest::newRow("folder fsync fails") << QStringList{"fsync:error=EIO"} << false << EIO;
    QTest::newRow("write interrupted") << QStringList{"write:error=EINTR:when=1"} << false << 0;
}

// The save runs in a helper process, under strace when system calls are to
// fail and with a preloaded library playing the rival program.
void SaveFaultsTest::systemCallFails()
{
    QFETCH(QStringList, faults);
    QFETCH(bool, rival);
    QFETCH(int, number);
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (!faults.isEmpty() && strace.isEmpty())
        QSKIP("strace is not installed");

    QTemporaryDir tmp;
    const QString root = tmp.path() + QStringLiteral("/C"), story = root + QStringLiteral("/Story.txt");
    QVERIFY(writeFile(root + StagingName, "earlier"));
    const QStringList before = folderSnapshot(tmp.path());
    QStringList args{SAVE_HELPER, root, StoryPath, QStringLiteral("A story")};
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // In a sanitizer build the leak checker cannot run under strace, and the
    // address sanitizer refuses to start after a preloaded library unless told.
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0:verify_asan_link_order=0");
    const QString library = QStringLiteral(RACE_TARGET_LIBRARY);
    if (!faults.isEmpty()) {
        QStringList calls, options{strace, "-qq", "-o", "/dev/null"};
        for (const QString &fault : faults) {
            options << "-e" << "inject=" + fault;
            calls << fault.section(QLatin1Char(':'), 0, 0);
        }
        options << "-e" << "trace=" + calls.join(QLatin1Char(','));
        if (rival)
            options << "-E" << "LD_PRELOAD=" + library;
        args = options + QStringList{"--"} + args;
    } else if (rival) {
        environment.insert("LD_PRELOAD", library);
    }
    QProcess helper;
    helper.setProcessEnvironment(environment);
    helper.start(args.takeFirst(), args);
    QVERIFY(helper.waitForFinished() && helper.exitStatus() == QProcess::NormalExit);
    QCOMPARE(helper.exitCode(), number);

    if (number == 0) {
        QCOMPARE(readFile(story), QByteArray("earlierA story\r\n"));
        QVERIFY(!QFileInfo::exists(root + StagingName));
    } else {
        // Nothing changed, but for the rival's own file.
        QCOMPARE(readFile(story), rival ? QByteArray("rival file") : QByteArray("<missing>"));
        QStringList after = folderSnapshot(tmp.path());
        after.removeIf([](const QString &line) { return line.startsWith(QLatin1String("/C/Story.txt ")); });
        QCOMPARE(after, before);
    }
}

void SaveFaultsTest::refusedInChild_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QByteArray>("stagingBytes");  // null: no staging file
    QTest::addColumn<int>("number");

    QTest::newRow("disk full") << Fault::DiskFull << QByteArray(40000, 'x') << ENOSPC;
    QTest::newRow("file too big") << Fault::FileTooBig << QByteArray(1000, 'x') << EFBIG;
    QTest::newRow("file too big, new file") << Fault::FileTooBig << QByteArray() << EFBIG;
    QTest::newRow("read-only disk") << Fault::ReadOnlyDisk << QByteArray("earlier") << EROFS;
    QTest::newRow("folder not writable") << Fault::FolderNotWritable << QByteArray("earlier") << EACCES;
}

// A save of a 100000-character story in a forked child, which sets up the
// fault for itself alone: a 64 KiB tmpfs over the story folder in a private
// mount namespace (later made read-only), a file-size limit just above the
// staging file, or the user "nobody" facing a story folder only root may
// write to. The child compares the story folder before and after the save,
// since a tmpfs ends with it.
void SaveFaultsTest::refusedInChild()
{
    QFETCH(Fault, fault);
    QFETCH(QByteArray, stagingBytes);
    QFETCH(int, number);

    QTemporaryDir tmp;
    const QString root = tmp.path() + QStringLiteral("/C"), staging = root + StagingName;
    QVERIFY(QDir().mkpath(root));
    const QByteArray rootName = QFile::encodeName(root);
    const int result = exitCodeInChild([&] {
        const bool tmpfs = fault == Fault::DiskFull || fault == Fault::ReadOnlyDisk;
        if (tmpfs && (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
                      || ::mount("tmpfs", rootName.constData(), "tmpfs", 0, "size=64k") != 0))
            return CannotSetUp;
        if (!stagingBytes.isNull() && !writeFile(staging, stagingBytes))
            return 255;
        if (fault == Fault::FolderNotWritable) {
            // Everything is open to everyone except the story folder itself.
            using Mode = std::pair<QString, mode_t>;
            for (const auto &[path, mode] : {Mode(tmp.path(), 0755), Mode(staging, 0666),
                                             Mode(root + QStringLiteral("/program files"), 0777), Mode(root, 0755)})
                ::chmod(QFile::encodeName(path).constData(), mode);
        }
        const QStringList before = folderSnapshot(root);
        const rlimit limit{rlim_t(stagingBytes.size() + 10), rlim_t(stagingBytes.size() + 10)};
        const gid_t nobody = 65534;
        const bool faulty = fault == Fault::DiskFull
            || (fault == Fault::FileTooBig && ::setrlimit(RLIMIT_FSIZE, &limit) == 0)
            || (fault == Fault::ReadOnlyDisk
                && ::mount(nullptr, rootName.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0)
            || (fault == Fault::FolderNotWritable && ::geteuid() == 0 && ::setgroups(0, nullptr) == 0
                && ::setgid(nobody) == 0 && ::setuid(nobody) == 0);
        if (!faulty)
            return CannotSetUp;
        ignoreFileSizeSignal();
        const auto error = saveStory(root, StoryPath, QString(100000, QLatin1Char('s')));
        const QStringList after = folderSnapshot(root);
        if (after != before) {
            std::fprintf(stderr, "before:\n%s\nafter:\n%s\n", qPrintable(before.join('\n')), qPrintable(after.join('\n')));
            return 253;
        }
        return error ? error->number : 0;
    });
    if (result == CannotSetUp)
        QSKIP("cannot set this fault up here: it needs root, and a private mount namespace (not possible "
              "inside a chroot whose root is not a mount point) or the user nobody");
    QCOMPARE(result, number);
}

QTEST_GUILESS_MAIN(SaveFaultsTest)
#include "tst_savefaults.moc"
