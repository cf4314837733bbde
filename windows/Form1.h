// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "StoryRecord.h"

#include <QString>
#include <QWidget>

class WindowRegistry;
struct SaveError;

// The story page: the full title and the author's name, and "DONE!", which
// lays the story out, saves it and moves on to the main window.
class Form1 : public QWidget {
    Q_OBJECT

public:
    // storyRoot is the folder that stands for drive C: (see StorySave.h).
    Form1(StoryRecord &story, WindowRegistry &windows, const QString &storyRoot);

private:
    void Command3_Click();
    void save(const QString &storyFilePath, const QString &storyText);
    void showSaveError(const SaveError &error, const QString &storyText);

    StoryRecord &story;
    WindowRegistry &windows;
    const QString storyRoot;
    bool saving = false;
};
