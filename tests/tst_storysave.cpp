#include "StorySave.h"

#include "FolderSnapshot.h"
#include "ForkedChild.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

ino_t inodeOf(const QString &path)
{
    struct stat s {};
    return ::lstat(QFile::encodeName(path).constData(), &s) == 0 ? s.st_ino : 0;
}

// A name of exactly `bytes` UTF-8 bytes ending in ".txt", mostly two-byte characters.
QString nameOfBytes(int bytes)
{
    const int pairs = (bytes - 4) / 2;
    return QString(pairs, QChar(0xe9)) + QString((bytes - 4) % 2, QLatin1Char('a')) + QStringLiteral(".txt");
}

} // namespace

// Saves on the real file system, each in a fresh temporary folder whose
// subfolder "C" stands for drive C:.
class StorySaveTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void savesStory_data();
    void savesStory();
    void refusesAndKeepsEverything_data();
    void refusesAndKeepsEverything();
    void refusesHostileNames_data();
    void refusesHostileNames();
    void rollsBackFailedWrite_data();
    void rollsBackFailedWrite();
    void refusesUnwritableFolder_data();
    void refusesUnwritableFolder();
    void explainsTheError();

private:
    // Saves and expects the failure `number`, with every file as it was.
    void expectRefused(const QString &storyPath, int number);

    std::unique_ptr<QTemporaryDir> tmp;
    QString root, staging;
};

void StorySaveTest::init()
{
    tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp->isValid());
    root = tmp->path() + QStringLiteral("/C");
    staging = root + QStringLiteral("/program files/temp.txt");
}

void StorySaveTest::expectRefused(const QString &storyPath, int number)
{
    const QStringList before = folderSnapshot(tmp->path());
    const std::optional<SaveError> error = saveStory(root, storyPath, QStringLiteral("A story"));
    QVERIFY2(error, "the save did not fail");
    QCOMPARE(error->number, number);
    QCOMPARE(error->storyPath, storyPath);
    QCOMPARE(folderSnapshot(tmp->path()), before);
}

void StorySaveTest::savesStory_data()
{
    QTest::addColumn<QByteArray>("stagingBytes");  // null: no staging file
    QTest::addColumn<QString>("neighbour");        // another file in the story folder
    QTest::addColumn<QString>("storyPath");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("realName");
    QTest::addColumn<QByteArray>("expected");

    const QString path = QStringLiteral("c:\\CFSSOOMNPicnic.txt");
    QTest::newRow("empty staging") << QByteArray("") << "" << path << "Title\r\n\r\nHi." << "CFSSOOMNPicnic.txt"
                                   << QByteArray("Title\r\n\r\nHi.\r\n");
    QTest::newRow("staging without line break")
        << QByteArray("notes") << "" << path << " T" << "CFSSOOMNPicnic.txt" << QByteArray("notes T\r\n");
    QTest::newRow("staging with line break")
        << QByteArray("notes\r\n") << "" << path << " T" << "CFSSOOMNPicnic.txt" << QByteArray("notes\r\n T\r\n");
    QTest::newRow("no staging file") << QByteArray() << "" << path << "T" << "CFSSOOMNPicnic.txt"
                                     << QByteArray("T\r\n");
    QTest::newRow("names differ only in case")
        << QByteArray("") << "cfssoomnpicnic.txt" << path << "T" << "CFSSOOMNPicnic.txt" << QByteArray("T\r\n");
    QTest::newRow("upper-case drive, spaces")
        << QByteArray("") << "" << "C:\\Big Day Out.txt" << "T" << "Big Day Out.txt" << QByteArray("T\r\n");
    QTest::newRow("non-ASCII") << QByteArray("\xC3\xA4") << "" << QString::fromUtf8("c:\\Grüße雪.txt")
                               << QString::fromUtf8("Zoë 😀") << QString::fromUtf8("Grüße雪.txt")
                               << QByteArray("\xC3\xA4Zo\xC3\xAB \xF0\x9F\x98\x80\r\n");
}

void StorySaveTest::savesStory()
{
    QFETCH(QByteArray, stagingBytes);
    QFETCH(QString, neighbour);
    QFETCH(QString, storyPath);
    QFETCH(QString, text);
    QFETCH(QString, realName);
    QFETCH(QByteArray, expected);

    if (!stagingBytes.isNull())
        writeFile(staging, stagingBytes);
    if (!neighbour.isEmpty())
        writeFile(root + QLatin1Char('/') + neighbour, "other story");
    const ino_t stagingInode = inodeOf(staging);
    const bool rootExisted = QFileInfo::exists(root);
    QStringList before = folderSnapshot(tmp->path());

    const std::optional<SaveError> error = saveStory(root, storyPath, text);
    QVERIFY2(!error, qPrintable(error ? error->message() : QString()));

    const QString story = root + QLatin1Char('/') + realName;
    QCOMPARE(readFile(story), expected);
    if (!stagingBytes.isNull())
        QCOMPARE(inodeOf(story), stagingInode);  // renamed, not copied
    // Apart from the staging file becoming the story file (and the story
    // folder being made when missing), nothing changed.
    const auto drop = [](QStringList &lines, const QString &path) {
        lines.removeIf([&](const QString &line) { return line.startsWith(path + QLatin1String(" mode")); });
    };
    QStringList after = folderSnapshot(tmp->path());
    drop(after, QStringLiteral("/C/") + realName);
    if (!rootExisted)
        drop(after, QStringLiteral("/C"));
    drop(before, QStringLiteral("/C/program files/temp.txt"));
    QCOMPARE(after, before);
}

