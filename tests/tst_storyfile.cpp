// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "FreeStoryName.h"
#include "SaveMessages.h"
#include "StoryFileName.h"
#include "StoryText.h"

#include <QTest>

// The coded file name and the story text, both as the exact strings and
// bytes the save receives.
class StoryFileTest : public QObject {
    Q_OBJECT

private slots:
    void fileName_data()
    {
        QTest::addColumn<QStringList>("codes");  // genre, Player 1 x4, Player 2 x3
        QTest::addColumn<QString>("titleWord");
        QTest::addColumn<QString>("expected");

        // Every code differs from the others, so that any two in the wrong order show.
        QTest::newRow("every group chosen") << QStringList{"C", "F", "S", "a", "O", "M", "W", "g"} << " Picnic "
                                            << "c:\\CFSaOMWg Picnic .txt";
        QTest::newRow("all empty") << QStringList(8) << "" << "c:\\.txt";
        QTest::newRow("unchosen group shortens") << QStringList{"C", "F", "", "S", "O", "", "M", "N"} << "Picnic"
                                                 << "c:\\CFSOMNPicnic.txt";
    }

    void fileName()
    {
        QFETCH(QStringList, codes);
        QFETCH(QString, titleWord);
        QFETCH(QString, expected);

        StoryRecord story;
        QString *fields[] = {&story.GenreCode, &story.P1GenderCode, &story.P1MaritalCode, &story.P1PersonalityCode,
                             &story.P1AgeCode, &story.P2GenderCode, &story.P2MaritalCode, &story.P2PersonalityCode};
        for (int i = 0; i < 8; ++i)
            *fields[i] = codes[i];
        story.TitleWord = titleWord;
        story.StoryFilePath = QStringLiteral("c:\\earlier story.txt");
        composeStoryFilePath(story);
        QCOMPARE(story.StoryFilePath, expected);
    }

    void storyText_data()
    {
        QTest::addColumn<QStringList>("texts");  // full title, author, speeches 1-8
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("full") << QStringList{"The Picnic", "Ann Lee", "Hello.", "Hi!", "Lunch?", "Yes.",
                                             "Rain.", "Oh no.", "Home.", "Fine."}
                              << QByteArray(" The Picnic\r\n Ann Lee\r\n\r\nHello.\r\n Hi!\r\n\r\nLunch?\r\n Yes.\r\n"
                                            "\r\nRain.\r\n Oh no.\r\n\r\nHome.\r\n Fine.");
        QTest::newRow("nothing trimmed") << QStringList{"  T ", "A\t", " s1", "s2 ", "", "", "", "", "two\r\nlines", ""}
                                         << QByteArray("   T \r\n A\t\r\n\r\n s1\r\n s2 \r\n\r\n\r\n \r\n\r\n\r\n "
                                                       "\r\n\r\ntwo\r\nlines\r\n ");
    }

    void storyText()
    {
        QFETCH(QStringList, texts);
        QFETCH(QByteArray, expected);

        StoryRecord story;
        QString *fields[] = {&story.FullTitle, &story.AuthorName, &story.Speech1, &story.Speech2, &story.Speech3,
                             &story.Speech4,   &story.Speech5,    &story.Speech6, &story.Speech7, &story.Speech8};
        for (int i = 0; i < 10; ++i)
            *fields[i] = texts[i];
        QCOMPARE(storyTextOf(story).toUtf8(), expected);
    }

    void nameRule_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");      // -1: accepted, else NameProblem::Kind
        QTest::addColumn<int>("position");  // of the offending part
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("explanation");

        using Kind = NameProblem::Kind;
        const auto accepted = [](const char *tag, const QString &name) {
            QTest::newRow(tag) << name << -1 << 0 << 0 << QString();
        };
        const auto refused = [](const QByteArray &tag, const QString &name, Kind kind, int position, int length,
                                const QString &explanation = {}) {
            QTest::newRow(tag.constData()) << name << int(kind) << position << length << explanation;
        };
        accepted("plain", "CFSSOOMNPicnic.txt");
        accepted("spaces, dots, quotes", " Big Day. Out's .txt");
        accepted("letters of every script", QString::fromUtf8("Grüße雪 ДОМ ﷺ 😀.txt"));
        accepted("zero-width joiner, soft hyphen, NBSP", QString::fromUtf16(u"a\u200d\u00ad\u00a0b.txt"));
        accepted("left-to-right and right-to-left marks", QString::fromUtf16(u"a\u200e\u200fb.txt"));
        accepted("just before C1, just after", QString::fromUtf16(u"~\u00a0.txt"));
        accepted("255 bytes", QString(125, QChar(0xe9)) + "a.txt");
        accepted("only the suffix", ".txt");

