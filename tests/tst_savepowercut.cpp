// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SaveRecord.h"
#include "StorySave.h"
#include "UnfinishedSave.h"

#include "FolderSnapshot.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// Stops a file system at once, as a power cut would: what it has not yet
// written to its log is lost.
constexpr unsigned long ShutDown = _IOR('X', 125, quint32);
constexpr quint32 WithoutLogFlush = 2;

const QByteArray EarlierNotes = "earlier notes";
const QByteArray StoryBytes = "A story\r\n";

struct FileSystem {
    QString type;
    QString mkfs;
    QStringList options;
    qint64 size;  // of the image, sparse
};

const FileSystem FileSystems[] = {
    {QStringLiteral("ext4"), QStringLiteral("mkfs.ext4"), {"-q", "-F"}, qint64(32) << 20},
    {QStringLiteral("xfs"), QStringLiteral("mkfs.xfs"), {"-q", "-f"}, qint64(300) << 20},
    {QStringLiteral("btrfs"), QStringLiteral("mkfs.btrfs"), {"-q", "-f"}, qint64(128) << 20},
};

// Runs a command; its standard output, or nothing when it failed.
std::optional<QByteArray> output(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput().trimmed();
}

// A file system in an image file, attached to two loop devices; each mount
// uses the other one, so that the story folder's device number changes as it
// may between boots.
struct Disk {
    QString skip;  // why this file system cannot be tried here
    QByteArray type;
    QString image, mountPoint;
    QString devices[2];
    int next = 0;
    QStringList saveCalls, resolveCalls;  // "call:when=N" of a save, and of a start after a cut save

    bool mount()
    {
        const QString device = devices[next];
        next = 1 - next;
        return ::mount(QFile::encodeName(device).constData(), QFile::encodeName(mountPoint).constData(),
                       type.constData(), 0, nullptr)
            == 0;
    }
    // The power goes off: unsynced writes are lost.
    bool cut()
    {
        const int fd = ::open(QFile::encodeName(mountPoint).constData(), O_RDONLY | O_DIRECTORY);
        quint32 how = WithoutLogFlush;
        const bool done = fd >= 0 && ::ioctl(fd, ShutDown, &how) == 0;
        if (fd >= 0)
            ::close(fd);
        return done;
    }
    bool unmount() { return ::umount(QFile::encodeName(mountPoint).constData()) == 0; }
};

QString rootOn(const Disk &disk)
{
    return disk.mountPoint + QStringLiteral("/C");
}

// The strace command that runs the helper killed at one of its file calls.
QStringList killedAt(const QString &strace, const QString &call, const QString &log, const QStringList &arguments)
{
    QStringList args{strace, "-f", "-qq", "-o", log.isEmpty() ? "/dev/null" : log, "-e",
                     "trace=openat,mkdir,flock,pwrite64,fdatasync,fsync,renameat,renameat2,linkat,unlinkat,ftruncate"};
    if (!call.isEmpty())
        args << "-e" << "inject=" + call + ":signal=SIGKILL";
    return args << "--" << SAVE_HELPER << arguments;
}

int run(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    QStringList args = arguments;
    process.start(args.takeFirst(), args);
    process.waitForFinished(60000);
    return process.exitStatus() == QProcess::CrashExit ? -1 : process.exitCode();
}

// The file calls after the helper's mark (fsync(-1)) in a trace, as
// "call:when=N", N counted from the process start.
QStringList callsAfterMark(const QString &log)
{
    static const QRegularExpression call(QStringLiteral("^(?:\\d+ +)?(\\w+)\\((.*)$"));
    QHash<QString, int> seen;
    QStringList calls;
    bool marked = false;
    for (const QByteArray &line : readFile(log).split('\n')) {
        const QRegularExpressionMatch match = call.match(QString::fromLocal8Bit(line));
        if (!match.hasMatch())
            continue;
        const QString name = match.captured(1);
        const int n = ++seen[name];
        if (marked)
            calls << QStringLiteral("%1:when=%2").arg(name).arg(n);
        else
            marked = name == QLatin1String("fsync") && match.captured(2).startsWith(QLatin1String("-1)"));
    }
    return calls;
}

