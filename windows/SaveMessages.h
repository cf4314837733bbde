// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "StorySave.h"
#include "UnfinishedSave.h"

#include <QCoreApplication>
#include <QString>

class QMessageBox;
class QWidget;

// The words the user reads about a save and about a save cut short: what
// the core reports (a kind, paths, error numbers), said as sentences,
// translatable, in one place. Paths are always shown as “path”.
class SaveMessages {
    Q_DECLARE_TR_FUNCTIONS(SaveMessages)

public:
    // When a save cut short was resolved: as the program started, or just
    // before a save of the user's.
    enum class When { AtStart, AtSave };

    // A path in the one quoting style of every message: “/home/ann/a.txt”.
    static QString quoted(const QString &path);
    // The system's text for an error number, as strerror gives it.
    static QString errorText(int error);

    // One plain sentence about what is wrong with a story file's name, e.g.
    // A title word can't contain "?".
    static QString nameProblem(const NameProblem &problem, const QString &name);

    // A failed save, as a few lines: "17: File exists", the story file as
    // the program names it, where it is on disk, and what to do.
    static QString saveError(const SaveError &error);
    // The heading above it.
    static QString saveErrorHeading(const SaveError &error);

    // One line for standard error about a save cut short; empty when there
    // was nothing to do.
    static QString resolutionLine(const Resolution &resolution);
    // What screen readers say with the main window after a save: the story
    // is saved, and as which file (its name, unquoted: a reader would say
    // the quotation marks).
    static QString savedSpoken(const QString &realPath);

    // A few plain sentences for a window; empty when there is nothing to
    // tell (see Resolution::worthTelling).
    static QString resolutionMessage(const Resolution &resolution, When when);
    static QString resolutionHeading(const Resolution &resolution, When when);

private:
    static QString saveAdvice(const SaveError &error);
    static QString systemAdvice(const SaveError &error);
    static QString unfinishedAdvice(const SaveError &error);
    static QString lockAdvice(const SaveError &error);
    static QString stagingAdvice(const SaveError &error);
    static QString leftHalfDone(const SaveError &error);
    static QString recordProblem(const Resolution &resolution);
    static QString unprovenReason(const Resolution &resolution);
    static QString setAsideLine(const Resolution &resolution);
    static QString setAsideMessage(const Resolution &resolution);
    static QString doneMessage(const Resolution &resolution, When when);
};

// The window that tells the user what became of a save that an earlier run
// (or copy) left unfinished: finished, or its record set aside with the
// story kept in it, or left. Its "Show folder" button (objectName
// "showFolder") is for opening the story folder. Nothing when there is
// nothing to tell.
QMessageBox *unfinishedSaveNotice(const Resolution &resolution, SaveMessages::When when, QWidget *parent = nullptr);
