// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "StoryRecord.h"

#include <QWidget>

class WindowRegistry;

// The speeches window: four exchanges, each a first and a second speaker's
// speech in a frame of its own, and "Click When Done", which copies the
// eight speeches into the story record and moves on to the story page.
class mswfrm : public QWidget {
    Q_OBJECT

public:
    mswfrm(StoryRecord &story, WindowRegistry &windows);

private:
    void Command1_Click();

    StoryRecord &story;
    WindowRegistry &windows;
};
