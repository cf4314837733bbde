// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "StoryRecord.h"

#include <QWidget>

class WindowRegistry;

// The Player 1 window: gender, marital status, personality and age relative
// to Player 2, each a group of options, and "&Ok".
class frmp1 : public QWidget {
    Q_OBJECT

public:
    frmp1(StoryRecord &story, WindowRegistry &windows);

private:
    void Command1_Click();

    WindowRegistry &windows;
};
