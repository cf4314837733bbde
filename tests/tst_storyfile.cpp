#include "StoryFileName.h"
#include "StoryText.h"

#include <QTest>

// The coded file name and the story text, both as the exact strings and
// bytes the save receives.
class StoryFileTest : public QObject {
    Q_OBJECT

private slots:
    void fileName_data();
    void fileName();
    void storyText_data();
    void storyText();
};

void StoryFileTest::fileName_data()
{
    QTest::addColumn<QStringList>("codes");  // genre, Player 1 x4, Player 2 x3
    QTest::addColumn<QString>("titleWord");
    QTest::addColumn<QString>("expected");

    QTest::newRow("every group chosen") << QStringList{"C", "F", "S", "S", "O", "O", "M", "N"} << "Picnic"
                                        << "c:\\CFSSOOMNPicnic.txt";
    QTest::newRow("all empty") << QStringList(8) << "" << "c:\\.txt";
    QTest::newRow("case kept") << QStringList{"x", "x", "x", "a", "x", "x", "x", "g"} << "picnic"
                               << "c:\\xxxaxxxgpicnic.txt";
    QTest::newRow("unchosen group shortens") << QStringList{"C", "F", "", "S", "O", "", "M", "N"} << "Picnic"
                                             << "c:\\CFSOMNPicnic.txt";
    QTest::newRow("title with spaces") << QStringList{"R", "M", "M", "N", "S", "F", "M", "N"} << " Big Day Out "
                                       << "c:\\RMMNSFMN Big Day Out .txt";
    QTest::newRow("non-ASCII kept") << QStringList{"H", "x", "W", "G", "Y", "S", "D", "g"}
                                    << QString::fromUtf8("Grüße雪😀") << QString::fromUtf8("c:\\HxWGYSDgGrüße雪😀.txt");
    QTest::newRow("backslash kept") << QStringList{"A", "M", "S", "O", "O", "M", "S", "O"} << "..\\up"
                                    << "c:\\AMSOOMSO..\\up.txt";
}

void StoryFileTest::fileName()
{
    QFETCH(QStringList, codes);
    QFETCH(QString, titleWord);
    QFETCH(QString, expected);

    StoryRecord story;
    story.GenreCode = codes[0];
    story.P1GenderCode = codes[1];
    story.P1MaritalCode = codes[2];
    story.P1PersonalityCode = codes[3];
    story.P1AgeCode = codes[4];
    story.P2GenderCode = codes[5];
    story.P2MaritalCode = codes[6];
    story.P2PersonalityCode = codes[7];
    story.TitleWord = titleWord;
    story.StoryFilePath = QStringLiteral("c:\\earlier story.txt");
    composeStoryFilePath(story);
    QCOMPARE(story.StoryFilePath, expected);
}

void StoryFileTest::storyText_data()
{
    QTest::addColumn<QStringList>("texts");  // full title, author, speeches 1-8
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("full") << QStringList{"The Picnic", "Ann Lee", "Hello.", "Hi!", "Lunch?", "Yes.",
                                         "Rain.", "Oh no.", "Home.", "Fine."}
                          << QByteArray(" The Picnic\r\n Ann Lee\r\n\r\nHello.\r\n Hi!\r\n\r\nLunch?\r\n Yes.\r\n"
                                        "\r\nRain.\r\n Oh no.\r\n\r\nHome.\r\n Fine.");
    QTest::newRow("all empty") << QStringList(10) << QByteArray(" \r\n \r\n\r\n\r\n \r\n\r\n\r\n \r\n\r\n\r\n \r\n\r\n\r\n ");
    QTest::newRow("nothing trimmed") << QStringList{"  T ", "A\t", " s1", "s2 ", "", "", "", "", "two\r\nlines", ""}
                                     << QByteArray("   T \r\n A\t\r\n\r\n s1\r\n s2 \r\n\r\n\r\n \r\n\r\n\r\n "
                                                   "\r\n\r\ntwo\r\nlines\r\n ");
    QTest::newRow("non-ASCII") << QStringList{"Café", "Zoë", "雪", "😀", "", "", "", "", "", ""}
                               << QByteArray(" Caf\xC3\xA9\r\n Zo\xC3\xAB\r\n\r\n\xE9\x9B\xAA\r\n \xF0\x9F\x98\x80"
                                             "\r\n\r\n\r\n \r\n\r\n\r\n \r\n\r\n\r\n ");
}

void StoryFileTest::storyText()
{
    QFETCH(QStringList, texts);
    QFETCH(QByteArray, expected);

    StoryRecord story;
    story.FullTitle = texts[0];
    story.AuthorName = texts[1];
    QString *speeches[] = {&story.Speech1, &story.Speech2, &story.Speech3, &story.Speech4,
                           &story.Speech5, &story.Speech6, &story.Speech7, &story.Speech8};
    for (int i = 0; i < 8; ++i)
        *speeches[i] = texts[2 + i];
    QCOMPARE(storyTextOf(story).toUtf8(), expected);
}

QTEST_APPLESS_MAIN(StoryFileTest)
#include "tst_storyfile.moc"