void StorySaveTest::refusesAndKeepsEverything_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("storyPath");
    QTest::addColumn<int>("number");

    QTest::newRow("target exists") << "target" << "c:\\Story.txt" << EEXIST;
    QTest::newRow("target exists, no staging") << "target, no staging" << "c:\\Story.txt" << EEXIST;
    QTest::newRow("target a dangling link") << "dangling target" << "c:\\Story.txt" << EEXIST;
    QTest::newRow("staging a link") << "staging link" << "c:\\Story.txt" << ELOOP;
    QTest::newRow("staging a dangling link") << "dangling staging" << "c:\\Story.txt" << ELOOP;
    QTest::newRow("staging a folder") << "staging folder" << "c:\\Story.txt" << EISDIR;
    QTest::newRow("staging a FIFO") << "staging fifo" << "c:\\Story.txt" << EINVAL;
    QTest::newRow("staging hard-linked") << "staging hard link" << "c:\\Story.txt" << EMLINK;
    QTest::newRow("program files a file") << "program files file" << "c:\\Story.txt" << ENOTDIR;
    QTest::newRow("story folder a file") << "root file" << "c:\\Story.txt" << ENOTDIR;
    QTest::newRow("not drive C") << "" << "d:\\Story.txt" << EINVAL;
    QTest::newRow("no drive") << "" << "Story.txt" << EINVAL;
}

void StorySaveTest::refusesAndKeepsEverything()
{
    QFETCH(QString, setup);
    QFETCH(QString, storyPath);
    QFETCH(int, number);

    const QByteArray target = QFile::encodeName(root + QStringLiteral("/Story.txt"));
    const QByteArray stagingName = QFile::encodeName(staging);
    if (setup == QLatin1String("root file")) {
        writeFile(root, "not a folder");
    } else if (setup == QLatin1String("program files file")) {
        writeFile(root + QStringLiteral("/program files"), "not a folder");
    } else {
        writeFile(staging, "earlier");
        writeFile(root + QStringLiteral("/elsewhere.txt"), "elsewhere");
    }
    if (setup.startsWith(QLatin1String("target")))
        writeFile(QString::fromUtf8(target), "old story");
    if (setup == QLatin1String("target, no staging"))
        QVERIFY(QFile::remove(staging));
    if (setup == QLatin1String("dangling target"))
        QCOMPARE(::symlink("nowhere.txt", target.constData()), 0);
    if (setup == QLatin1String("dangling staging") || setup.startsWith(QLatin1String("staging ")))
        QVERIFY(QFile::remove(staging));
    if (setup == QLatin1String("staging link"))
        QCOMPARE(::symlink("../elsewhere.txt", stagingName.constData()), 0);
    if (setup == QLatin1String("dangling staging"))
        QCOMPARE(::symlink("../nowhere.txt", stagingName.constData()), 0);
    if (setup == QLatin1String("staging folder"))
        QVERIFY(QDir().mkdir(staging));
    if (setup == QLatin1String("staging fifo"))
        QCOMPARE(::mkfifo(stagingName.constData(), 0644), 0);
    if (setup == QLatin1String("staging hard link"))
        QCOMPARE(::link(QFile::encodeName(root + QStringLiteral("/elsewhere.txt")).constData(), stagingName.constData()), 0);

    expectRefused(storyPath, number);
}

void StorySaveTest::refusesHostileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number");  // 0: saved

    QTest::newRow("slash") << "a/b.txt" << EINVAL;
    QTest::newRow("backslash") << "a\\b.txt" << EINVAL;
    QTest::newRow("climbs up") << "..\\up.txt" << EINVAL;
    QTest::newRow("..") << ".." << EINVAL;
    QTest::newRow(".") << "." << EINVAL;
    QTest::newRow("empty") << "" << EINVAL;
    QTest::newRow("NUL") << QString(QChar(0)) + QStringLiteral(".txt") << EINVAL;
    QTest::newRow("U+001F") << "a\x1f.txt" << EINVAL;
    QTest::newRow("line feed") << "a\nb.txt" << EINVAL;
    QTest::newRow("DEL") << "a\x7f.txt" << EINVAL;
    for (const char *c : {"<", ">", ":", "\"", "|", "?", "*"})
        QTest::newRow(c) << QStringLiteral("a%1b.txt").arg(QLatin1String(c)) << EINVAL;
    QTest::newRow("lone surrogate") << QString(QChar(0xd800)) + QStringLiteral(".txt") << EINVAL;
    QTest::newRow("256 bytes") << nameOfBytes(256) << ENAMETOOLONG;
    QTest::newRow("256 bytes, odd") << QString(84, QChar(0x96ea)) + QStringLiteral(".txt") << ENAMETOOLONG;
    QTest::newRow("255 bytes") << nameOfBytes(255) << 0;
    QTest::newRow("all codes empty") << ".txt" << 0;
}

