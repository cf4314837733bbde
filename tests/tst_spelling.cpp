// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// Spelling in the real windows with the real dictionaries (hunspell-en-us,
// hunspell-de-de): which words are marked, as screen readers get them; the
// menu by keyboard and mouse; what is kept across a restart; the language
// from the locale; no dictionary at all; a damaged settings file; the marks
// as drawn, in light and dark themes. (Over AT-SPI: tests/e2e_spelling.sh.)
#include "WindowFixture.h"

#include "DarkPalette.h"
#include "Legibility.h"
#include "LookAndFeel.h"
#include "Spelling.h"
#include "SpellingSettings.h"

#include <QAccessible>
#include <QFile>
#include <QLineEdit>
#include <QMenu>

#include <map>

namespace {

// The misspelled runs screen readers get for `box`: "START:WORD", START in characters.
QStringList misspelledRuns(QLineEdit *box)
{
    QAccessibleTextInterface *text = QAccessible::queryAccessibleInterface(box)->textInterface();
    QStringList runs;
    for (int offset = 0, start = 0, end = 0; offset < text->characterCount(); offset = end) {
        const QString attributes = text->attributes(offset, &start, &end);
        if (start > offset || end <= offset)
            return {QStringLiteral("run [%1, %2) at %3").arg(start).arg(end).arg(offset)};
        if (!attributes.isEmpty())
            runs << QStringLiteral("%1:%2").arg(start).arg(text->text(start, end)) + (attributes == u"invalid:spelling" ? "" : "?");
    }
    return runs;
}

QMenu *openMenu(QLineEdit *box, qsizetype at)
{
    box->setCursorPosition(int(at));
    QTest::keyClick(box, Qt::Key_F10, Qt::ShiftModifier);
    return qobject_cast<QMenu *>(QApplication::activePopupWidget());
}

QAction *item(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

QString contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QStringLiteral("(none)");
}

} // namespace

class Spelling : public WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void wordsAndPlaces_data();
    void wordsAndPlaces();
    void wordTypedWaits();
    void suggestionReplacesTheWordInOneUndo_data();
    void suggestionReplacesTheWordInOneUndo();
    void addedWordsAndTheSwitchSurviveARestart();
    void localeNamesTheDictionary_data();
    void localeNamesTheDictionary();
    void languageWithoutDictionaryMarksNothing_data();
    void languageWithoutDictionaryMarksNothing();
    void damagedSettingsAreIgnored_data();
    void damagedSettingsAreIgnored();
    void marksStandOutInLightAndDarkThemes_data();
    void marksStandOutInLightAndDarkThemes();

private:
    // A new run of spelling with the speeches window shown, once its
    // dictionary (if any) is loaded; the first speech box.
    QLineEdit *spellingStarted(const QString &text = QString())
    {
        spelling.reset();
        spelling = std::make_unique<Desktop::Spelling>();
        show(Window::mswfrm);
        auto *box = at<QLineEdit>(Window::mswfrm, "Text1");
        box->setText(text);
        box->setFocus();
        if (!QTest::qWaitFor([this] { return spelling->ready(); }))
            qWarning("spelling did not load");
        return box;
    }

    QTemporaryDir home;
    std::unique_ptr<Desktop::Spelling> spelling;
};

void Spelling::initTestCase()
{
    Desktop::installLookAndFeel();
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qunsetenv("ENCHANT_CONFIG_DIR");
    qunsetenv("XDG_DATA_DIRS");
}

void Spelling::init()
{
    startRun();
    spelling.reset();
    QDir(home.filePath(QStringLiteral("config"))).removeRecursively();
    qputenv("LANGUAGE", "en_US");
}

