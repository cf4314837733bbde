// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "StoryRecord.h"

#include <QWidget>

class WindowRegistry;

// The genre window: eleven options, one per kind of story, and "&Ok".
class frmgenre : public QWidget {
    Q_OBJECT

public:
    frmgenre(StoryRecord &story, WindowRegistry &windows);

private:
    void Command1_Click();

    WindowRegistry &windows;
};
