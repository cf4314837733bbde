#include "StorySave.h"

#include "FolderSnapshot.h"
#include "ForkedChild.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sched.h>
#include <sys/mount.h>

#include <cstdio>
#include <cstdlib>

namespace {

const QString StoryPath = QStringLiteral("c:\\Story.txt");
const char StoryText[] = "A story";
constexpr int CannotMount = 254;  // a child's exit code: no private mount namespace here

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Runs the save helper, under strace with straceOptions when there are any,
// with library preloaded when given. Returns its exit code: the error number.
int runSaveHelper(const QString &root, const QStringList &straceOptions, const QByteArray &library = {})
{
    QByteArrayList args;
    if (!straceOptions.isEmpty()) {
        args << QFile::encodeName(QStandardPaths::findExecutable(QStringLiteral("strace"))) << "-qq"
             << "-o" << "/dev/null";
        for (const QString &option : straceOptions)
            args << option.toUtf8();
        if (!library.isEmpty())
            args << "-E" << "LD_PRELOAD=" + library;
        args << "--";
    }
    args << SAVE_HELPER << QFile::encodeName(root) << StoryPath.toUtf8() << StoryText;
    std::vector<char *> argv;
    for (QByteArray &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    // In a sanitizer build the leak checker cannot run under strace, and the
    // address sanitizer refuses to start after a preloaded library unless told.
    const QByteArray sanitizerOptions = qgetenv("ASAN_OPTIONS") + ":detect_leaks=0:verify_asan_link_order=0";
    return exitCodeInChild([&] {
        ::setenv("ASAN_OPTIONS", sanitizerOptions.constData(), 1);
        if (straceOptions.isEmpty() && !library.isEmpty())
            ::setenv("LD_PRELOAD", library.constData(), 1);
        ::execv(argv[0], argv.data());
        return 127;
    });
}

bool haveStrace()
{
    return !QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty();
}

// In a forked child: a private mount namespace, so that mounts made there
// vanish with the child and never reach the rest of the machine.
bool enterPrivateMounts()
{
    return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

} // namespace

// Faults that a save meets only when something else is going on: another
// program, a full or read-only disk, a failing or missing system call. Each
// is provoked for real and must leave every file as it was.
class SaveFaultsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void targetAppearsBeforeRename_data();
    void targetAppearsBeforeRename();
    void systemCallFails_data();
    void systemCallFails();
    void diskFull_data();
    void diskFull();
    void readOnlyFileSystem_data();
    void readOnlyFileSystem();

private:
    std::unique_ptr<QTemporaryDir> tmp;
    QString root, staging, story;
};

void SaveFaultsTest::init()
{
    tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp->isValid());
    root = tmp->path() + QStringLiteral("/C");
    staging = root + QStringLiteral("/program files/temp.txt");
    story = root + QStringLiteral("/Story.txt");
}

void SaveFaultsTest::targetAppearsBeforeRename_data()
{
    QTest::addColumn<QStringList>("straceOptions");

    QTest::newRow("rename") << QStringList();
    QTest::newRow("hard link, no RENAME_NOREPLACE")
        << QStringList{"-e", "trace=renameat2", "-e", "inject=renameat2:error=EINVAL"};
}

// A preloaded library creates the story file just before the save renames
// (or links) the staging file to it: the save must neither replace it nor
// write to it.
void SaveFaultsTest::targetAppearsBeforeRename()
{
    QFETCH(QStringList, straceOptions);
    if (!straceOptions.isEmpty() && !haveStrace())
        QSKIP("strace is not installed");

    QVERIFY(writeFile(staging, "earlier"));
    const QStringList before = folderSnapshot(tmp->path());
    QCOMPARE(runSaveHelper(root, straceOptions, RACE_TARGET_LIBRARY), EEXIST);
    QCOMPARE(readFile(story), QByteArray("rival file"));
    QStringList after = folderSnapshot(tmp->path());
    after.removeIf([](const QString &line) { return line.startsWith(QLatin1String("/C/Story.txt ")); });
    QCOMPARE(after, before);
}