void StorySaveTest::refusesHostileNames()
{
    QFETCH(QString, name);
    QFETCH(int, number);

    writeFile(staging, "earlier");
    const QString storyPath = QStringLiteral("c:\\") + name;
    if (number != 0)
        return expectRefused(storyPath, number);
    const std::optional<SaveError> error = saveStory(root, storyPath, QStringLiteral("T"));
    QVERIFY2(!error, qPrintable(error ? error->message() : QString()));
    QCOMPARE(readFile(root + QLatin1Char('/') + name), QByteArray("earlierT\r\n"));
}

void StorySaveTest::rollsBackFailedWrite_data()
{
    QTest::addColumn<QByteArray>("stagingBytes");  // null: no staging file
    QTest::addColumn<int>("sizeLimit");

    QTest::newRow("after the rename") << QByteArray(1000, 'x') << 1010;
    QTest::newRow("staging at the limit") << QByteArray(1000, 'x') << 1000;
    QTest::newRow("new story file") << QByteArray() << 10;
}

// A file-size limit below the story's size makes the append fail with EFBIG
// part way through; the limit is set in a child so the test keeps its own.
void StorySaveTest::rollsBackFailedWrite()
{
    QFETCH(QByteArray, stagingBytes);
    QFETCH(int, sizeLimit);

    if (!stagingBytes.isNull())
        writeFile(staging, stagingBytes);
    QDir().mkpath(root);
    const QStringList before = folderSnapshot(tmp->path());
    const int result = exitCodeInChild([&] {
        ignoreFileSizeSignal();
        const rlimit limit{rlim_t(sizeLimit), rlim_t(sizeLimit)};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 255;
        const auto error = saveStory(root, QStringLiteral("c:\\Story.txt"), QString(5000, QLatin1Char('s')));
        return error ? error->number : 0;
    });
    QCOMPARE(result, EFBIG);
    QCOMPARE(folderSnapshot(tmp->path()), before);
}

void StorySaveTest::refusesUnwritableFolder_data()
{
    QTest::addColumn<QString>("readOnly");  // the folder the user may not write to
    QTest::addColumn<bool>("withStaging");

    QTest::newRow("story folder") << "" << true;
    QTest::newRow("staging folder") << "/program files" << true;
    QTest::newRow("story folder, no staging") << "" << false;
}

// Root may write anywhere, so the save runs in a child that has become the
// unprivileged user "nobody".
void StorySaveTest::refusesUnwritableFolder()
{
    QFETCH(QString, readOnly);
    QFETCH(bool, withStaging);
    if (::geteuid() != 0)
        QSKIP("needs root to switch to the user nobody; as an ordinary user the folders' owner may write anyway");

    writeFile(staging, "earlier");
    const auto chmodTo = [](const QString &path, mode_t mode) {
        return ::chmod(QFile::encodeName(path).constData(), mode);
    };
    // Everything is open to everyone except the one read-only folder.
    QCOMPARE(chmodTo(staging, 0666), 0);
    if (!withStaging)
        QVERIFY(QFile::remove(staging));
    QCOMPARE(chmodTo(tmp->path(), 0755), 0);
    QCOMPARE(chmodTo(root, 0777), 0);
    QCOMPARE(chmodTo(root + QStringLiteral("/program files"), 0777), 0);
    QCOMPARE(chmodTo(root + readOnly, 0755), 0);

    const QStringList before = folderSnapshot(tmp->path());
    const int result = exitCodeInChild([&] {
        const gid_t nobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            return 255;
        const auto error = saveStory(root, QStringLiteral("c:\\Story.txt"), QStringLiteral("T"));
        return error ? error->number : 0;
    });
    QCOMPARE(result, EACCES);
    QCOMPARE(folderSnapshot(tmp->path()), before);
}

void StorySaveTest::explainsTheError()
{
    writeFile(root + QStringLiteral("/Story.txt"), "old story");
    const std::optional<SaveError> error = saveStory(root, QStringLiteral("c:\\Story.txt"), QStringLiteral("T"));
    QVERIFY(error);
    const QStringList lines = error->message().split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QStringLiteral("17: File exists"));
    QVERIFY(lines.value(1).contains(QLatin1String("c:\\Story.txt")));
    QVERIFY(lines.value(2).contains(root + QStringLiteral("/Story.txt")));
    QVERIFY(lines.value(3).contains(QLatin1String("\"DONE!\" again")));
}

QTEST_APPLESS_MAIN(StorySaveTest)
#include "tst_storysave.moc"
