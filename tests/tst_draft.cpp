// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "CheckedBytes.h"
#include "Draft.h"
#include "DraftStore.h"
#include "Form1.h"
#include "StoryFileName.h"
#include "StoryText.h"

#include "FolderSnapshot.h"

#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <memory>
#include <sys/prctl.h>
#include <sys/syscall.h>

namespace {

// A draft with something in every part: codes of both cases, a lone
// surrogate, line breaks of every kind, an empty field, and the contact text.
Draft sample(const QString &speech = QStringLiteral("Shall we eat here?"))
{
    Draft draft;
    draft.story.GenreCode = QStringLiteral("C");
    draft.story.P1PersonalityCode = QStringLiteral("a");
    draft.story.P2PersonalityCode = QStringLiteral("A");
    draft.story.TitleWord = QStringLiteral("Pic") + QChar(0xd800) + QStringLiteral("nic");
    draft.story.StoryFilePath = QStringLiteral("c:\\CaAPicnic.txt");
    draft.story.Speech1 = speech;
    draft.story.Speech8 = QStringLiteral("\u00e9t\u00e9 \U0001f600\r\n\n\r");
    draft.window = QStringLiteral("mswfrm");
    draft.changedMs = 1796000000000;
    draft.selected = {{"frmgenre", "Option2"}, {"frmp1", "Option14"}};
    draft.texts = {{"mswfrm", "Text1", speech}, {"mswfrm", "Label1(3)", QString()},
                   {"Form3", "Text1", "To contact\r\nme \r\n"}};
    return draft;
}

// The bytes with the checksum made to match again, for damage that only the
// strict reading can catch.
QByteArray rechecked(QByteArray bytes)
{
    bytes.truncate(bytes.lastIndexOf("sha256 "));
    return bytes + "sha256 " + QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() + '\n';
}

struct Place {
    QTemporaryDir dir;
    QString folder = dir.path() + QStringLiteral("/state/wrenfield");
    DraftPlace place() const { return {folder, dir.path()}; }
    QString draft(const char *name = "draft") const { return folder + QLatin1Char('/') + QLatin1String(name); }
};

// Runs work in a child as an account made up for the test, which is given
// the folders owned: root would write into a read-only folder.
int asTheUser(const QStringList &owned, const std::function<int()> &work)
{
    constexpr uid_t User = 42431;
    if (::geteuid() == 0 && QProcess::execute(QStringLiteral("chown"), QStringList{"-R", QString::number(User)} + owned))
        return 249;
    return exitCodeInChild([&] { return ::geteuid() != 0 || becomeAccount(User) ? work() : 250; });
}

// Makes every open-file-description lock this process asks for fail with
// ENOLCK, as on a file system that has none.
bool refuseLocks()
{
    sock_filter steps[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fcntl, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[1])),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, F_OFD_SETLK, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOLCK),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{std::size(steps), steps};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// How the file at the draft's name is spoiled.
using Spoil = std::function<void(const Place &)>;

} // namespace

class DraftTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        ::umask(077);  // the files a test makes are the user's alone, as drafts are
        qputenv("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":detect_leaks=0");  // for the helpers killed
    }

    void damagedDraftIsSetAside_data()
    {
        QTest::addColumn<Spoil>("spoil");
        QTest::addColumn<DraftDamage>("why");
        const QByteArray good = encodeDraft(sample());
        const auto bytes = [](QByteArray b) { return Spoil([b](const Place &at) { writeFile(at.draft(), b); }); };
        const auto edited = [&](const char *from, const char *to) { return bytes(QByteArray(good).replace(from, to)); };

        QTest::newRow("empty") << bytes({}) << DraftDamage::NotADraft;
        QTest::newRow("cut short") << bytes(good.chopped(30)) << DraftDamage::CutShort;
        QTest::newRow("cut in the checksum") << bytes(good.chopped(2)) << DraftDamage::CutShort;
        QTest::newRow("a byte after the end") << bytes(good + '\n') << DraftDamage::CutShort;
        QTest::newRow("an older version") << edited("version 1", "version 0") << DraftDamage::NotADraft;
        QTest::newRow("a newer version") << edited("version 1", "version 2") << DraftDamage::Newer;
        QTest::newRow("a byte changed") << edited("1796000000000", "1796000000001") << DraftDamage::Checksum;
        const char *const matching[][3] = {{"a length off", "GenreCode 2\n", "GenreCode 4\n"},
                                           {"a leading zero", "GenreCode 2\n", "GenreCode 02\n"},
                                           {"a path for a name", "frmgenre Option2", "frmgenre ../etc"},
                                           {"half a UTF-16 unit", "P1AgeCode 0\n\n", "P1AgeCode 1\nx\n"}};
        for (const auto &[name, from, to] : matching)
            QTest::addRow("%s, checksum matching", name) << bytes(rechecked(QByteArray(good).replace(from, to)))
                                                         << DraftDamage::CutShort;
        // Where one of these spoils nothing, the draft is found good: no trouble.
        const auto shell = [good](const QString &sh) {
            return Spoil([=](const Place &at) { writeFile(at.draft(), good); run({"sh", "-c", sh}, at.folder); });
        };
        QTest::newRow("huge") << shell("truncate -s " + QString::number(MaxDraftBytes + 1) + " draft")
                              << DraftDamage::TooLarge;
        QTest::newRow("a folder") << shell("rm draft; mkdir draft") << DraftDamage::NotPlainFile;
        QTest::newRow("a FIFO") << shell("rm draft; mkfifo draft") << DraftDamage::NotPlainFile;
        QTest::newRow("a link to a good draft") << shell("mv draft ../../elsewhere; ln -s ../../elsewhere draft")
                                                << DraftDamage::NotPlainFile;
        QTest::newRow("readable by others") << shell("chmod 604 draft") << DraftDamage::NotYours;
        QTest::newRow("another user's") << shell("chown 65534:65534 draft") << DraftDamage::NotYours;
    }

    // A draft that cannot be trusted is renamed, kept as it is, and named in one
    // trouble; the start goes on as if there were none, and the next draft is
    // written under a free name. One of a newer version is left where it is.
    void damagedDraftIsSetAside()
    {
        QFETCH(Spoil, spoil);
        QFETCH(DraftDamage, why);
        if (QByteArray(QTest::currentDataTag()) == "another user's" && ::geteuid() != 0)
            QSKIP("only root can give a file to another user");
        Place at;
        QDir().mkpath(at.folder);  // the user's alone, by the umask
        spoil(at);
        struct stat before {};
        QCOMPARE(::lstat(qPrintable(at.draft()), &before), 0);
        const bool newer = why == DraftDamage::Newer;
        const QByteArray bytes = newer ? readFile(at.draft()) : QByteArray();

        DraftStore store(at.place());
        QList<DraftTrouble> troubles;
        QVERIFY(store.leftDrafts(&troubles).isEmpty());
        QCOMPARE(troubles.size(), 1);
        QCOMPARE(troubles.front().damage, why);
        QCOMPARE(troubles.front().kind, newer ? DraftTrouble::Kind::Newer : DraftTrouble::Kind::SetAside);
        const QStringList aside = QDir(at.folder).entryList({"draft.set-aside-*"}, QDir::AllEntries | QDir::System);
        QCOMPARE(aside.size(), newer ? 0 : 1);
        if (newer)
            QCOMPARE(readFile(at.draft()), bytes);
        struct stat kept {};
        QCOMPARE(::lstat(qPrintable(newer ? at.draft() : at.folder + '/' + aside.front()), &kept), 0);
        QCOMPARE(kept.st_ino, before.st_ino);
        QCOMPARE(store.write(encodeDraft(sample())), 0);
        QCOMPARE(store.path(), at.draft(newer ? "draft-2" : "draft"));
    }

    void draftFolder_data()
    {
        QTest::addColumn<QString>("spoil");  // sh in the test's folder, whose state/wrenfield is the draft folder
        QTest::addColumn<bool>("kept");
        QTest::addColumn<int>("offered");
        const QString linked = QStringLiteral("mkdir other state; ln -s ../other state/wrenfield; ");
        QTest::newRow("missing parents") << QString() << true << 0;
        QTest::newRow("a link to a folder of one's own") << linked << true << 1;
        QTest::newRow("a link to another's folder") << linked + "chown 65534:65534 other" << false << 0;
        QTest::newRow("others may change it") << "mkdir -p state/wrenfield; chmod 777 state/wrenfield" << false << 0;
        QTest::newRow("a file") << "mkdir state; echo x >state/wrenfield" << false << 0;
    }

    // Drafts are kept in a folder of the user's alone, made with its missing
    // parents (readable by the user alone), or reached through a link to one;
    // any other is neither read nor written, and says so once.
    void draftFolder()
    {
        QFETCH(QString, spoil);
        QFETCH(bool, kept);
        QFETCH(int, offered);
        if (QByteArray(QTest::currentDataTag()) == "a link to another's folder" && ::geteuid() != 0)
            QSKIP("only root can give a folder to another user");
        Place at;
        QCOMPARE(run({"sh", "-ec", spoil}, at.dir.path()).first, 0);
        writeFile(at.dir.path() + QStringLiteral("/other/draft"), encodeDraft(sample()));
        const QStringList before = folderSnapshot(at.dir.path());
        DraftStore store(at.place());
        QList<DraftTrouble> troubles;
        QCOMPARE(store.leftDrafts(&troubles).size(), offered);
        QCOMPARE(troubles.size(), kept ? 0 : 1);
        if (!kept) {
            QCOMPARE(troubles.front().kind, DraftTrouble::Kind::FolderRefused);
            QVERIFY(store.write(encodeDraft(sample())) != 0);
            QCOMPARE(folderSnapshot(at.dir.path()), before);
            return;
        }
        const mode_t mask = ::umask(022);  // as a desktop session's: the folders are private all the same
        QCOMPARE(store.write(encodeDraft(sample())), 0);
        ::umask(mask);
        QVERIFY(parseDraft(readFile(store.path())));
        for (const QString &made : {at.dir.path() + QStringLiteral("/state"), at.folder}) {
            struct stat info {};
            QCOMPARE(::stat(qPrintable(made), &info), 0);
            QCOMPARE(info.st_mode & 07777, mode_t(0700));
        }
    }

    // Each running copy writes a draft of its own and never offers another
    // running copy's; once a copy has ended its draft is offered, newest first.
    void runningCopiesKeepTheirOwn()
    {
        Place at;
        QList<DraftTrouble> lines;
        auto first = std::make_unique<DraftStore>(at.place());
        auto second = std::make_unique<DraftStore>(at.place());
        Draft older = sample(QStringLiteral("older"));
        Draft newer = sample(QStringLiteral("newer"));
        newer.changedMs = older.changedMs + 1;
        QCOMPARE(first->write(encodeDraft(older)), 0);
        QVERIFY(second->leftDrafts(&lines).isEmpty());
        QCOMPARE(second->write(encodeDraft(newer)), 0);
        QCOMPARE(second->path(), at.draft("draft-2"));
        QCOMPARE(parseDraft(readFile(at.draft()))->story.Speech1, QStringLiteral("older"));

        first.reset();  // ended without removing its draft, as a killed copy does
        DraftStore third(at.place());
        QList<LeftDraft> left = third.leftDrafts(&lines);
        QCOMPARE(left.size(), 1);
        QCOMPARE(left.front().draft.story.Speech1, QStringLiteral("older"));
        // While the third holds it, a fourth neither sees it nor takes its name.
        DraftStore fourth(at.place());
        QVERIFY(fourth.leftDrafts(&lines).isEmpty());
        QCOMPARE(fourth.write(encodeDraft(newer)), 0);
        QCOMPARE(fourth.path(), at.draft("draft-3"));
        third.release(left.front());

        second.reset();
        DraftStore fifth(at.place());
        left = fifth.leftDrafts(&lines);
        QCOMPARE(left.size(), 2);
        QCOMPARE(left[0].draft.story.Speech1, QStringLiteral("newer"));
        QCOMPARE(left[1].draft.story.Speech1, QStringLiteral("older"));
        QVERIFY(lines.isEmpty());

        // With every draft name held by a running copy, one more keeps none.
        std::vector<std::unique_ptr<DraftStore>> running;
        int error = 0;
        for (int i = 0; i <= MaxDraftSlots && error == 0; ++i)
            error = running.emplace_back(std::make_unique<DraftStore>(at.place()))->write(encodeDraft(newer));
        QCOMPARE(error, EUSERS);

        // Where the folder cannot be locked at all, every name counts as free:
        // drafts are still kept, each copy under a name no draft has.
        Place unlocked;
        const int failed = exitCodeInChild([&] {
            DraftStore one(unlocked.place()), two(unlocked.place());
            return int(!(refuseLocks() && one.write(encodeDraft(older)) == 0 && two.write(encodeDraft(newer)) == 0
                         && two.path() == unlocked.draft("draft-2")
                         && parseDraft(readFile(unlocked.draft()))->story.Speech1 == QLatin1String("older")));
        });
        QCOMPARE(failed, 0);
    }

    // A copy killed at each system call of writing its draft over the previous
    // one, as a power cut would stop it: the next start finds the previous draft
    // or the new one, whole, and nothing set aside.
    void killedWriteLeavesOldOrNew()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty())
            QSKIP("strace is not installed");
        // "new" written over "old"; a first run whole tells the calls after the helper's mark.
        const auto overwrite = [](const Place &at, const QString &kill, const QString &log) {
            QCOMPARE(DraftStore(at.place()).write(encodeDraft(sample(QStringLiteral("old")))), 0);
            run(straced("openat,write,fdatasync,renameat,fsync,unlinkat,close", log, kill,
                        {SAVE_HELPER, "--draft", at.folder, "new"}));
        };
        Place first;
        const QString log = first.dir.path() + QStringLiteral("/trace");
        overwrite(first, {}, log);
        QCOMPARE(parseDraft(readFile(first.draft()))->story.Speech1, QStringLiteral("new"));
        const QStringList kills = callsAfterMark(log);
        QVERIFY2(kills.size() >= 6, qPrintable(kills.join(' ')));

        QSet<QString> outcomes;
        for (const QString &kill : kills) {
            Place at;
            overwrite(at, kill, {});
            DraftStore next(at.place());
            QList<DraftTrouble> troubles;
            const QList<LeftDraft> left = next.leftDrafts(&troubles);
            QVERIFY2(troubles.isEmpty() && left.size() == 1, qPrintable(kill));
            outcomes << left.front().draft.story.Speech1;
            QCOMPARE(QDir(at.folder).entryList({QStringLiteral("*.new")}, QDir::Files), QStringList());
        }
        QCOMPARE(outcomes, (QSet<QString>{"old", "new"}));
    }

    // Writes under way at once end in any order: one that ends after a newer
    // write, or after a removal, leaves the draft to it, and no file behind.
    void newerWriteIsNeverOvertaken()
    {
        Place at;
        DraftStore store(at.place());
        QCOMPARE(store.write(encodeDraft(sample(QStringLiteral("newer"))), 2), 0);
        QCOMPARE(store.write(encodeDraft(sample(QStringLiteral("older"))), 1), 0);
        QCOMPARE(parseDraft(readFile(at.draft()))->story.Speech1, QStringLiteral("newer"));
        QCOMPARE(store.remove(4), 0);
        QCOMPARE(store.write(encodeDraft(sample(QStringLiteral("older"))), 3), 0);
        QCOMPARE(QDir(at.folder).entryList({QStringLiteral("draft*")}, QDir::Files), QStringList());
    }

    // A story handed to a save killed at each of its file calls, then the
    // start's resolution: a draft of that story is saved exactly when the story
    // is on disk, whether it was marked with the save before the kill or is the
    // one taken on the story page (its mark held up in the writer); a draft of
    // another story under the same name never is; one whose save was set aside
    // is offered as such; and one in a read-only folder is marked with its save
    // so that it is never offered.
    void killedSaveAndItsDraft()
    {
        using Kind = DraftStanding::Kind;
        if (QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty())
            QSKIP("strace is not installed");
        Draft page;
        page.window = QStringLiteral("Form1");
        StoryRecord &story = page.story;
        for (auto [field, code] : {std::pair{&StoryRecord::GenreCode, "C"}, {&StoryRecord::P1GenderCode, "F"},
                                   {&StoryRecord::P1MaritalCode, "S"}, {&StoryRecord::P1PersonalityCode, "S"},
                                   {&StoryRecord::P1AgeCode, "O"}, {&StoryRecord::P2GenderCode, "O"},
                                   {&StoryRecord::P2MaritalCode, "M"}, {&StoryRecord::P2PersonalityCode, "N"}})
            story.*field = QLatin1String(code);
        story.TitleWord = QStringLiteral("Picnic");
        story.StoryFilePath = storyFilePathOf(story);
        story.Speech1 = QStringLiteral("Shall we eat here?");
        page.texts = {{"Form1", "Text2", "A Day Out"}, {"Form1", "Text3", "Ann"}};
        StoryRecord saved = story;
        saved.FullTitle = QStringLiteral("A Day Out");
        saved.AuthorName = QStringLiteral("Ann");
        const QString text = storyTextOf(saved);
        const QByteArray bytes = (text + QStringLiteral("\r\n")).toUtf8();
        Draft marked = page;
        marked.save = {story.StoryFilePath, bytes.size(), sha256Hex(bytes)};
        Draft typed = page;  // the last draft before "DONE!", still holding a part of the author's name
        typed.texts.back().text = QStringLiteral("An");
        Draft other = marked;
        other.story.Speech1 = QStringLiteral("Another story, the same name");
        other.save.sha256 = sha256Hex("another");

        const auto save = [&](const QString &root, const QString &kill) {
            writeFile(root + QStringLiteral("/program files/temp.txt"), "Notes");
            run(straced(SaveCalls, root + "/../trace", kill, {SAVE_HELPER, root, story.StoryFilePath, text}));
        };
        QTemporaryDir first;
        save(first.path() + QStringLiteral("/C"), QString());
        const QStringList kills = callsAfterMark(first.path() + QStringLiteral("/trace"));
        QVERIFY2(kills.size() >= 10, qPrintable(kills.join(' ')));

        QSet<bool> outcomes;
        int readOnly = 0;
        for (const QString &kill : kills) {
            QTemporaryDir dir;
            const QString root = dir.path() + QStringLiteral("/C");
            save(root, kill);
            const Resolution resolution = resolveUnfinishedSave(root);
            const bool onDisk = QFileInfo::exists(realPathOf(root, story.StoryFilePath));
            outcomes << onDisk;
            const auto standing = [&](const Draft &draft) {
                return standingOf(draft, root, resolution, Form1::storyBytesOf(draft)).kind;
            };
            const Kind expected = onDisk ? Kind::Saved : Kind::Unsaved;
            QVERIFY2(standing(marked) == expected && standing(page) == expected, qPrintable(kill));
            QVERIFY2(standing(other) == Kind::Unsaved, qPrintable(kill));
            if (standing(typed) != Kind::Saved)
                continue;
            // Its draft folder read-only: the draft, known as saved only by the
            // resolved save, cannot be removed; it is marked with the save so
            // that the next start, with nothing left to resolve, offers nothing.
            Place at;
            QCOMPARE(DraftStore(at.place()).write(encodeDraft(typed)), 0);
            QCOMPARE(::chmod(qPrintable(at.folder), 0500), 0);
            const int failed = asTheUser({dir.path(), at.dir.path()}, [&] {
                DraftStore start(at.place());
                QList<DraftTrouble> troubles;
                QList<LeftDraft> left = start.leftDrafts(&troubles);
                const DraftStanding standing = left.size() == 1 ? standingOf(left.front().draft, root, resolution)
                                                                : DraftStanding{};
                Draft saved = typed;
                saved.save = standing.save;
                if (standing.kind != Kind::Saved || start.discard(left.front(), encodeDraft(saved)) != EACCES)
                    return 1;
                DraftStore next(at.place());
                left = next.leftDrafts(&troubles);
                const bool never = left.size() == 1 && troubles.isEmpty()
                                && standingOf(left.front().draft, root, Resolution{}).kind == Kind::Saved;
                return never ? 0 : 2;
            });
            ::chmod(qPrintable(at.folder), 0700);  // for the clean-up, when not root
            QVERIFY2(failed == 0, qPrintable(kill + QStringLiteral(": ") + QString::number(failed)));
            ++readOnly;
        }
        QCOMPARE(outcomes.size(), 2);
        QVERIFY(readOnly > 0);

        Resolution setAside;
        setAside.outcome = Resolution::Outcome::SetAside;
        setAside.storyFile = realPathOf(first.path(), story.StoryFilePath);
        QCOMPARE(standingOf(page, first.path(), setAside, Form1::storyBytesOf(page)).kind, Kind::SaveSetAside);
    }
};

QTEST_GUILESS_MAIN(DraftTest)
#include "tst_draft.moc"