void SaveFaultsTest::systemCallFails_data()
{
    QTest::addColumn<QStringList>("straceOptions");
    QTest::addColumn<bool>("withStaging");
    QTest::addColumn<int>("number");  // 0: saved all the same

    const auto inject = [](const char *calls, std::initializer_list<const char *> faults) {
        QStringList options{"-e", QStringLiteral("trace=") + QLatin1String(calls)};
        for (const char *fault : faults)
            options << "-e" << QStringLiteral("inject=") + QLatin1String(fault);
        return options;
    };
    QTest::newRow("fdatasync fails") << inject("fdatasync", {"fdatasync:error=EIO"}) << true << EIO;
    QTest::newRow("fdatasync fails, new file") << inject("fdatasync", {"fdatasync:error=EIO"}) << false << EIO;
    QTest::newRow("folder fsync fails") << inject("fsync", {"fsync:error=EIO"}) << true << EIO;
    QTest::newRow("write fails") << inject("write", {"write:error=EIO"}) << true << EIO;
    QTest::newRow("write interrupted") << inject("write", {"write:error=EINTR:when=1"}) << true << 0;
    QTest::newRow("no RENAME_NOREPLACE") << inject("renameat2", {"renameat2:error=EINVAL"}) << true << 0;
    QTest::newRow("no renameat2") << inject("renameat2", {"renameat2:error=ENOSYS"}) << true << 0;
    QTest::newRow("no RENAME_NOREPLACE, old name stays")
        << inject("renameat2,unlinkat", {"renameat2:error=EINVAL", "unlinkat:error=EPERM:when=1"}) << true << EPERM;
    QTest::newRow("no RENAME_NOREPLACE, rollback by link")
        << inject("renameat2,fdatasync", {"renameat2:error=EINVAL", "fdatasync:error=EIO"}) << true << EIO;
}

// strace makes one system call of the save fail (or not exist).
void SaveFaultsTest::systemCallFails()
{
    QFETCH(QStringList, straceOptions);
    QFETCH(bool, withStaging);
    QFETCH(int, number);
    if (!haveStrace())
        QSKIP("strace is not installed");

    QDir().mkpath(root);
    if (withStaging)
        QVERIFY(writeFile(staging, "earlier"));
    const QStringList before = folderSnapshot(tmp->path());
    QCOMPARE(runSaveHelper(root, straceOptions), number);
    if (number == 0) {
        QCOMPARE(readFile(story), QByteArray("earlierA story\r\n"));
        QVERIFY(!QFileInfo::exists(staging));
    } else {
        QCOMPARE(folderSnapshot(tmp->path()), before);
    }
}

void SaveFaultsTest::diskFull_data()
{
    QTest::addColumn<int>("stagingSize");  // -1: no staging file

    QTest::newRow("staging file") << 40000;
    QTest::newRow("no staging file") << -1;
}

// A 64 KiB tmpfs over the story folder, in a child's private mount
// namespace; the child compares the folder before and after itself, since
// the tmpfs ends with it.
void SaveFaultsTest::diskFull()
{
    QFETCH(int, stagingSize);

    QVERIFY(QDir().mkpath(root));
    const int result = exitCodeInChild([&] {
        if (!enterPrivateMounts() || ::mount("tmpfs", QFile::encodeName(root).constData(), "tmpfs", 0, "size=64k") != 0)
            return CannotMount;
        if (stagingSize >= 0 && !writeFile(staging, QByteArray(stagingSize, 'x')))
            return 255;
        const QStringList before = folderSnapshot(root);
        const auto error = saveStory(root, StoryPath, QString(100000, QLatin1Char('s')));
        const QStringList after = folderSnapshot(root);
        if (after != before) {
            std::fprintf(stderr, "before:\n%s\nafter:\n%s\n", qPrintable(before.join('\n')), qPrintable(after.join('\n')));
            return 253;
        }
        return error ? error->number : 0;
    });
    if (result == CannotMount)
        QSKIP("cannot mount a tmpfs in a private mount namespace here (needs CAP_SYS_ADMIN)");
    QCOMPARE(result, ENOSPC);
}

void SaveFaultsTest::readOnlyFileSystem_data()
{
    QTest::addColumn<QString>("setup");

    QTest::newRow("staging file") << "staging";
    QTest::newRow("no staging file") << "folder";
    QTest::newRow("story folder missing") << "";
}

// The temporary folder bound read-only onto itself in a child's private
// mount namespace.
void SaveFaultsTest::readOnlyFileSystem()
{
    QFETCH(QString, setup);

    if (setup == QLatin1String("staging"))
        QVERIFY(writeFile(staging, "earlier"));
    if (setup == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(root));
    const QStringList before = folderSnapshot(tmp->path());
    const QByteArray folder = QFile::encodeName(tmp->path());
    const int result = exitCodeInChild([&] {
        if (!enterPrivateMounts() || ::mount(folder.constData(), folder.constData(), nullptr, MS_BIND, nullptr) != 0
            || ::mount(nullptr, folder.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            return CannotMount;
        const auto error = saveStory(root, StoryPath, QString::fromLatin1(StoryText));
        return error ? error->number : 0;
    });
    if (result == CannotMount)
        QSKIP("cannot bind-mount read-only in a private mount namespace here (needs CAP_SYS_ADMIN)");
    QCOMPARE(result, EROFS);
    QCOMPARE(folderSnapshot(tmp->path()), before);
}

QTEST_APPLESS_MAIN(SaveFaultsTest)
#include "tst_savefaults.moc"
