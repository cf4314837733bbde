// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SaveRecord.h"
#include "UnfinishedSave.h"

#include "Mounts.h"

#include <QTest>

#include <cerrno>
#include <csignal>

namespace {

const QByteArray Saved = "notesA story\r\n";

// The save helper as the user, in the story folder root; its exit code (the
// error number) and what it says.
std::pair<int, QString> saveAsUser(const QString &root, const char *name, const char *text, int lockWaitMs = 0)
{
    return run(asAccount(TestUser) << SAVE_HELPER << root << QStringLiteral("c:\\%1").arg(name) << text
                                   << QString::number(lockWaitMs),
               root);
}

// A staging file with "notes", made by the user.
bool stageNotes(const QString &root)
{
    return run(asAccount(TestUser) << "sh" << "-ec" << "mkdir -p 'program files'; printf notes >'program files/temp.txt'",
               root).first == 0;
}

} // namespace

// Saves on the file systems desktops mount for documents, as the user they
// are mounted for: NTFS, exFAT and FAT through FUSE, bindfs forcing modes,
// and the kernel's own drivers where the kernel has them. The whole save,
// the lock held by the user's own program or another account's, and a save
// cut short and finished at the next start after the disk came back with
// other modes.
class SaveDisksTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const bool own = ownMountNamespace();
        QVERIFY(::chmod(qPrintable(images.path()), 0755) == 0);
        for (Mount &mount : mounts)
            if (!own)
                mount.skip = ::geteuid() == 0 ? "no mount namespace of its own can be made here" : "mounts need root";
            else
                mount.make(images.path());
    }
    void cleanupTestCase() { mounts.unmake(); }

    void wholeSave_data()
    {
        QTest::addColumn<QString>("mount");
        for (const Mount &mount : desktopMounts())
            QTest::newRow(qPrintable(mount.name)) << mount.name;
    }

    // The story saves exactly, without waiting for any lock; then a story with
    // no staging file; the same name again is refused and changes nothing; only
    // the lock stays. On fusefat nothing is saved, and nothing changes.
    void wholeSave()
    {
        QFETCH(QString, mount);
        const QString root = freshRoot(mount);
        if (root.isEmpty())
            QSKIP(qPrintable(mount + ": " + mounts.named(mount)->skip));
        QVERIFY(stageNotes(root));
        if (mounts.named(mount)->driver == QLatin1String("fusefat")) {
            const QStringList before = folderSnapshot(root);
            const auto [number, told] = saveAsUser(root, "Story.txt", "A story");
            QCOMPARE(number, EOPNOTSUPP);
            QVERIFY2(told.contains("fusefat"), qPrintable(told));
            QCOMPARE(folderSnapshot(root), before);
            return;
        }
        QCOMPARE(saveAsUser(root, "Story.txt", "A story").first, 0);
        QCOMPARE(readFile(root + "/Story.txt"), Saved);
        QCOMPARE(saveAsUser(root, "Story2.txt", "B story").first, 0);
        QCOMPARE(saveAsUser(root, "Story2.txt", "C story").first, EEXIST);
        QCOMPARE(readFile(root + "/Story2.txt"), QByteArray("B story\r\n"));
        QCOMPARE(entryNames(root), QStringList({"Story.txt", "Story2.txt", "program files"}));
        QCOMPARE(entryNames(root + "/program files"), QStringList());
    }

    void lockHeld_data()
    {
        QTest::addColumn<QString>("mount");
        QTest::addColumn<int>("holder");
        QTest::addColumn<int>("number");  // the save's error; 0: saved
        // Where files keep their modes (this machine's own file system among
        // them), a lock file another account holds is replaced.
        QTest::newRow("own file system, the user's own program") << QString() << TestUser << EWOULDBLOCK;
        QTest::newRow("own file system, another account") << QString() << TestOther << 0;
        for (const Mount &mount : desktopMounts()) {
            if (mount.driver == QLatin1String("fusefat"))
                continue;  // nothing is saved there
            QTest::addRow("%s, the user's own program", qPrintable(mount.name)) << mount.name << TestUser << EWOULDBLOCK;
            QTest::addRow("%s, another account", qPrintable(mount.name))
                << mount.name << TestOther << (mount.keepsModes ? 0 : EBUSY);
        }
    }

    // A program holds the lock on the user's lock file, which others may read:
    // the user's own is waited for, another account's is named at once without
    // a wait where the lock file cannot be replaced, where the mount lets
    // another account open the file at all.
    void lockHeld()
    {
        QFETCH(QString, mount);
        QFETCH(int, holder);
        QFETCH(int, number);
        const QString root = freshRoot(mount);
        if (root.isEmpty())
            QSKIP(qPrintable(mount + ": " + mounts.named(mount)->skip));
        QCOMPARE(saveAsUser(root, "Story.txt", "A story").first, 0);  // leaves the lock file
        ::chmod(qPrintable(root + QLatin1Char('/') + QLatin1String(SaveLockName)), 0644);
        const QString hold = QStringLiteral("flock -n -o %1 sleep 30 >/dev/null 2>&1 & pid=$!; sleep 0.2; "
                                            "kill -0 $pid 2>/dev/null && echo $pid")
                                 .arg(QLatin1String(SaveLockName));
        const QString pid = run(asAccount(holder) << "sh" << "-c" << hold, root).second.trimmed();
        if (pid.isEmpty()) {
            QVERIFY2(holder == TestOther, "the user's own program could not lock the lock file");
            QCOMPARE(saveAsUser(root, "Story2.txt", "B story").first, 0);
            QSKIP("the mount keeps other accounts away from the lock file");
        }
        const auto [error, told] = saveAsUser(root, "Story2.txt", "B story", holder == TestUser ? 300 : 20000);
        run({"pkill", "-P", pid});
        ::kill(pid.toInt(), SIGTERM);
        QCOMPARE(error, number);
        if (number == 0)
            return;
        QVERIFY2(told.contains(QStringLiteral("flock (process %1)").arg(pid)), qPrintable(told));
        QVERIFY2(holder == TestUser || told.contains(QString::number(TestOther)), qPrintable(told));
        QCOMPARE(readFile(root + "/Story2.txt"), QByteArray("<missing>"));
    }

    // A save killed at the story's write on NTFS mounted for the user alone
    // (umask=077), the disk then mounted as desktops mount it (every file 0777):
    // the next start finishes the save.
    void cutShortThenMountedAgain()
    {
        Mount &ntfs = *mounts.named(QStringLiteral("ntfs-3g umask=077"));
        if (!ntfs.skip.isEmpty())
            QSKIP(qPrintable(ntfs.skip));
        const QString root = ntfs.point + QStringLiteral("/C/cut");
        QVERIFY(run(asAccount(TestUser) << "mkdir" << root).first == 0 && stageNotes(root));
        const QString story = root + QStringLiteral("/Story.txt");
        const QStringList save = asAccount(TestUser) << SAVE_HELPER << root << "c:\\Story.txt" << "A story";
        QCOMPARE(run(straced("pwrite64", {}, "pwrite64", save, {"-P", story})).first, -SIGKILL);
        QCOMPARE(readFile(story), QByteArray("notes"));
        QVERIFY(ntfs.mountAgain(QStringLiteral("uid=%1,gid=%1")));
        QCOMPARE(QFileInfo(root + "/" + SaveRecordName).permissions() & QFile::WriteOther, QFile::WriteOther);

        const auto [outcome, told] = run(asAccount(TestUser) << SAVE_HELPER << "--resolve" << root, root);
        QCOMPARE(outcome, int(Resolution::Outcome::Finished));
        QCOMPARE(readFile(story), Saved);
        QCOMPARE(entryNames(root), QStringList({"Story.txt", "program files"}));
    }

private:
    // A folder of the user's on the mount that no other row uses.
    QString freshRoot(const QString &mount)
    {
        Mount *on = mounts.named(mount);
        if (on && !on->skip.isEmpty())
            return {};
        const QString root = (on ? on->point + "/C" : images.path()) + QStringLiteral("/%1").arg(++folders);
        QDir().mkpath(root);
        ::chown(qPrintable(root), TestUser, TestUser);
        return root;
    }

    QTemporaryDir images;
    Mounts mounts = desktopMounts();
    int folders = 0;
};

QTEST_GUILESS_MAIN(SaveDisksTest)
#include "tst_savedisks.moc"