        refused("empty", "", Kind::Empty, 0, 0);
        refused("dot", ".", Kind::DotName, 0, 1);
        refused("dot dot", "..", Kind::DotName, 0, 2);
        for (const char *c : {"/", "\\", "<", ">", ":", "\"", "|", "?", "*"})
            refused(QByteArray("character ") + c, "Why" + QString(c) + ".txt", Kind::BadCharacter, 3, 1,
                    QStringLiteral("A title word can't contain \"%1\".").arg(QLatin1String(c)));
        // Invisible characters, each at the edge of its range, named by their code point.
        const std::pair<char16_t, const char *> invisible[] = {
            {0x00, "0000"}, {0x0a, "000A"}, {0x0d, "000D"}, {0x1f, "001F"}, {0x7f, "007F"},
            {0x80, "0080"}, {0x85, "0085"}, {0x9f, "009F"}, {0x2028, "2028"}, {0x2029, "2029"},
            {0x202a, "202A"}, {0x202e, "202E"}, {0x2066, "2066"}, {0x2069, "2069"}};
        for (const auto &[c, hex] : invisible)
            refused(QByteArray("U+") + hex, "ab" + QString(QChar(c)) + ".txt", Kind::BadCharacter, 2, 1,
                    QStringLiteral("A title word can't contain the invisible character U+%1.").arg(QLatin1String(hex)));
        refused("first refused character counts", "a?b/c.txt", Kind::BadCharacter, 1, 1);
        refused("lone high surrogate", "a" + QString(QChar(0xd800)) + "b", Kind::BrokenText, 1, 1);
        refused("lone low surrogate at the end", "a" + QString(QChar(0xdc00)), Kind::BrokenText, 1, 1);
        // Too long: from the first character that does not fit to the end.
        refused("256 bytes", QString(126, QChar(0xe9)) + ".txt", Kind::TooLong, 129, 1,
                "The title word is too long: a story's file name can hold at most 255 bytes, "
                "and this one would need 256.");
        refused("four-byte character across the limit", QString(252, 'a') + QString::fromUtf8("😀"), Kind::TooLong,
                252, 2);
    }

    // What the save and the Player 2 window both ask before a name reaches the disk.
    void nameRule()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(int, position);
        QFETCH(int, length);
        QFETCH(QString, explanation);

        const std::optional<NameProblem> problem = storyFileNameProblem(name);
        QCOMPARE(problem ? int(problem->kind) : -1, kind);
        QCOMPARE(isAcceptableStoryFileName(name), kind == -1);
        if (!problem)
            return;
        QCOMPARE(problem->position, position);
        QCOMPARE(problem->length, length);
        if (!explanation.isEmpty())
            QCOMPARE(SaveMessages::nameProblem(*problem, name), explanation);
    }

    // Numbers stop at a thousand, so that a folder full of one name ends the
    // search: with " (2)" to " (999)" taken the last is free, with " (1000)" too none.
    void freeNameUpToAThousand()
    {
        QSet<QString> taken{QStringLiteral("c:\\Picnic.txt")};
        for (int number = 2; number <= 999; ++number)
            taken.insert(QStringLiteral("c:\\Picnic (%1).txt").arg(number));
        const auto isTaken = [&taken](const QString &path) { return taken.contains(path); };
        QCOMPARE(nextFreeStoryFilePath("c:\\Picnic.txt", isTaken).value_or(QString()), QString("c:\\Picnic (1000).txt"));
        taken.insert("c:\\Picnic (1000).txt");
        QCOMPARE(nextFreeStoryFilePath("c:\\Picnic.txt", isTaken).value_or(QString()), QString());
    }
};

QTEST_APPLESS_MAIN(StoryFileTest)
#include "tst_storyfile.moc"
