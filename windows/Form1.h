// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "Draft.h"
#include "StoryRecord.h"
#include "StorySave.h"

#include <QString>
#include <QWidget>

#include <memory>

class QThread;
class QTimer;
class WindowRegistry;

// The story page: the full title and the author's name, and "DONE!", which
// lays the story out, saves it and moves on to the main window.
class Form1 : public QWidget {
    Q_OBJECT

public:
    // storyRoot is the folder that stands for drive C: (see StorySave.h).
    Form1(StoryRecord &story, WindowRegistry &windows, const QString &storyRoot);
    ~Form1() override;

    // The bytes "DONE!" would save for a draft taken on this page: its record
    // with the full title and the name from the page's boxes. Nothing for a
    // draft taken on another window.
    static QByteArray storyBytesOf(const Draft &draft);

    // Whether a save this page started still runs after the page is gone:
    // the program then ends without waiting for it, as a kill would end it,
    // and the next start finishes it from its record.
    static bool saveLeftRunning();

private:
    // One save, run on a thread of its own: what it saves, and what became
    // of it and of a save cut short before it.
    struct SaveRun {
        QString storyFilePath, storyText;
        std::optional<SaveError> error;
        Resolution earlier;
    };

    void Command3_Click();
    void save(const QString &storyFilePath, const QString &storyText);
    void showSaving();
    void saveFinished();
    void showSaveError(const SaveError &error, const QString &storyText);
    void tellAboutEarlierSave(const Resolution &earlier);

    StoryRecord &story;
    WindowRegistry &windows;
    const QString storyRoot;
    bool saving = false;
    std::shared_ptr<SaveRun> run;
    QThread *saver = nullptr;
    QTimer *savingShown;
};
