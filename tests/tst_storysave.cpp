// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "StorySave.h"
#include "UnfinishedSave.h"

#include "FolderSnapshot.h"

#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>

namespace {

// A story folder with the staging file "earlier" and the record of a save
// of `story` to Story.txt cut short before the rename.
QString cutShortSave(const QTemporaryDir &tmp, const QByteArray &story)
{
    const QString root = tmp.path() + QStringLiteral("/C");
    writeFile(root + QStringLiteral("/program files/temp.txt"), "earlier");
    const QString record = root + QLatin1Char('/') + QLatin1String(SaveRecordName);
    writeFile(record, encodeSaveRecord({"Story.txt", true, 7, stagingTailChecksum("earlier"), story}));
    QFile::setPermissions(record, QFile::ReadOwner | QFile::WriteOwner);
    return root;
}

} // namespace

// Saves on the real file system, each in a fresh temporary folder whose
// subfolder "C" stands for drive C:. Each starts with the staging file
// holding "earlier" and one other file, elsewhere.txt; a row's shell setup
// then changes that (run in C, with $S the staging file).
class StorySaveTest : public QObject {
    Q_OBJECT

private slots:
    void save_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("storyPath");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");           // the error expected; 0: saved
        QTest::addColumn<QByteArray>("expected");  // the story file once saved

        const auto saved = [](const QByteArray &tag, const char *setup, const QString &path, const QString &text,
                              const QByteArray &expected) {
            QTest::newRow(tag.constData()) << setup << path << text << 0 << expected;
        };
        const auto refused = [](const QByteArray &tag, const char *setup, const QString &path, int number) {
            QTest::newRow(tag.constData()) << setup << path << QStringLiteral("A story") << number << QByteArray();
        };
        const QString story = QStringLiteral("c:\\Story.txt");
        saved("empty staging", ": > \"$S\"", story, "Title\r\n\r\nHi.", "Title\r\n\r\nHi.\r\n");
        saved("staging without line break", "", story, " T", "earlier T\r\n");
        saved("no staging file, no story folder", "rm -r ../C", story, "T", "T\r\n");
        saved("names differ only in case", "echo x > story.txt", story, "T", "earlierT\r\n");
        saved("upper-case drive, spaces", "", "C:\\Big Day Out.txt", "T", "earlierT\r\n");
        saved("non-ASCII", "printf '\\303\\244' > \"$S\"", QString::fromUtf8("c:\\Grüße雪.txt"),
              QString::fromUtf8("Zoë 😀"), "\xC3\xA4Zo\xC3\xAB \xF0\x9F\x98\x80\r\n");
        // 255 bytes: 125 two-byte characters, an "a" and ".txt".
        saved("255-byte name", "", "c:\\" + QString(125, QChar(0xe9)) + "a.txt", "T", "earlierT\r\n");