void Spelling::cleanup()
{
    while (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
    QApplication::setPalette(QPalette());
    qunsetenv("XDG_DATA_DIRS");
}

void Spelling::wordsAndPlaces_data()
{
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("marked");
    QTest::newRow("right") << QByteArray("en_US") << "The cat sat on the mat, didn't it?" << QStringList();
    QTest::newRow("wrong") << QByteArray("en_US") << "Teh cat sat on teh mat" << QStringList{"0:Teh", "15:teh"};
    QTest::newRow("apostrophes") << QByteArray("en_US") << "It's Ann's, isn\u2019t it? Wouldnt" << QStringList{"22:Wouldnt"};
    QTest::newRow("hyphens") << QByteArray("en_US") << "a well-known mother-in-law, a well-knwon one" << QStringList{"35:knwon"};
    QTest::newRow("digits") << QByteArray("en_US") << "the 2nd mp3 and B52 or abc123 helo" << QStringList{"30:helo"};
    QTest::newRow("addresses") << QByteArray("en_US") << "ann@exmple.org https://exmple.org/pge www.exmple.com (www.exmple.com) sepll"
                               << QStringList{"70:sepll"};
    QTest::newRow("other scripts") << QByteArray("en_US") << "\u041a\u043e\u0442 \u03ba\u03b1\u03bb\u03b7\u03bc\u03ad\u03c1\u03b1 "
                                      "\u65e5\u672c\u8a9e helo" << QStringList{"17:helo"};
    QTest::newRow("combining marks") << QByteArray("en_US") << "cafe\u0301 helo" << QStringList{"0:cafe\u0301", "6:helo"};
    QTest::newRow("combining marks, German") << QByteArray("de_DE") << "Ma\u0308dchen und Ma\u0308dchne"
                                             << QStringList{"13:Ma\u0308dchne"};
    QTest::newRow("emoji before") << QByteArray("en_US") << "\U0001F600\U0001F600 helo \U0001F600wrold!" << QStringList{"3:helo", "9:wrold"};
    QTest::newRow("long piece") << QByteArray("en_US") << "helo " + QString(101, u'x') + " wrold" << QStringList{"0:helo", "107:wrold"};
}

// Every misspelled word a run of its own with "invalid:spelling", at its
// place in characters; every other offset in a plain run.
void Spelling::wordsAndPlaces()
{
    QFETCH(QByteArray, language);
    QFETCH(QString, text);
    QFETCH(QStringList, marked);
    qputenv("LANGUAGE", language);
    QLineEdit *box = spellingStarted(text);
    QVERIFY(spelling->hasDictionary());
    QCOMPARE(misspelledRuns(box), marked);
    QCOMPARE(box->text(), text);
}

// The word at the caret is marked once typing pauses or the caret leaves it.
void Spelling::wordTypedWaits()
{
    QLineEdit *box = spellingStarted();
    QTest::keyClicks(box, QStringLiteral("helo wrold"));
    QCOMPARE(misspelledRuns(box), QStringList{"0:helo"});
    QTest::keyClick(box, Qt::Key_Home);
    QCOMPARE(misspelledRuns(box), QStringList({"0:helo", "5:wrold"}));
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClicks(box, QStringLiteral(" lsat"));
    QCOMPARE(misspelledRuns(box), QStringList({"0:helo", "5:wrold"}));
    QTRY_COMPARE(misspelledRuns(box), QStringList({"0:helo", "5:wrold", "11:lsat"}));
}

void Spelling::suggestionReplacesTheWordInOneUndo_data()
{
    QTest::addColumn<bool>("byMouse");
    QTest::newRow("keyboard") << false;
    QTest::newRow("mouse") << true;
}

// A right click on a word or Shift+F10 at it opens the menu: suggestions,
// Add to Dictionary, Ignore, Check Spelling, Language, then the box's own
// items. A suggestion replaces the word alone; one undo brings it back.
void Spelling::suggestionReplacesTheWordInOneUndo()
{
    QFETCH(bool, byMouse);
    QLineEdit *box = spellingStarted(QStringLiteral("A smal cat"));
    QMenu *menu = nullptr;
    if (byMouse) {
        box->setCursorPosition(0);
        const QRect word = QAccessible::queryAccessibleInterface(box)->textInterface()->characterRect(3);
        const QPoint at = box->mapFromGlobal(word.center());
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, box->mapToGlobal(at));
        QApplication::sendEvent(box, &click);
        menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    } else {
        menu = openMenu(box, 4);
    }
    QVERIFY(menu);
    QStringList items;
    for (const QAction *action : menu->actions())
        items << action->text().section(u'\t', 0, 0);  // without its shortcut
    QCOMPARE(items.mid(items.indexOf(QString()), 7), QStringList({"", "Add to Dictionary", "Ignore", "", "Check Spelling",
                                                                  "Language", ""}));
    QCOMPARE(items.mid(items.indexOf(QString()) + 7, 2), QStringList({"&Undo", "&Redo"}));
    const qsizetype small = items.indexOf(QStringLiteral("small"));
    QVERIFY(small >= 0 && items.indexOf(QString()) <= 5);
    if (byMouse) {
        // a menu takes a click only after the pointer has moved over it
        const QPoint place = menu->actionGeometry(menu->actions().at(small)).center();
        for (int x = -7; x <= 0; ++x)
            QTest::mouseMove(menu, place + QPoint(x, 0));
        QTest::mouseClick(menu, Qt::LeftButton, {}, place);
    } else {
        for (qsizetype i = 0; i <= small; ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    }
    QTRY_COMPARE(box->text(), QStringLiteral("A small cat"));
    QCOMPARE(misspelledRuns(box), QStringList());
    box->undo();
    QCOMPARE(box->text(), QStringLiteral("A smal cat"));
}

// Added words are kept in the shared word list and known after a restart,
// as is the switch; ignored words only for the run. Nothing is written
// before the user chooses.
void Spelling::addedWordsAndTheSwitchSurviveARestart()
{
    const QString config = home.filePath(QStringLiteral("config"));
    QLineEdit *box = spellingStarted(QStringLiteral("Zorblat and Quxby, well-knwon"));
    QCOMPARE(QDir(config).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QVERIFY(!item(openMenu(box, 20), QStringLiteral("Ignore")));  // "well" is no misspelled part
    QVERIFY(item(openMenu(box, 25), QStringLiteral("Ignore")));
    item(openMenu(box, 1), QStringLiteral("Add to Dictionary"))->trigger();
    item(openMenu(box, 13), QStringLiteral("Ignore"))->trigger();
    QCOMPARE(misspelledRuns(box), QStringList{"24:knwon"});
    QCOMPARE(contents(config + QStringLiteral("/enchant/en_US.dic")), QStringLiteral("Zorblat\n"));
    QCOMPARE(QFileInfo(config + QStringLiteral("/enchant")).permissions() & 0x0077, 0);
    item(openMenu(box, 1), QStringLiteral("Check Spelling"))->trigger();
    QCOMPARE(contents(config + QStringLiteral("/wrenfield/wrenfield.conf")), QStringLiteral("[spelling]\ncheck=false\n"));

    box = spellingStarted(box->text());
    QVERIFY(!spelling->switchedOn());
    QCOMPARE(misspelledRuns(box), QStringList());
    QMenu *menu = openMenu(box, 13);
    QVERIFY(!item(menu, QStringLiteral("Check Spelling"))->isChecked());
    item(menu, QStringLiteral("Check Spelling"))->trigger();
    QCOMPARE(misspelledRuns(box), QStringList({"12:Quxby", "24:knwon"}));
    QCOMPARE(contents(config + QStringLiteral("/wrenfield/wrenfield.conf")), QStringLiteral("[spelling]\ncheck=true\n"));
}

void Spelling::localeNamesTheDictionary_data()
{
    QTest::addColumn<QStringList>("environment");  // NAME=VALUE
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("dictionary");
    QTest::addColumn<QString>("package");
    QTest::newRow("LANGUAGE first") << QStringList{"LANGUAGE=de_AT:en", "LC_ALL=en_US.UTF-8"} << "de_AT" << "de_DE"
                                    << "hunspell-de-at";
    QTest::newRow("LC_ALL") << QStringList{"LC_ALL=de_DE.UTF-8@euro", "LANG=en_US.UTF-8"} << "de_DE" << "de_DE"
                            << "hunspell-de-de";
    QTest::newRow("LC_MESSAGES") << QStringList{"LC_MESSAGES=de_LU.utf8", "LANG=en_US"} << "de_LU" << "de_LU"
                                 << "hunspell-de-de";
    QTest::newRow("LANG") << QStringList{"LANG=en_GB.UTF-8"} << "en_GB" << "en_US" << "hunspell-en-gb";
    QTest::newRow("language alone") << QStringList{"LANGUAGE=de"} << "de" << "de_DE" << "hunspell-de-de";
    QTest::newRow("C") << QStringList{"LANG=C"} << "en_US" << "en_US" << "hunspell-en-us";
    QTest::newRow("C.UTF-8") << QStringList{"LC_ALL=C.UTF-8"} << "en_US" << "en_US" << "hunspell-en-us";
    QTest::newRow("POSIX") << QStringList{"LC_ALL=POSIX", "LANG=de_DE"} << "en_US" << "en_US" << "hunspell-en-us";
    QTest::newRow("none") << QStringList() << "en_US" << "en_US" << "hunspell-en-us";
    QTest::newRow("French, not installed") << QStringList{"LANG=fr_FR.UTF-8"} << "fr_FR" << "" << "hunspell-fr";
    QTest::newRow("Brazilian") << QStringList{"LANG=pt_BR.UTF-8"} << "pt_BR" << "" << "hunspell-pt-br";
    QTest::newRow("Bokmal") << QStringList{"LANG=nb_NO.UTF-8"} << "nb_NO" << "" << "hunspell-no";
}

void Spelling::localeNamesTheDictionary()
{
    QFETCH(QStringList, environment);
    QFETCH(QString, language);
    QFETCH(QString, dictionary);
    QFETCH(QString, package);
    std::map<QString, QString> variables;
    for (const QString &setting : environment)
        variables[setting.section(u'=', 0, 0)] = setting.section(u'=', 1);
    const QString found =
        Desktop::SpellingSettings::localeLanguage([&](const char *name) { return variables[QString::fromLatin1(name)]; });
    QCOMPARE(found, language);
    const QStringList installed{"de_BE", "de_DE", "de_LU", "en_US"};
    QCOMPARE(Desktop::SpellingSettings::dictionaryFor(found, installed), dictionary);
    QCOMPARE(Desktop::SpellingSettings::packageFor(found), package);
}

void Spelling::languageWithoutDictionaryMarksNothing_data()
{
    QTest::addColumn<QByteArray>("dictionaries");  // XDG_DATA_DIRS; empty: unset
    QTest::addColumn<QString>("missing");
    QTest::newRow("French") << QByteArray() << "Fran\u00e7ais (France): no dictionary installed (install hunspell-fr)";
    QTest::newRow("none installed") << QByteArray("/nonexistent") << "No dictionary installed (install hunspell-fr)";
}

// A language without its dictionary marks nothing, and the box looks as it
// does without spelling; the menu says what is missing and offers what is
// installed, and choosing one marks at once and is kept.
void Spelling::languageWithoutDictionaryMarksNothing()
{
    QFETCH(QByteArray, dictionaries);
    QFETCH(QString, missing);
    qputenv("LANGUAGE", "fr_FR");
    if (!dictionaries.isEmpty())
        qputenv("XDG_DATA_DIRS", dictionaries);
    QLineEdit *box = spellingStarted(QStringLiteral("Un chat, a caat"));
    QVERIFY(!spelling->hasDictionary());
    QCOMPARE(misspelledRuns(box), QStringList());
    const QImage marked = box->grab().toImage();
    spelling.reset();
    QCOMPARE(box->grab().toImage(), marked);

    box = spellingStarted(box->text());
    QMenu *languages = item(openMenu(box, 11), QStringLiteral("Language"))->menu();
    QCOMPARE(languages->actions().front()->text(), missing);
    QVERIFY(!languages->actions().front()->isEnabled());
    if (!dictionaries.isEmpty())
        return;
    item(languages, QStringLiteral("American English"))->trigger();
    QTRY_COMPARE(misspelledRuns(box), QStringList({"0:Un", "11:caat"}));
    QCOMPARE(contents(home.filePath(QStringLiteral("config/wrenfield/wrenfield.conf"))),
             QStringLiteral("[spelling]\ncheck=true\nlanguage=en_US\n"));
}

void Spelling::damagedSettingsAreIgnored_data()
{
    QTest::addColumn<QByteArray>("file");  // "(folder)": a folder in its place
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("trouble");
    QTest::newRow("sound") << QByteArray("# mine\n[spelling]\ncheck=false\nlanguage=de_DE\n[later]\nx=1\n") << false
                           << "de_DE" << "";
    QTest::newRow("other keys") << QByteArray("[spelling]\r\nspeed=9\r\n") << true << "" << "";
    QTest::newRow("not a boolean") << QByteArray("[spelling]\ncheck=maybe\n") << true << ""
                                   << "line 2 is not understood";
    QTest::newRow("no value") << QByteArray("[spelling]\ncheck\n") << true << "" << "line 2 is not understood";
    QTest::newRow("a path for a language") << QByteArray("[spelling]\nlanguage=../../x\n") << true << ""
                                           << "line 2 is not understood";
    QTest::newRow("not UTF-8") << QByteArray("[spelling]\ncheck=\xff\xfe\n") << true << "" << "it is not UTF-8 text";
    QTest::newRow("too large") << QByteArray(5000, '#') << true << "" << "it is larger than 4096 bytes";
    QTest::newRow("a folder") << QByteArray("(folder)") << true << "" << "file to open is a directory";
}

// A damaged file is ignored whole and said why; a missing one silently.
void Spelling::damagedSettingsAreIgnored()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, on);
    QFETCH(QString, language);
    QFETCH(QString, trouble);
    const QString path = home.filePath(QStringLiteral("settings.conf"));
    QFile::remove(path);
    QDir(path).removeRecursively();
    QString said = QStringLiteral("(unset)");
    QCOMPARE(Desktop::SpellingSettings::read(path, &said).on, true);
    QCOMPARE(said, QString());
    if (file == "(folder)") {
        QVERIFY(QDir().mkpath(path));
    } else {
        QFile written(path);
        QVERIFY(written.open(QIODevice::WriteOnly) && written.write(file) == file.size());
    }
    const Desktop::SpellingSettings::Settings settings = Desktop::SpellingSettings::read(path, &said);
    QCOMPARE(settings.on, on);
    QCOMPARE(settings.language, language);
    QVERIFY2(trouble.isEmpty() ? said.isEmpty() : said.contains(trouble), qPrintable(said));
}

