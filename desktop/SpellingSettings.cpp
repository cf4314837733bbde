// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SpellingSettings.h"

#include "Places.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>

namespace Desktop::SpellingSettings {
namespace {

// A settings file larger than this is no file of ours.
constexpr qint64 LargestFile = 4096;

QString tr(const char *text) { return QCoreApplication::translate("Desktop::Spelling", text); }

// The folder an XDG variable names when it is a full path, else `fallback` in the home folder.
QString xdgFolder(const Environment &environment, const char *variable, const char *fallback)
{
    const QString folder = environment(variable);
    if (folder.startsWith(u'/'))
        return QDir::cleanPath(folder);
    QString home = environment("HOME");
    if (!home.startsWith(u'/'))
        home = userHomeFolder();
    return home.isEmpty() ? QString() : QDir::cleanPath(home) + u'/' + QLatin1StringView(fallback);
}

QString configHome(const Environment &environment) { return xdgFolder(environment, "XDG_CONFIG_HOME", ".config"); }

bool isDictionaryName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[a-z]{2,3}([_-][A-Za-z0-9]{2,8})*$"));
    return name.size() <= 32 && pattern.match(name).hasMatch();
}

// The settings in `text`, or why they are not.
Settings parse(const QString &text, QString *trouble)
{
    Settings settings;
    QString section;
    const QStringList lines = text.split(u'\n');
    for (qsizetype number = 0; number < lines.size(); ++number) {
        const QString line = lines[number].trimmed();
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        const QString key = line.left(equals).trimmed(), value = line.mid(equals + 1).trimmed();
        bool sound = equals > 0;
        if (sound && section == u"spelling" && key == u"check")
            sound = value == u"true" || value == u"false", settings.on = value != u"false";
        else if (sound && section == u"spelling" && key == u"language")
            sound = value.isEmpty() || isDictionaryName(value), settings.language = value;
        if (!sound) {
            *trouble = tr("line %1 is not understood").arg(number + 1);
            return {};
        }
    }
    return settings;
}

} // namespace

QString processVariable(const char *name) { return qEnvironmentVariable(name); }

QString localeLanguage(const Environment &environment)
{
    QString locale;
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = environment(name).section(u':', 0, 0).trimmed();
        if (!locale.isEmpty())
            break;
    }
    locale = locale.section(u'.', 0, 0).section(u'@', 0, 0).replace(u'-', u'_');  // de_DE.UTF-8@euro
    const QString language = locale.section(u'_', 0, 0).toLower(), country = locale.section(u'_', 1, 1).toUpper();
    if (language.isEmpty() || language == u"c" || language == u"posix" || !isDictionaryName(language))
        return QStringLiteral("en_US");
    return country.isEmpty() ? language : language + u'_' + country;
}

QString dictionaryFor(const QString &language, const QStringList &installed)
{
    const QString code = language.section(u'_', 0, 0);
    for (const QString &candidate : {language, code + u'_' + code.toUpper(), code})
        if (installed.contains(candidate))
            return candidate;
    for (const QString &name : installed)
        if (name.section(u'_', 0, 0) == code)
            return name;
    return {};
}

QString packageFor(const QString &language)
{
    // Dictionaries packaged one per country; every other language has one package.
    static const QStringList byCountry{QStringLiteral("de_DE"), QStringLiteral("de_AT"), QStringLiteral("de_CH"),
                                       QStringLiteral("en_US"), QStringLiteral("en_GB"), QStringLiteral("en_AU"),
                                       QStringLiteral("en_CA"), QStringLiteral("en_ZA"), QStringLiteral("pt_PT"),
                                       QStringLiteral("pt_BR")};
    QString code = language.section(u'_', 0, 0);
    QString name = language;
    if (!byCountry.contains(name)) {
        const auto first = std::find_if(byCountry.begin(), byCountry.end(),
                                        [&](const QString &c) { return c.startsWith(code + u'_'); });
        name = first != byCountry.end() ? *first : code == u"nb" || code == u"nn" ? QStringLiteral("no") : code;
    }
    return QStringLiteral("hunspell-") + name.toLower().replace(u'_', u'-');
}

QStringList dictionaryFolders(const Environment &environment)
{
    QStringList folders;
    const QString dataHome = xdgFolder(environment, "XDG_DATA_HOME", ".local/share");
    if (!dataHome.isEmpty())
        folders << dataHome;
    QString dirs = environment("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString &dir : dirs.split(u':', Qt::SkipEmptyParts))
        if (dir.startsWith(u'/'))
            folders << QDir::cleanPath(dir);
    for (QString &folder : folders)
        folder += QStringLiteral("/hunspell");
    folders.removeDuplicates();
    return folders;
}

QString settingsFile(const Environment &environment)
{
    const QString config = configHome(environment);
    return config.isEmpty() ? QString() : config + QStringLiteral("/wrenfield/wrenfield.conf");
}

QString personalWordList(const QString &name, const Environment &environment)
{
    QString folder = environment("ENCHANT_CONFIG_DIR");
    if (folder.isEmpty()) {
        const QString config = configHome(environment);
        folder = config.isEmpty() ? QString() : config + QStringLiteral("/enchant");
    }
    return folder.isEmpty() ? QString() : QDir::cleanPath(folder) + u'/' + name + QStringLiteral(".dic");
}

Settings read(const QString &path, QString *trouble)
{
    trouble->clear();
    QFile file(path);
    if (path.isEmpty() || !file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        *trouble = file.errorString();
        return {};
    }
    const QByteArray bytes = file.read(LargestFile + 1);
    if (file.error() != QFileDevice::NoError) {
        *trouble = file.errorString();
        return {};
    }
    if (bytes.size() > LargestFile) {
        *trouble = tr("it is larger than %1 bytes").arg(LargestFile);
        return {};
    }
    QStringDecoder decode(QStringDecoder::Utf8);
    const QString text = decode(bytes);
    if (decode.hasError() || text.contains(QChar(0))) {
        *trouble = tr("it is not UTF-8 text");
        return {};
    }
    return parse(text, trouble);
}

bool write(const QString &path, const Settings &settings, QString *error)
{
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).path())) {
        *error = tr("its folder cannot be made");
        return false;
    }
    QSaveFile file(path);
    QByteArray text = "[spelling]\ncheck=" + QByteArray(settings.on ? "true" : "false") + '\n';
    if (!settings.language.isEmpty())
        text += "language=" + settings.language.toUtf8() + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace Desktop::SpellingSettings