void prepare(const QString &root)
{
    QDir(root).removeRecursively();
    writeFile(root + QStringLiteral("/program files/temp.txt"), EarlierNotes);
    writeFile(root + QStringLiteral("/other story.txt"), "other story");
    ::sync();
}

} // namespace

// Power cuts on real file systems in loop-mounted images: a save cut at each
// of its file calls, and the start after a cut save cut at each of its own;
// the file system is then mounted again from another loop device and
// started. No byte the user had is lost: the staging file's text is in the
// staging file or at the start of the story file; the story is saved (and
// the user told), or, when its record never reached the disk, the save left
// no trace; and a later save works.
// Needs root, loop devices, strace and the file systems' mkfs; whatever is
// missing is said, and the rows skip.
class SavePowerCutTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void powerCut_data();
    void powerCut();

private:
    QString strace;
    QTemporaryDir work;
    std::vector<Disk> disks;
};

void SavePowerCutTest::initTestCase()
{
    strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    for (const FileSystem &fs : FileSystems) {
        Disk &disk = disks.emplace_back();
        disk.type = fs.type.toLatin1();
        disk.image = work.path() + QLatin1Char('/') + fs.type + QStringLiteral(".img");
        disk.mountPoint = work.path() + QLatin1Char('/') + fs.type;
        QDir().mkpath(disk.mountPoint);
        const QString losetup = QStandardPaths::findExecutable(QStringLiteral("losetup"));
        const QString mkfs = QStandardPaths::findExecutable(fs.mkfs, {"/usr/sbin", "/sbin"});
        if (::geteuid() != 0)
            disk.skip = QStringLiteral("loop devices and mounts need root");
        else if (strace.isEmpty() || losetup.isEmpty() || mkfs.isEmpty())
            disk.skip = QStringLiteral("strace, losetup or %1 is not installed").arg(fs.mkfs);
        else if (!writeFile(disk.image, {}) || !QFile::resize(disk.image, fs.size)
                 || !output(mkfs, fs.options + QStringList{disk.image}))
            disk.skip = QStringLiteral("%1 failed").arg(fs.mkfs);
        if (!disk.skip.isEmpty())
            continue;
        for (QString &device : disk.devices) {
            device = QString::fromLocal8Bit(output(losetup, {"-f", "--show", disk.image}).value_or(QByteArray()));
            if (device.isEmpty())
                disk.skip = QStringLiteral("no loop device can be attached here");
        }
        if (disk.skip.isEmpty() && !disk.mount())
            disk.skip = QStringLiteral("%1 cannot be mounted here").arg(fs.type);
        if (!disk.skip.isEmpty())
            continue;
        if (!disk.cut())
            disk.skip = QStringLiteral("%1 cannot be shut down like a power cut here (no FS_IOC_SHUTDOWN)").arg(fs.type);
        disk.unmount();
        if (!disk.skip.isEmpty())
            continue;

        // One save and one start after a save cut in its append, traced, tell
        // the calls to cut at.
        const QString log = work.path() + QStringLiteral("/trace");
        disk.mount();
        const QString root = rootOn(disk);
        prepare(root);
        run(killedAt(strace, {}, log, {root, "c:\\Story.txt", "A story"}));
        disk.saveCalls = callsAfterMark(log);
        prepare(root);
        run(killedAt(strace, QStringLiteral("pwrite64:when=2"), {}, {root, "c:\\Story.txt", "A story"}));
        run(killedAt(strace, {}, log, {"--resolve", root}));
        disk.resolveCalls = callsAfterMark(log);
        disk.unmount();
    }
}

void SavePowerCutTest::cleanupTestCase()
{
    const QString losetup = QStandardPaths::findExecutable(QStringLiteral("losetup"));
    for (Disk &disk : disks) {
        disk.unmount();
        for (const QString &device : disk.devices)
            if (!device.isEmpty())
                output(losetup, {"-d", device});
    }
}

