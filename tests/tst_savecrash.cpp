// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SaveLock.h"
#include "SaveRecord.h"
#include "StorySave.h"
#include "UnfinishedSave.h"

#include "FolderSnapshot.h"
#include "Mounts.h"

#include <QTest>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <thread>

namespace {

const QString StoryPath = QStringLiteral("c:\\Story.txt");
const QString StoryText = QStringLiteral("A story");
const QByteArray StoryBytes = "A story\r\n";
const QByteArray EarlierNotes = "earlier notes";
const QString Staging = QStringLiteral("/C/program files/temp.txt");
const QString Story = QStringLiteral("/C/Story.txt");
const QString Record = QStringLiteral("/C/") + QLatin1String(SaveRecordName);
const QString Strace = QStandardPaths::findExecutable(QStringLiteral("strace"));

struct Variant {
    QString name;             // on a mount, the name Mounts.h gives it; the save runs as its user there
    bool staging = true;      // a staging file with text in it, or no story folder at all
    QString fault {};         // a fault for the whole run
    QString recoverFrom = QStringLiteral("pwrite64 2");  // where the save is killed for the rows that kill the
                                                         // start-up too: "call k", its k-th
    bool onMount = false;     // else in a temporary folder
};

const std::vector<Variant> Variants = [] {
    // Without RENAME_NOREPLACE the rename is a hard link and an unlink.
    std::vector<Variant> all{{"staging file"}, {"no staging file", false},
                             {"hard link", true, "renameat2:error=EINVAL", "unlinkat 1"}};
    // The disks desktops mount: NTFS (hard links, every file 0777), exFAT
    // without hard links (the rename over a claim), files 0777 or the user's
    // alone; and the kernel's own drivers, where the kernel has them.
    for (const char *mount : {"ntfs-3g uid,gid", "exfat-fuse uid,gid", "exfat-fuse umask=077", "vfat uid,gid",
                              "exfat uid,gid", "ntfs3 uid,gid"})
        all.push_back({mount, true, {}, all[0].recoverFrom, true});
    return all;
}();

// The mounts the variants run on, made in the test's mount namespace.
Mounts mounts;

// A folder for one run: on the variant's mount, the user's; or in tmp.
QString freshFolder(const Variant &variant, QTemporaryDir &tmp)
{
    static int made = 0;
    const Mount *mount = mounts.named(variant.name);
    if (!mount)
        return tmp.path();
    const QString folder = mount->point + QStringLiteral("/run%1").arg(++made);
    run(asAccount(TestUser) << "mkdir" << folder);
    return folder;
}

// The helper as the variant's user.
QStringList helper(const Variant &variant)
{
    return (variant.onMount ? asAccount(TestUser) : QStringList()) << SAVE_HELPER;
}

// Runs the helper traced (with file names and bytes into log, if one is
// given), with the variant's fault and a kill at one call; whether the kill
// ended it.
bool killedRun(const Variant &variant, const QString &kill, const QStringList &arguments, const QString &log = {})
{
    QStringList options{"-yxxs1000000"};
    if (!variant.fault.isEmpty())
        options << "-e" << "inject=" + variant.fault;
    return run(straced(SaveCalls, log, kill, helper(variant) + arguments, options)).first == -SIGKILL;
}

QString rootOf(const QString &base) { return base + QStringLiteral("/C"); }

void prepare(const QString &base, const Variant &variant)
{
    writeFile(base + QStringLiteral("/elsewhere.txt"), "elsewhere");
    if (variant.staging) {
        writeFile(base + Staging, EarlierNotes);
        writeFile(rootOf(base) + QStringLiteral("/other story.txt"), "other story");
    }
    if (variant.onMount)  // where the mount keeps owners
        run({"chown", "-R", QString::number(TestUser), base});
}

QStringList without(QStringList lines, const QString &start)
{
    lines.removeIf([&](const QString &line) { return line.startsWith(start); });
    return lines;
}

// The folder as the rule compares it: the story folder's own entry goes,
// since a save may leave it made (and empty) in either state.
QStringList shape(const QString &base) { return without(folderSnapshot(base), QStringLiteral("/C mode ")); }

// A file system in an image file attached to two loop devices, for power
// cuts: each mount uses the other device, so that the story folder's device
// number changes as it may between boots.
struct Disk {
    QByteArray type;
    QString skip;  // why power cuts cannot be tried on it here
    QString image, mountPoint, devices[2];
    int next = 0;