        refused("target exists", "echo old > Story.txt", story, EEXIST);
        refused("target exists, no staging", "echo old > Story.txt; rm \"$S\"", story, EEXIST);
        refused("target a dangling link", "ln -s nowhere.txt Story.txt", story, EEXIST);
        refused("staging a link", "ln -sf ../elsewhere.txt \"$S\"", story, ELOOP);
        refused("staging a folder", "rm \"$S\"; mkdir \"$S\"", story, EISDIR);
        refused("staging a FIFO", "rm \"$S\"; mkfifo \"$S\"", story, EINVAL);
        refused("staging hard-linked", "ln -f elsewhere.txt \"$S\"", story, EMLINK);
        refused("program files a file", "rm -r \"program files\"; echo x > \"program files\"", story, ENOTDIR);
        refused("story folder a file", "rm -r ../C; echo x > ../C", story, ENOTDIR);
        refused("not drive C", "", "d:\\Story.txt", EINVAL);
        // The name rule has its own table; this shows the save asks it before
        // anything on disk changes.
        refused("256-byte name", "", "c:\\" + QString(126, QChar(0xe9)) + ".txt", ENAMETOOLONG);
        refused("name of the save's own record", "", "c:\\.wrenfield-unfinished-save", EINVAL);
    }

    void save()
    {
        QFETCH(QString, setup);
        QFETCH(QString, storyPath);
        QFETCH(QString, text);
        QFETCH(int, number);
        QFETCH(QByteArray, expected);

        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/C");
        const QString staging = root + QStringLiteral("/program files/temp.txt");
        QVERIFY(writeFile(staging, "earlier") && writeFile(root + QStringLiteral("/elsewhere.txt"), "elsewhere"));
        QCOMPARE(run({"sh", "-ec", "S='program files/temp.txt'; " + setup}, root).first, 0);

        struct stat stagingBefore {};
        const bool hadStaging = ::lstat(qPrintable(staging), &stagingBefore) == 0;
        const bool hadRoot = QFileInfo::exists(root);
        QStringList before = folderSnapshot(tmp.path());
        const std::optional<SaveError> error = saveStory(root, storyPath, text);
        QCOMPARE(error ? error->number : 0, number);
        QStringList after = folderSnapshot(tmp.path());
        if (number == 0) {
            // The staging file renamed (not copied) to the story file, and
            // nothing else changed but the story folder being made when missing.
            const QString story = QStringLiteral("/C/") + storyPath.mid(3);
            QCOMPARE(readFile(tmp.path() + story), expected);
            struct stat saved {};
            QVERIFY(!hadStaging
                    || (::lstat(qPrintable(tmp.path() + story), &saved) == 0 && saved.st_ino == stagingBefore.st_ino));
            before.removeIf([](const QString &line) { return line.startsWith("/C/program files/temp.txt mode"); });
            after.removeIf([&](const QString &line) {
                return line.startsWith(story + " mode") || (!hadRoot && line.startsWith("/C mode"));
            });
        }
        QCOMPARE(after, before);
    }

    void earlierSaveUnderTheName_data()
    {
        QTest::addColumn<QByteArray>("earlier");  // what the save cut short was saving
        QTest::addColumn<int>("number");          // this save's error; 0: saved
        QTest::newRow("this very story: saved") << QByteArray("Mine\r\n") << 0;
        QTest::newRow("another story: the name is taken") << QByteArray("Theirs\r\n") << EEXIST;
    }

    // A save cut short under the same name is finished first; this story counts
    // as saved only when that save was of its very bytes.
    void earlierSaveUnderTheName()
    {
        QFETCH(QByteArray, earlier);
        QFETCH(int, number);
        QTemporaryDir tmp;
        const QString root = cutShortSave(tmp, earlier);
        Resolution resolved;
        const std::optional<SaveError> error = saveStory(root, QStringLiteral("c:\\Story.txt"), QStringLiteral("Mine"),
                                                         SaveLockWait, &resolved);
        QCOMPARE(resolved.outcome, Resolution::Outcome::Finished);
        QCOMPARE(error ? error->number : 0, number);
        QCOMPARE(readFile(root + QStringLiteral("/Story.txt")), "earlier" + earlier);
    }

    // Another copy saving at start-up: the record is left for later, and the
    // user is not told of it (nothing is wrong).
    void lockBusyAtStart()
    {
        QTemporaryDir tmp;
        const QString root = cutShortSave(tmp, "Mine\r\n");
        const int held = ::open(qPrintable(root + QLatin1Char('/') + QLatin1String(SaveLockName)),
                                O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        QVERIFY(held >= 0 && ::flock(held, LOCK_EX) == 0);
        const Resolution busy = resolveUnfinishedSave(root, std::chrono::milliseconds(50));
        ::close(held);
        QCOMPARE(busy.outcome, Resolution::Outcome::Unresolved);
        QCOMPARE(busy.reason, Resolution::Reason::LockBusy);
        QVERIFY(!busy.worthTelling());
        QCOMPARE(resolveUnfinishedSave(root).outcome, Resolution::Outcome::Finished);
    }
};

QTEST_GUILESS_MAIN(StorySaveTest)
#include "tst_storysave.moc"