void Spelling::marksStandOutInLightAndDarkThemes_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

// The marks are drawn under the misspelled word alone, below the middle of
// the line, at 3 : 1 at least against the box; switched off, nothing is.
void Spelling::marksStandOutInLightAndDarkThemes()
{
    QFETCH(bool, dark);
    if (dark)
        QApplication::setPalette(darkPalette());
    QLineEdit *box = spellingStarted(QStringLiteral("A smal cat"));
    box->setCursorPosition(0);
    QTRY_COMPARE(misspelledRuns(box), QStringList{"2:smal"});
    const QImage on = box->grab().toImage();
    spelling->switchOn(false);
    const QImage off = box->grab().toImage();
    QAccessibleTextInterface *text = QAccessible::queryAccessibleInterface(box)->textInterface();
    const QRect word(box->mapFromGlobal(text->characterRect(2).topLeft()),
                     box->mapFromGlobal(text->characterRect(5).bottomRight()));
    const QColor base = box->palette().color(QPalette::Base);
    double strongest = 0;
    for (int y = 0; y < on.height(); ++y)
        for (int x = 0; x < on.width(); ++x) {
            if (on.pixel(x, y) == off.pixel(x, y))
                continue;
            QVERIFY2(x >= word.left() - 2 && x <= word.right() + 2 && y > word.center().y(),
                     qPrintable(QStringLiteral("a mark at %1, %2; the word is %3").arg(x).arg(y).arg(QDebug::toString(word))));
            strongest = std::max(strongest, Desktop::contrastRatio(on.pixelColor(x, y), base));
        }
    QVERIFY2(strongest >= 3.0, qPrintable(QString::number(strongest)));
    spelling->switchOn(true);
}

QTEST_MAIN(Spelling)
#include "tst_spelling.moc"