    bool mount()
    {
        next = 1 - next;
        return ::mount(qPrintable(devices[next]), qPrintable(mountPoint), type.constData(), 0, nullptr) == 0;
    }
    // The power goes off: what the file system has not yet logged is lost.
    bool cut() const
    {
        const int fd = ::open(qPrintable(mountPoint), O_RDONLY | O_DIRECTORY);
        quint32 withoutLogFlush = 2;
        const bool done = fd >= 0 && ::ioctl(fd, _IOR('X', 125, quint32), &withoutLogFlush) == 0;  // FS_IOC_SHUTDOWN
        if (fd >= 0)
            ::close(fd);
        return done;
    }
    bool unmount() const { return ::umount(qPrintable(mountPoint)) == 0; }
};

// A run of the save, and perhaps of the start-up after it, each killed at
// one system call (on a disk, with the power cut right after).
struct Case {
    QString tag;
    const Variant *variant = nullptr;
    QString saveKill {};     // "call:when=N", N counted from the process start
    QString resolveKill {};  // the same for the start-up after it; empty: not killed
    bool cutOff = false;     // the story file then loses its end, as in a long write cut short
    Disk *disk = nullptr;    // where the power is cut; none: a kill in a temporary folder
    QTemporaryDir dir {};
    QString folder = disk ? disk->mountPoint : freshFolder(*variant, dir);
    QStringList before {};   // the folder before the save
    struct stat staging {};  // the staging file before the save
    bool saveKilled = false, resolveKilled = false;
    bool recordAfterKill = false;  // whether the save's record had reached the disk (not only an
                                   // empty claim on its name)