void SavePowerCutTest::powerCut_data()
{
    QTest::addColumn<int>("disk");
    QTest::addColumn<QString>("saveCut");     // the save's call at which the power goes
    QTest::addColumn<QString>("resolveCut");  // the same for the start after it; empty: not cut

    for (std::size_t d = 0; d < disks.size(); ++d) {
        const Disk &disk = disks[d];
        const QString type = FileSystems[d].type;
        if (!disk.skip.isEmpty()) {
            QTest::addRow("%s: skipped", qPrintable(type)) << int(d) << QString() << QString();
            continue;
        }
        for (qsizetype i = 0; i < disk.saveCalls.size(); ++i)
            QTest::addRow("%s, save call %d (%s)", qPrintable(type), int(i + 1), qPrintable(disk.saveCalls[i]))
                << int(d) << disk.saveCalls[i] << QString();
        for (qsizetype i = 0; i < disk.resolveCalls.size(); ++i)
            QTest::addRow("%s, cut in the append, start call %d (%s)", qPrintable(type), int(i + 1),
                          qPrintable(disk.resolveCalls[i]))
                << int(d) << QStringLiteral("pwrite64:when=2") << disk.resolveCalls[i];
    }
}

void SavePowerCutTest::powerCut()
{
    QFETCH(int, disk);
    QFETCH(QString, saveCut);
    QFETCH(QString, resolveCut);
    Disk &d = disks[std::size_t(disk)];
    if (!d.skip.isEmpty())
        QSKIP(qPrintable(FileSystems[disk].type + QStringLiteral(": ") + d.skip));

    const QString root = rootOn(d), story = root + QStringLiteral("/Story.txt");
    const QString staging = root + QStringLiteral("/program files/temp.txt");
    d.unmount();  // left mounted by a row that failed
    QVERIFY(d.mount());
    prepare(root);
    QCOMPARE(run(killedAt(strace, saveCut, {}, {root, "c:\\Story.txt", "A story"})), -1);
    QVERIFY(d.cut());
    QVERIFY(d.unmount());
    if (!resolveCut.isEmpty()) {
        QVERIFY(d.mount());
        QCOMPARE(run(killedAt(strace, resolveCut, {}, {"--resolve", root})), -1);
        QVERIFY(d.cut());
        QVERIFY(d.unmount());
    }

    // The next boot.
    QVERIFY(d.mount());
    const bool recorded = QFileInfo::exists(root + QLatin1Char('/') + QLatin1String(SaveRecordName));
    const Resolution resolution = resolveUnfinishedSave(root);
    // Synced before it is trusted, a save whose record is on disk is
    // always proven by its files: a power cut alone never sets it aside.
    if (recorded)
        QVERIFY2(resolution.outcome == Resolution::Outcome::Finished
                     || resolution.outcome == Resolution::Outcome::AlreadyWhole,
                 qPrintable(resolution.line));
    else
        QCOMPARE(int(resolution.outcome), int(Resolution::Outcome::NothingToDo));
    QCOMPARE(resolution.message.isEmpty(), resolution.outcome == Resolution::Outcome::NothingToDo
                                               || resolution.outcome == Resolution::Outcome::AlreadyWhole);
    const QByteArray storyText = readFile(story), stagingText = readFile(staging);
    QStringList asides = entryNames(root).filter(QLatin1String(".set-aside-"));
    // The staging file's text is kept.
    QVERIFY2(stagingText == EarlierNotes || storyText.startsWith(EarlierNotes), storyText + " / " + stagingText);
    if (storyText == EarlierNotes + StoryBytes) {
        QCOMPARE(stagingText, QByteArray("<missing>"));
    } else if (resolution.outcome == Resolution::Outcome::SetAside) {
        QCOMPARE(asides.size(), 1);
        QVERIFY(readFile(root + QLatin1Char('/') + asides[0]).contains(StoryBytes));
    } else {
        // Its record never reached the disk: the save left no trace.
        QVERIFY(!recorded);
        QCOMPARE(storyText, QByteArray("<missing>"));
        QCOMPARE(stagingText, EarlierNotes);
    }
    QVERIFY(!saveStory(root, QStringLiteral("c:\\Next.txt"), QStringLiteral("Next")));
    QVERIFY(readFile(root + QStringLiteral("/Next.txt")).endsWith("Next\r\n"));
    QVERIFY(d.unmount());
}

QTEST_GUILESS_MAIN(SavePowerCutTest)
#include "tst_savepowercut.moc"
