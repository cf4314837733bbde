// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "StoryRecord.h"

#include <QWidget>

class WindowRegistry;

// The Player 2 window: gender, marital status and personality, the one-word
// title box, and "&Ok", which composes the story file's name.
class frmp2 : public QWidget {
    Q_OBJECT

public:
    frmp2(StoryRecord &story, WindowRegistry &windows);

private:
    void Text1_Change(const QString &text);
    void Command1_Click();
    void showTitleProblem(const QString &explanation);
    void selectTitleProblem();

    StoryRecord &story;
    WindowRegistry &windows;
    qsizetype problemStart = 0;   // the part of the title box that keeps the
    qsizetype problemLength = 0;  // story file's name from being saved
};