    // The kills, each followed on a disk by a power cut and the next boot;
    // false when the disk could not be cut off or mounted again.
    bool run()
    {
        const auto cutAndBoot = [&] { return !disk || (disk->cut() && disk->unmount() && disk->mount()); };
        prepare(folder, *variant);
        if (disk)
            ::sync();
        before = shape(folder);
        ::lstat(qPrintable(folder + Staging), &staging);
        saveKilled = killedRun(*variant, saveKill, {rootOf(folder), StoryPath, StoryText});
        recordAfterKill = QFileInfo(folder + Record).size() > 0;
        if (cutOff)
            QFile::resize(folder + Story, (variant->staging ? EarlierNotes.size() : 0) + 3);
        bool booted = cutAndBoot();
        if (booted && !resolveKill.isEmpty()) {
            resolveKilled = killedRun(*variant, resolveKill, {QStringLiteral("--resolve"), rootOf(folder)});
            booted = cutAndBoot();
        }
        recordAfterKill = disk ? QFileInfo(folder + Record).size() > 0 : recordAfterKill;
        return booted;
    }
};

// One step of a traced save, as a file system that keeps only what was
// synced sees it; paths are relative to the story folder.
struct Step {
    enum Kind { Write, SyncData, Link, Unlink, Rename, SyncFolder } kind;
    int file = -1;  // Write, SyncData, Link: files are numbered as they appear, 0: the staging file
    QByteArray bytes {};
    qint64 offset = 0;
    QString from {}, to {};  // Unlink: from; Link: to; SyncFolder: the folder in to
    bool inFolder(const QString &folder) const
    {
        return ((kind == Unlink || kind == Rename) && from.section('/', 0, -2) == folder)
            || ((kind == Link || kind == Rename) && to.section('/', 0, -2) == folder);
    }
};

// The steps after the helper's mark in an strace log taken with -y -xx, the
// story folder's path taken out.
std::vector<Step> stepsOf(const QByteArray &log)
{
    static const QRegularExpression line(QStringLiteral("^\\d* *(\\w+)\\((.*)\\) += (\\d+)"));
    static const QRegularExpression token(QStringLiteral("(\\d+)?<([^>]*)>|\"([^\"]*)\"|, (\\d+)"));
    const auto bytes = [](QString hex) { return QByteArray::fromHex(hex.remove(QStringLiteral("\\x")).toLatin1()); };
    std::vector<Step> steps;
    QHash<QString, int> names{{QStringLiteral("program files/temp.txt"), 0}};
    QHash<int, int> files;  // descriptor -> file
    for (const QByteArray &raw : log.mid(log.indexOf("fsync(-1)")).split('\n')) {
        const QRegularExpressionMatch m = line.match(QString::fromLatin1(raw));
        QList<int> fds;
        QStringList paths;  // of descriptors and of names, joined to the folder before them
        QList<qint64> numbers;
        bool afterFd = false;
        for (auto it = token.globalMatch(m.captured(2)); it.hasNext();) {
            const QRegularExpressionMatch t = it.next();
            if (t.capturedStart(2) >= 0) {
                fds << t.captured(1).toInt();
                paths << QString::fromUtf8(bytes(t.captured(2))).mid(1);
            } else if (t.capturedStart(3) >= 0) {
                const QString folder = afterFd ? paths.takeLast() : QString();
                paths << (folder.isEmpty() ? QString() : folder + '/') + QString::fromUtf8(bytes(t.captured(3)));
            } else {
                numbers << t.captured(4).toLongLong();
            }
            afterFd = t.capturedStart(2) >= 0;
        }
        const QString call = m.captured(1);
        const int result = m.captured(3).toInt(), fd = fds.value(0, -1), file = files.value(fd, -1);
        if (call == "openat" && raw.contains("O_TMPFILE"))
            files[result] = int(names.size() + files.size() + 1);
        else if (call == "openat" && !raw.contains("O_DIRECTORY") && names.contains(paths.value(0)))
            files[result] = names[paths[0]];
        else if (call == "openat" && raw.contains("O_CREAT"))
            steps.push_back({.kind = Step::Link, .file = files[result] = names[paths[0]] = int(names.size() + 100),
                             .to = paths[0]});
        else if (call == "pwrite64" && file >= 0)
            steps.push_back({.kind = Step::Write, .file = file, .bytes = bytes(m.captured(2).section('"', 1, 1)),
                             .offset = numbers.value(1)});
        else if (call == "fdatasync" && file >= 0)
            steps.push_back({.kind = Step::SyncData, .file = file});
        else if (call == "fsync" && fd >= 0)
            steps.push_back({.kind = Step::SyncFolder, .to = paths.value(0)});
        else if (call == "linkat")
            steps.push_back({.kind = Step::Link, .file = files.value(paths[0].section('/', -1).toInt()),
                             .to = paths.value(1)});
        else if (call == "renameat2" && (names[paths.value(1)] = names.take(paths.value(0)), true))
            steps.push_back({.kind = Step::Rename, .from = paths[0], .to = paths[1]});
        else if (call == "unlinkat")
            steps.push_back({.kind = Step::Unlink, .from = paths.value(0)});
    }
    return steps;
}

// A state the files may be found in after a crash: names and their files'
// bytes; several names may share a file.
struct CrashState {
    QMap<QString, int> names;
    QHash<int, QByteArray> bytes;
    QString key() const  // each name, its file's number and what the file holds
    {
        QStringList parts;
        for (auto it = names.begin(); it != names.end(); ++it) {
            const QByteArray &b = bytes.value(it.value());
            parts << QStringLiteral("%1 (%2): %3").arg(it.key()).arg(it.value()).arg(
                b == EarlierNotes ? "notes" : b == EarlierNotes + StoryBytes ? "notes+story"
                : b.startsWith("Wrenfield unfinished") ? "a record" : QString::fromLatin1(b.toPercentEncoding()));
        }
        return parts.join(QStringLiteral(", ")).replace(QLatin1String(SaveRecordName), QLatin1String("R"));
    }
};

} // namespace
Q_DECLARE_METATYPE(CrashState)

