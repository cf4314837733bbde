// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "SpellingSettings.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <memory>

class QLineEdit;
class QThread;

// The spelling of the boxes that are checked (see SpellingBox.h): a Hunspell
// dictionary of the user's language, with the personal word list the
// desktop's programs share, the words ignored for this run, and the choices
// of the boxes' menu, kept in the settings file.
//
// Nothing is read or loaded until start(), and then off the GUI thread: the
// settings file, the list of installed dictionaries, and the dictionary. Only
// the user's own changes write: the settings file when a choice changes, the
// word list when a word is added (appended and synced, so that no crash can
// lose a word or the words before it).
namespace Desktop {

class Dictionary;

class Spelling : public QObject {
    Q_OBJECT

public:
    explicit Spelling(QObject *parent = nullptr);
    ~Spelling() override;

    // The one the boxes use: the last one made that is still there.
    static Spelling *current();

    // Loads what spelling needs on a thread of its own; only the first call does.
    void start();
    bool started() const { return started_; }
    bool loading() const { return loader != nullptr; }
    // Whether the first load is done: the settings and the dictionaries known.
    bool ready() const { return !language_.isEmpty(); }

    bool switchedOn() const { return settings.on; }
    void switchOn(bool on);

    // The language spelled (the chosen one, else the locale's), and whether
    // its dictionary is loaded; the dictionaries installed, by name.
    QString language() const { return language_; }
    bool hasDictionary() const { return dictionary != nullptr; }
    QStringList installed() const { return installed_; }
    // Spells in dictionary `name` from now on, and keeps that choice.
    void chooseLanguage(const QString &name);

    // Whether `word` is spelled right: always while nothing is checked, and
    // for words in other scripts than the dictionary's.
    bool known(QStringView word);
    // Up to five words the dictionary would put for `word`.
    QStringList suggestions(QStringView word);
    void addToDictionary(QStringView word);
    void ignore(QStringView word);

    // Checked boxes: each is painted again whenever what it marks may change.
    static void watch(QLineEdit *box);

signals:
    // What is marked may have changed: a dictionary loaded, a word added or
    // ignored, the switch or the language changed.
    void changed();

private:
    void load(const QString &chosen);
    void loaded();
    void keepSettings();

    bool started_ = false;
    SpellingSettings::Settings settings;
    QString language_;
    QStringList installed_;
    std::unique_ptr<Dictionary> dictionary;
    QHash<QString, bool> spelled;  // words looked up, in dictionary form
    QSet<QString> ignored;
    QThread *loader = nullptr;
    QString waitingLanguage;  // chosen while a load ran: loaded next
    bool waiting = false;
    struct Load;
    std::unique_ptr<Load> result;
};

} // namespace Desktop
