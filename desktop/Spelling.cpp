// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "Spelling.h"

#include "SpellingWords.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QThread>

#include <hunspell.hxx>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Desktop {

// One Hunspell dictionary, with the words of the shared personal word list
// added and those of its exclusion list (NAME.exc beside it) taken out.
class Dictionary {
public:
    static std::unique_ptr<Dictionary> open(const QString &name, const QStringList &folders)
    {
        for (const QString &folder : folders) {
            const QString base = folder + u'/' + name;
            if (!QFileInfo::exists(base + QStringLiteral(".aff")) || !QFileInfo::exists(base + QStringLiteral(".dic")))
                continue;
            auto dictionary = std::unique_ptr<Dictionary>(new Dictionary(name, base));
            return dictionary->encoder.isValid() ? std::move(dictionary) : nullptr;
        }
        return nullptr;
    }

    bool spells(const QString &word)
    {
        if (excluded.contains(word))
            return false;
        const std::optional<std::string> encoded = encode(word);
        return encoded && hunspell.spell(*encoded);
    }

    QStringList suggest(const QString &word, int most)
    {
        QStringList words;
        const std::optional<std::string> encoded = encode(word);
        if (!encoded)
            return words;
        for (const std::string &suggestion : hunspell.suggest(*encoded)) {
            if (words.size() == most)
                break;
            words << decoder.decode(QByteArrayView(suggestion.data(), qsizetype(suggestion.size())));
        }
        return words;
    }

    void add(const QString &word)
    {
        excluded.remove(word);
        if (const std::optional<std::string> encoded = encode(word))
            hunspell.add(*encoded);
    }

    const QString name;
    const QChar::Script script;  // of the language's letters; Script_Unknown: any

private:
    Dictionary(const QString &name, const QString &base)
        : name(name), script(scriptOf(name)),
          hunspell(QFile::encodeName(base + QStringLiteral(".aff")).constData(),
                   QFile::encodeName(base + QStringLiteral(".dic")).constData()),
          encoder(hunspell.get_dict_encoding().c_str()), decoder(hunspell.get_dict_encoding().c_str())
    {
        if (!encoder.isValid())
            return;
        for (const QString &word : wordsIn(SpellingSettings::personalWordList(name)))
            add(word);
        for (const QString &word : wordsIn(SpellingSettings::personalWordList(name).chopped(4) + QStringLiteral(".exc")))
            excluded.insert(word);
    }

    static QChar::Script scriptOf(const QString &name)
    {
        const QString native = QLocale(name).nativeLanguageName();
        return native.isEmpty() ? QChar::Script_Unknown : QChar::script(native.toUcs4().front());
    }

    // The words of a word list as Enchant writes them: one a line, in
    // UTF-8, lines starting with "#" left out.
    static QStringList wordsIn(const QString &path)
    {
        QFile file(path);
        QStringList words;
        if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
            return words;
        for (QByteArray line; !(line = file.readLine(4096)).isEmpty();) {
            QStringDecoder decode(QStringDecoder::Utf8);
            const QString word = QString(decode(line)).trimmed();
            if (!decode.hasError() && !word.isEmpty() && !word.startsWith(u'#'))
                words << SpellingWords::dictionaryForm(word);
        }
        return words;
    }

    std::optional<std::string> encode(const QString &word)
    {
        const QByteArray bytes = encoder.encode(word);
        if (encoder.hasError()) {
            encoder.resetState();
            return std::nullopt;  // no word of this dictionary's letters
        }
        return bytes.toStdString();
    }

    Hunspell hunspell;
    QStringEncoder encoder;
    QStringDecoder decoder;
    QSet<QString> excluded;
};

namespace {

Spelling *latest = nullptr;
QList<QPointer<QLineEdit>> watched;

void repaintWatchedBoxes()
{
    watched.removeAll(nullptr);
    for (const QPointer<QLineEdit> &box : std::as_const(watched))
        box->update();
}

QString tr(const char *text) { return QCoreApplication::translate("Desktop::Spelling", text); }

void printLine(const QString &text) { std::fprintf(stderr, "Wrenfield: %s\n", text.toLocal8Bit().constData()); }

// The dictionaries in `folders` by name, each NAME.dic with its NAME.aff.
QStringList installedIn(const QStringList &folders)
{
    QStringList names;
    for (const QString &folder : folders) {
        const QDir dir(folder);
        for (const QString &file : dir.entryList({QStringLiteral("*.dic")}, QDir::Files | QDir::Readable)) {
            const QString name = file.chopped(4);
            if (dir.exists(name + QStringLiteral(".aff")))
                names << name;
        }
    }
    names.removeDuplicates();
    names.sort();
    return names;
}

// Whether every letter of `word` is of `script`, or of none in particular.
bool inScript(const QString &word, QChar::Script script)
{
    if (script == QChar::Script_Unknown)
        return true;
    for (const char32_t c : word.toUcs4()) {
        const QChar::Script s = QChar::script(c);
        if (s != script && s != QChar::Script_Common && s != QChar::Script_Inherited)
            return false;
    }
    return true;
}

// Appends `word` to the word list at `path`, making it and its folder when
// missing, under the lock Enchant takes, and syncs it to the disk.
bool appendWord(const QString &path, const QString &word, QString *error)
{
    const QString folder = QFileInfo(path).path();
    const bool made = !QFileInfo::exists(path);
    // the folder readable by its owner alone, as Enchant makes it
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(folder).path())
        || (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)) {
        *error = tr("its folder cannot be made");
        return false;
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    ::flock(fd, LOCK_EX);
    char last = '\n';
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size > 0 && ::pread(fd, &last, 1, size - 1) != 1)
        last = '\n';
    const QByteArray line = (last == '\n' ? QByteArray() : QByteArray("\n")) + word.toUtf8() + '\n';
    bool written = ::write(fd, line.constData(), size_t(line.size())) == line.size() && ::fsync(fd) == 0;
    if (!written)
        *error = QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    if (written && made) {
        const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
    return written;
}

} // namespace