// A save killed at every one of its file calls, then the next start: the
// folder is as before the save, or the story whole and the staging file gone
// (always whole once the save's record reached the disk), and another story
// can be saved. The same with the start-up after it killed at each of its
// calls, and with the power cut after each kill on ext4, xfs and btrfs images
// on loop devices (rows skip, saying why, without root, loop devices, mkfs or
// FS_IOC_SHUTDOWN). Kills in temporary folders run in parallel beforehand.
class SaveCrashTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (Strace.isEmpty())
            return;
        qputenv("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":detect_leaks=0");  // the leak checker fails under strace
        setUpDisks();
        const auto add = [&](const QString &tag, const Variant *variant, const QString &saveKill,
                             const QString &resolveKill = {}, bool cutOff = false, Disk *disk = nullptr) {
            cases.emplace_back(new Case{tag, variant, saveKill, resolveKill, cutOff, disk});
        };
        for (Disk &disk : disks)  // one row that says why
            if (!disk.skip.isEmpty())
                add(QString::fromLatin1(disk.type) + ", power cuts", nullptr, {}, {}, false, &disk);
        ::chmod(qPrintable(images.path()), 0755);  // for the mounts' user
        for (const Variant &variant : Variants)
            if (variant.onMount)
                mounts.emplace_back(*desktopMounts().named(variant.name)).make(images.path());

        // One traced run of each variant tells its calls; each call becomes a row.
        for (const Variant &variant : Variants) {
            if (variant.onMount && !mounts.named(variant.name)->skip.isEmpty())
                continue;
            QTemporaryDir tmp, crashedTmp;
            const QString base = freshFolder(variant, tmp), log = tmp.path() + QStringLiteral("/trace");
            prepare(base, variant);
            killedRun(variant, {}, {rootOf(base), StoryPath, StoryText}, log);
            const QStringList calls = callsAfterMark(log);
            const QString storySync = calls.filter(QStringLiteral("fdatasync")).value(variant.staging ? 2 : 1);
            const bool powerCuts = variant.staging && variant.fault.isEmpty() && !variant.onMount;
            if (powerCuts)  // the trace for the reordering model, the story folder's path (as -xx writes it) taken out
                detailedTrace =
                    readFile(log).replace("\\x" + rootOf(base).toUtf8().toHex('\\').replace("\\", "\\x"), "");
            const auto addKill = [&](const QString &tag, const QString &saveKill, const QString &resolveKill = {}) {
                add(tag, &variant, saveKill, resolveKill);
                // Power cuts only where the disk may change: a cut before an
                // open or a lock finds the disk as the one before the next write.
                const bool writes =
                    QStringList{saveKill, resolveKill}.filter(QRegularExpression("^(openat|flock)")).isEmpty();
                for (Disk &disk : disks)
                    if (powerCuts && writes && disk.skip.isEmpty())
                        add(QString::fromLatin1(disk.type) + ", power cut, " + tag, &variant, saveKill, resolveKill, false,
                            &disk);
            };
            QString recoverFrom;
            QHash<QString, int> seen;
            for (qsizetype i = 0; i < calls.size(); ++i) {
                const QString name = calls[i].section(QLatin1Char(':'), 0, 0);
                const QString ordinal = name + QLatin1Char(' ') + QString::number(++seen[name]);
                if (ordinal == variant.recoverFrom)
                    recoverFrom = calls[i];
                if (powerCuts)
                    stagingCalls[ordinal] = calls[i];
                // A call the variant makes fail already is not killed at.
                if (!variant.fault.isEmpty() && variant.fault.startsWith(name + QLatin1Char(':')))
                    continue;
                const QString tag = QStringLiteral("%1, call %2 (%3)").arg(variant.name).arg(i + 1).arg(ordinal);
                addKill(tag, calls[i]);
                if (calls[i] == storySync)  // before the story is synced, its end may also be lost
                    add(tag + QStringLiteral(", story cut off"), &variant, calls[i], {}, true);
            }
            QVERIFY2(!recoverFrom.isEmpty(), qPrintable(variant.name + QStringLiteral(": no ") + variant.recoverFrom));

            // The start-up after a save killed there, killed at each of its calls.
            const QString crashed = freshFolder(variant, crashedTmp);
            prepare(crashed, variant);
            killedRun(variant, recoverFrom, {rootOf(crashed), StoryPath, StoryText});
            killedRun(variant, {}, {QStringLiteral("--resolve"), rootOf(crashed)}, log);
            const QStringList resolveCalls = callsAfterMark(log);
            QVERIFY2(!resolveCalls.isEmpty(), qPrintable(variant.name));
            for (qsizetype i = 0; i < resolveCalls.size(); ++i)
                addKill(QStringLiteral("%1, killed before %2, start-up call %3 (%4)").arg(variant.name, variant.recoverFrom)
                            .arg(i + 1).arg(resolveCalls[i].section(':', 0, 0)), recoverFrom, resolveCalls[i]);
        }

        std::atomic<std::size_t> next = 0;
        std::vector<std::jthread> workers;
        for (int worker = 0; worker < 4; ++worker)
            workers.emplace_back([&] {
                for (std::size_t i; (i = next++) < cases.size();)
                    if (!cases[i]->disk)  // a disk's rows run one at a time, in the rows
                        cases[i]->run();
            });
    }

    void cleanupTestCase()
    {
        mounts.unmake();
        for (const Disk &disk : disks) {
            disk.unmount();
            for (const QString &device : disk.devices)
                if (!device.isEmpty())
                    run({QStringLiteral("losetup"), "-d", device});
        }
    }

    void killAtEveryStep_data()
    {
        QTest::addColumn<int>("index");
        if (Strace.isEmpty())
            QTest::newRow("no strace") << -1;
        for (std::size_t i = 0; i < mounts.size(); ++i)
            if (!mounts[i].skip.isEmpty())
                QTest::addRow("kills on %s", qPrintable(mounts[i].name)) << -2 - int(i);
        for (std::size_t i = 0; i < cases.size(); ++i)
            QTest::newRow(qPrintable(cases[i]->tag)) << int(i);
    }

    void killAtEveryStep()
    {
        if (Strace.isEmpty())
            QSKIP("strace is not installed");
        QFETCH(int, index);
        if (index < 0)
            QSKIP(qPrintable(QStringLiteral("kills on %1: %2").arg(mounts[-2 - index].name, mounts[-2 - index].skip)));
        Case &c = *cases[std::size_t(index)];
        const QString root = rootOf(c.folder);
        if (c.disk) {
            if (!c.disk->skip.isEmpty())
                QSKIP(qPrintable(QStringLiteral("no power cuts on %1: %2").arg(c.disk->type, c.disk->skip)));
            c.disk->unmount();  // left mounted by a row that failed
            QVERIFY(c.disk->mount());
            QDir(c.folder).removeRecursively();  // all but the mount point itself
            QVERIFY(entryNames(c.folder).isEmpty());
            QVERIFY2(c.run(), "the power could not be cut or the disk not be mounted again");
        }
        QVERIFY2(c.saveKilled, "the save was not killed there");
        QVERIFY2(c.resolveKill.isEmpty() || c.resolveKilled, "the start-up was not killed there");

        // The next start, which tells the user of a save it finished; on a
        // mount, its user's.
        if (!c.variant->onMount) {
            const Resolution resolution = resolveUnfinishedSaveAtStart(root);
            QCOMPARE(resolution.worthTelling(), resolution.outcome == Resolution::Outcome::Finished);
        } else {
            const auto [outcome, told] = run(helper(*c.variant) << "--resolve" << root);
            QVERIFY2(outcome >= 0 && outcome <= int(Resolution::Outcome::AlreadyWhole), qPrintable(told));
        }

        // Temporaries a kill left (a record being written where files cannot be
        // unnamed, a fresh lock file) go with the next save.
        const QStringList after = without(without(shape(c.folder), QStringLiteral("/C/") + NewSaveRecordName),
                                          QStringLiteral("/C/") + SaveFiles::NewLockName);
        QStringList whole = without(c.before, Staging + QLatin1String(" mode "));
        struct stat story = c.staging;  // renamed, not copied: the staging file's inode under the story's name
        if (!c.variant->staging)
            ::lstat(qPrintable(c.folder + Story), &story);
        whole << snapshotLine(Story, story.st_mode, story.st_ino,
                              (c.variant->staging ? EarlierNotes : QByteArray()) + StoryBytes);
        whole.sort();
        if (c.recordAfterKill)
            QCOMPARE(after, whole);
        else if (after != whole)
            QCOMPARE(after, c.before);

        QCOMPARE(run(helper(*c.variant) << root << "c:\\Next.txt" << "Next").first, 0);
        QVERIFY(!entryNames(root).join('\n').contains(QLatin1String(SaveRecordName)));
        QVERIFY(!c.disk || c.disk->unmount());
    }

    void thenTheUserOrTheDisk_data()
    {
        QTest::addColumn<QString>("killAt");  // the save's call killed at, counted from its start
        QTest::addColumn<QString>("then");    // sh in the story folder: F the file that holds the save
                                              // (story or staging file), T the staging file, R the record
        QTest::addColumn<int>("outcome");     // Resolution::Outcome at the next start

        using O = Resolution::Outcome;
        const int finished = int(O::Finished), setAside = int(O::SetAside), whole = int(O::AlreadyWhole);
        struct Kill {
            const char *name, *call, *cut;  // cut: sh that cuts off the story's end
            int outcome;                    // with nothing done in between
        };
        for (const Kill &k : {Kill{"before the rename", "renameat2 1", "", finished},
                              Kill{"before the append", "pwrite64 2", "", finished},
                              Kill{"story cut off", "fdatasync 3", "truncate -s 16 Story.txt; ", finished},
                              Kill{"before the record's removal", "unlinkat 1", "", whole}}) {
            const bool renamed = QByteArrayView(k.call) != "renameat2 1";
            const auto row = [&](const char *then, const QString &sh, int outcome) {
                QTest::addRow("%s, then %s", k.name, then) << k.call << QString::fromLatin1(k.cut) + sh << outcome;
            };
            row("nothing", "", k.outcome);
            if (renamed)
                row("a line appended", "printf 'a line of my own\\r\\n' >>Story.txt",
                    k.outcome == whole ? whole : setAside);
            row("other bytes in the same file", "echo 'typed by hand: 45 bytes long, written over it' >\"$F\"", setAside);
            row("the file cut to 5 bytes", "truncate -s 5 \"$F\"", setAside);
            row("the notes changed, not their length", "printf 'EARLIER NOTES' | dd of=\"$F\" conv=notrunc status=none",
                setAside);
            row("a new staging file", "rm -f \"$T\"; echo new notes >\"$T\"", renamed ? k.outcome : setAside);
            row("another file at the story's name", "[ ! -e Story.txt ] || mv Story.txt moved.txt; echo mine >Story.txt",
                setAside);
            row("a temporary record left", "touch $R.new-1-1", k.outcome);
            row("a folder at the temporary name", "mkdir $R.new", k.outcome);
        }
        // Records that cannot be trusted or followed.
        const auto row = [&](const char *then, const char *sh, int outcome = int(O::SetAside)) {
            QTest::addRow("before the rename, then %s", then) << "renameat2 1" << QString::fromLatin1(sh) << outcome;
        };
        row("the record cut short", "truncate -s 100 $R");
        row("the record's checksum wrong", "sed -i 's/^A story/B story/' $R");
        row("the record naming a file outside", "sed -i 's/^name 9$/name 12/; s|^Story.txt$|../Story.txt|; /^sha256/d' $R; "
                                                "printf 'sha256 %s\\n' $(sha256sum <$R | cut -c1-64) >>$R");
        row("a record of an unknown version", "sed -i 's/^version 2$/version 3/' $R");
        row("a link as the record", "rm $R; ln -s ../elsewhere.txt $R");
        row("a folder as the record", "rm $R; mkdir $R");
        // A rename lost but data kept (a file system that does not keep order).
        row("the story's start in the staging file", "printf 'A s' >>\"$T\"", finished);
    }

    // A save killed at one of its steps, then the user or the disk changes the
    // files, then the next start: it changes no file unless the bytes prove the
    // save's state, and then only finishes the save; the story is saved or set
    // aside; the user is told (but of a record beside a whole story); a later save works.
    void thenTheUserOrTheDisk()
    {
        if (Strace.isEmpty())
            QSKIP("strace is not installed");
        QFETCH(QString, killAt);
        QFETCH(QString, then);
        QFETCH(int, outcome);

        QTemporaryDir dir;
        const QString root = rootOf(dir.path()), story = dir.path() + Story, staging = dir.path() + Staging;
        prepare(dir.path(), Variants[0]);
        struct stat stagingBefore {};
        ::lstat(qPrintable(staging), &stagingBefore);
        QVERIFY(killedRun(Variants[0], stagingCalls.value(killAt), {root, StoryPath, StoryText}));
        const QString saved = QFileInfo::exists(story) ? story : staging;  // the file that holds the save
        const QString shell = QStringLiteral("F='%1'; T='program files/temp.txt'; R=%2; ");
        QCOMPARE(run({"sh", "-ec", shell.arg(saved.mid(root.size() + 1), SaveRecordName) + then}, root).first, 0);

        const QString records = QStringLiteral("/C/.wrenfield-unfinished");
        const QStringList before = without(folderSnapshot(dir.path()), records);
        const Resolution resolution = resolveUnfinishedSave(root);
        const QStringList after = without(folderSnapshot(dir.path()), records);
        QCOMPARE(int(resolution.outcome), outcome);
        QCOMPARE(resolution.worthTelling(), resolution.outcome != Resolution::Outcome::AlreadyWhole);

        const QStringList left = entryNames(root).filter(QLatin1String(".wrenfield-unfinished-save"));
        if (resolution.outcome == Resolution::Outcome::SetAside) {
            // Nothing of the user's touched; the story is in the set-aside record.
            QCOMPARE(after, before);
            QVERIFY2(left.size() == 1 && left[0].startsWith(".wrenfield-unfinished-save.set-aside-"),
                     qPrintable(left.join(' ')));
            QVERIFY(then.contains("$R") || readFile(root + QLatin1Char('/') + left[0]).contains(StoryBytes));
        } else {
            // Finished: only the file that held the save's bytes changed, by the
            // rest of the story after them, under the story's name.
            QVERIFY(left.isEmpty() || left == QStringList{QLatin1String(NewSaveRecordName)});
            const QByteArray text = readFile(story);
            QVERIFY2(text.startsWith(EarlierNotes + StoryBytes), text.constData());
            QStringList expected =
                without(without(before, Story + " mode "), (saved == staging ? Staging : Story) + " mode ");
            expected << snapshotLine(Story, stagingBefore.st_mode, stagingBefore.st_ino, text);
            expected.sort();
            QCOMPARE(after, expected);
        }
        QVERIFY(!saveStory(root, QStringLiteral("c:\\Next.txt"), QStringLiteral("Next")));
        QVERIFY(readFile(root + QStringLiteral("/Next.txt")).endsWith("Next\r\n"));
        QVERIFY(!QFileInfo::exists(dir.path() + Record));
    }

    // Every state a file system that keeps only what was synced may leave after a
    // crash anywhere in one traced save: data written since its file's last
    // fdatasync, and each folder change since that folder's last fsync, kept or
    // dropped in any combination. The start then finishes the save whenever its
    // record is there, and otherwise finds the files as before or the story whole.
    void reorderedStates_data()
    {
        QTest::addColumn<CrashState>("state");
        const std::vector<Step> steps = stepsOf(detailedTrace);
        QVERIFY(Strace.isEmpty() || steps.size() > 8);
        QSet<QString> seen;
        for (std::size_t crash = 0; crash <= steps.size(); ++crash) {
            const auto synced = [&](std::size_t i) {
                for (std::size_t j = i + 1; j < crash; ++j)
                    if ((steps[j].kind == Step::SyncData && steps[i].kind == Step::Write && steps[j].file == steps[i].file)
                        || (steps[j].kind == Step::SyncFolder && steps[i].inFolder(steps[j].to)))
                        return true;
                return false;
            };
            std::vector<std::size_t> open;  // folder changes that may or may not have reached the disk
            for (std::size_t i = 0; i < crash; ++i)
                if (steps[i].kind >= Step::Link && steps[i].kind <= Step::Rename && !synced(i))
                    open.push_back(i);
            for (unsigned mask = 0; mask < (2u << open.size()); ++mask) {  // the last bit: keep unsynced data
                CrashState state{{{QStringLiteral("program files/temp.txt"), 0}}, {{0, EarlierNotes}}};
                for (std::size_t i = 0; i < crash; ++i) {
                    const Step &step = steps[i];
                    const auto at = std::find(open.begin(), open.end(), i);
                    if (at != open.end() && !(mask & (1u << (at - open.begin()))))
                        continue;
                    if (step.kind == Step::Write && (synced(i) || mask >> open.size())) {
                        QByteArray &bytes = state.bytes[step.file];
                        bytes.resize(std::max(bytes.size(), step.offset + step.bytes.size()));
                        bytes.replace(step.offset, step.bytes.size(), step.bytes);
                    } else if ((step.kind == Step::Link || step.kind == Step::Rename) && !state.names.contains(step.to)) {
                        if (step.kind == Step::Link || state.names.contains(step.from))
                            state.names[step.to] = step.kind == Step::Link ? step.file : state.names.take(step.from);
                    } else if (step.kind == Step::Unlink) {
                        state.names.remove(step.from);
                    }
                }
                if (!seen.contains(state.key()))
                    QTest::newRow(qPrintable(*seen.insert(state.key()))) << state;
            }
        }
    }

    void reorderedStates()
    {
        QFETCH(CrashState, state);
        QTemporaryDir dir;
        const QString root = rootOf(dir.path());
        QHash<int, QString> made;
        QDir().mkpath(root + QStringLiteral("/program files"));
        for (auto it = state.names.begin(); it != state.names.end(); ++it) {
            const QString path = root + QLatin1Char('/') + it.key();
            QVERIFY(made.contains(it.value()) ? ::link(qPrintable(made[it.value()]), qPrintable(path)) == 0
                                              : writeFile(path, state.bytes.value(it.value())));
            made[it.value()] = path;
        }
        ::chmod(qPrintable(root + QLatin1Char('/') + QLatin1String(SaveRecordName)), 0600);  // as a save makes its record
        const Resolution resolution = resolveUnfinishedSave(root);
        const QByteArray story = readFile(dir.path() + Story), staging = readFile(dir.path() + Staging);
        const bool whole = story == EarlierNotes + StoryBytes && staging == "<missing>";
        if (state.names.contains(QLatin1String(SaveRecordName)))
            QVERIFY2(whole && resolution.outcome != Resolution::Outcome::SetAside, qPrintable(resolution.storyFile));
        else
            QVERIFY2(whole || (story == "<missing>" && staging == EarlierNotes), story + " / " + staging);
        QVERIFY(!saveStory(root, QStringLiteral("c:\\Next.txt"), QStringLiteral("Next")));
    }

