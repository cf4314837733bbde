// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// What spelling starts from: the user's language, the dictionaries installed,
// the choices kept from the menu, and where all of them are.
namespace Desktop::SpellingSettings {

// What the menu's choices keep for the next run.
struct Settings {
    bool on = true;    // "Check Spelling"
    QString language;  // the dictionary chosen ("de_DE"); empty: the locale's language
    friend bool operator==(const Settings &, const Settings &) = default;
};

// Reads an environment variable; the process's own unless told otherwise.
using Environment = std::function<QString(const char *name)>;
QString processVariable(const char *name);

// The language of the user's locale as dictionaries are named ("de_DE",
// "pt_BR", "fr"): from the first of LANGUAGE (its first entry), LC_ALL,
// LC_MESSAGES and LANG that is set, without encoding or variant; English
// ("en_US") for the C and POSIX locales, which name no language.
QString localeLanguage(const Environment &environment = processVariable);

// The installed dictionary for `language`: the one of its name, else one of
// the same language, the language's own country first (de_DE for de_AT);
// empty when none is. Never one of another language.
QString dictionaryFor(const QString &language, const QStringList &installed);

// The Debian package that installs a dictionary for `language`.
QString packageFor(const QString &language);

// The folders the dictionaries (NAME.aff and NAME.dic) are looked for in:
// hunspell/ in $XDG_DATA_HOME and in each of $XDG_DATA_DIRS
// (/usr/local/share:/usr/share when unset).
QStringList dictionaryFolders(const Environment &environment = processVariable);

// The settings file, $XDG_CONFIG_HOME/wrenfield/wrenfield.conf (XDG_CONFIG_HOME
// is ~/.config unless set to a full path); empty without a home.
QString settingsFile(const Environment &environment = processVariable);

// The personal word list of dictionary `name` that the desktop's programs
// share through the Enchant library: NAME.dic in $ENCHANT_CONFIG_DIR, or
// else in enchant/ of the configuration folder; empty without a home.
QString personalWordList(const QString &name, const Environment &environment = processVariable);

// The settings in `path`: the defaults when it is missing; when it cannot be
// read or is damaged too, and then `trouble` says why.
Settings read(const QString &path, QString *trouble);

// Writes `settings` to `path` whole or not at all, making its folder.
bool write(const QString &path, const Settings &settings, QString *error);

} // namespace Desktop::SpellingSettings