// What a load brings back from its thread.
struct Spelling::Load {
    bool first = false;  // the settings file read too
    SpellingSettings::Settings settings;
    QString trouble;
    QString language;
    QStringList installed;
    std::unique_ptr<Dictionary> dictionary;
};

Spelling::Spelling(QObject *parent)
    : QObject(parent)
{
    latest = this;
    connect(this, &Spelling::changed, this, &repaintWatchedBoxes);
}

Spelling::~Spelling()
{
    if (loader) {
        loader->wait();
        delete loader;
    }
    if (latest == this)
        latest = nullptr;
}

Spelling *Spelling::current() { return latest; }

void Spelling::watch(QLineEdit *box) { watched << box; }

void Spelling::start()
{
    if (std::exchange(started_, true))
        return;
    load(QString());
}

void Spelling::load(const QString &chosen)
{
    result = std::make_unique<Load>();
    Load *job = result.get();
    job->first = chosen.isNull();
    loader = QThread::create([job, chosen] {
        QString language = chosen;
        if (job->first) {
            job->settings = SpellingSettings::read(SpellingSettings::settingsFile(), &job->trouble);
            language = job->settings.language;
        }
        job->language = language.isEmpty() ? SpellingSettings::localeLanguage() : language;
        const QStringList folders = SpellingSettings::dictionaryFolders();
        job->installed = installedIn(folders);
        const QString name = SpellingSettings::dictionaryFor(job->language, job->installed);
        if (!name.isEmpty())
            job->dictionary = Dictionary::open(name, folders);
    });
    connect(loader, &QThread::finished, this, &Spelling::loaded);
    loader->start(QThread::LowPriority);
}

void Spelling::loaded()
{
    delete std::exchange(loader, nullptr);
    const std::unique_ptr<Load> job = std::move(result);
    if (job->first) {
        settings = job->settings;
        if (!job->trouble.isEmpty())
            printLine(tr("the settings file %1 is ignored: %2.").arg(SpellingSettings::settingsFile(), job->trouble));
    }
    language_ = job->language;
    installed_ = job->installed;
    dictionary = std::move(job->dictionary);
    spelled.clear();
    if (std::exchange(waiting, false))
        load(waitingLanguage);
    emit changed();
}

void Spelling::switchOn(bool on)
{
    settings.on = on;
    keepSettings();
    emit changed();
}

void Spelling::chooseLanguage(const QString &name)
{
    settings.language = name;
    keepSettings();
    if (loader) {
        waiting = true;
        waitingLanguage = name;
    } else {
        load(name);
    }
}

void Spelling::keepSettings()
{
    QString error;
    const QString path = SpellingSettings::settingsFile();
    if (!SpellingSettings::write(path, settings, &error))
        printLine(tr("the spelling settings could not be kept in %1: %2.").arg(path, error));
}

bool Spelling::known(QStringView word)
{
    if (!settings.on || !dictionary)
        return true;
    const QString form = SpellingWords::dictionaryForm(word);
    if (ignored.contains(form) || !inScript(form, dictionary->script))
        return true;
    const auto found = spelled.constFind(form);
    if (found != spelled.constEnd())
        return *found;
    if (spelled.size() >= 50000)
        spelled.clear();  // a bound on memory; words come back as they are met
    return *spelled.insert(form, dictionary->spells(form));
}

QStringList Spelling::suggestions(QStringView word)
{
    return dictionary ? dictionary->suggest(SpellingWords::dictionaryForm(word), 5) : QStringList();
}

void Spelling::addToDictionary(QStringView word)
{
    if (!dictionary)
        return;
    const QString form = SpellingWords::dictionaryForm(word);
    dictionary->add(form);
    spelled.remove(form);
    QString error;
    const QString path = SpellingSettings::personalWordList(dictionary->name);
    if (!appendWord(path, form, &error))
        printLine(tr("the word %1 could not be added to %2: %3.").arg(form, path, error));
    emit changed();
}

void Spelling::ignore(QStringView word)
{
    ignored.insert(SpellingWords::dictionaryForm(word));
    emit changed();
}

} // namespace Desktop