private:
    void setUpDisks()
    {
        // The disks are mounted in a mount namespace of the test's own: one that
        // another process makes meanwhile would keep a disk's file system alive
        // after it is unmounted here, and mounting it again from the other loop
        // device would fail (xfs: "duplicate UUID") or mount it twice (ext4).
        const bool ownMounts = ownMountNamespace();
        const QString losetup = QStandardPaths::findExecutable(QStringLiteral("losetup"));
        for (const auto &[type, size] : {std::pair("ext4", 32), std::pair("xfs", 300), std::pair("btrfs", 128)}) {
            Disk &disk = disks.emplace_back();
            disk.type = type;
            disk.image = images.path() + QLatin1Char('/') + type + QStringLiteral(".img");
            disk.mountPoint = images.path() + QLatin1Char('/') + type;
            const QString mkfs = QStandardPaths::findExecutable(QStringLiteral("mkfs.") + type, {"/usr/sbin", "/sbin"});
            if (::geteuid() != 0)
                disk.skip = QStringLiteral("loop devices and mounts need root");
            else if (!ownMounts)
                disk.skip = QStringLiteral("no mount namespace of its own can be made here");
            else if (losetup.isEmpty() || mkfs.isEmpty())
                disk.skip = QStringLiteral("losetup or mkfs.%1 is not installed").arg(type);
            else if (!writeFile(disk.image, {}) || !QFile::resize(disk.image, qint64(size) << 20)
                     || !QDir().mkpath(disk.mountPoint)
                     || run({mkfs, "-q", type[0] == 'e' ? "-F" : "-f", disk.image}).first != 0)
                disk.skip = QStringLiteral("mkfs.%1 failed").arg(type);
            for (QString &device : disk.devices)
                if (disk.skip.isEmpty() && (device = run({losetup, "-f", "--show", disk.image}).second.trimmed()).isEmpty())
                    disk.skip = QStringLiteral("no loop device can be attached here");
            if (disk.skip.isEmpty() && !disk.mount())
                disk.skip = QStringLiteral("it cannot be mounted here");
            else if (disk.skip.isEmpty() && !disk.cut())
                disk.skip = QStringLiteral("it has no FS_IOC_SHUTDOWN here, which cuts the power");
            disk.unmount();
        }
    }

    QHash<QString, QString> stagingCalls;  // the file calls of a save with a staging file, by ordinal
    QByteArray detailedTrace;  // that save traced with file names and bytes
    std::vector<std::unique_ptr<Case>> cases;
    QTemporaryDir images;
    std::vector<Disk> disks;
};

QTEST_GUILESS_MAIN(SaveCrashTest)
#include "tst_savecrash.moc"
