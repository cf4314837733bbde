// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "mswfrm.h"

#include "Accessibility.h"
#include "ControlTable.h"
#include "SpellingBox.h"
#include "WindowRegistry.h"

#include <QLineEdit>
#include <QPushButton>

namespace {
using namespace Layout;

const WindowLayout form{"mswfrm", "Wrenfield", 5160, 9480, QPoint(4365, 1110)};

// Label1(1) lies wholly behind Frame1 and is never seen; the caption-less
// Label2(1) sits where Frame2 draws its caption and, being transparent,
// leaves that caption visible.
const Control controls[] = {
    // name        kind                 in        caption             left  top   width height tab
    {"Command1",  Kind::CommandButton, "",       "Click When Done",  1200, 8760, 1935, 495,  12},
    {"Frame4",    Kind::Frame,         "",       "Fourth Speeches",  0,    6840, 5055, 2535, 9},
    {"Text8",     Kind::TextBox,       "Frame4", "",                 240,  720,  4455, 375,  11},
    {"Text7",     Kind::TextBox,       "Frame4", "",                 240,  1440, 4455, 375,  10},
    {"Label2(4)", Kind::Label,         "Frame4", "Second Speaker",   240,  1200, 1695, 255,  22},
    {"Label1(4)", Kind::Label,         "Frame4", "First Speaker",    240,  360,  1335, 255,  17},
    {"Frame3",    Kind::Frame,         "",       "Third Speeches",   0,    4560, 5055, 2175, 5},
    {"Text6",     Kind::TextBox,       "Frame3", "",                 240,  720,  4455, 375,  7},
    {"Text5",     Kind::TextBox,       "Frame3", "",                 240,  1440, 4455, 375,  6},
    {"Label2(3)", Kind::Label,         "Frame3", "Second Speaker",   240,  1200, 1695, 255,  21},
    {"Label1(2)", Kind::Label,         "Frame3", "First Speaker",    240,  360,  1335, 255,  15},
    {"Frame2",    Kind::Frame,         "",       "Second Speeches",  0,    2280, 5055, 2175, 2},
    {"Text4",     Kind::TextBox,       "Frame2", "",                 240,  1440, 4455, 375,  4},
    {"Text3",     Kind::TextBox,       "Frame2", "",                 240,  720,  4455, 375,  3},
    {"Label2(2)", Kind::Label,         "Frame2", "Second Speaker",   240,  1200, 1695, 255,  20},
    {"Label2(1)", Kind::Label,         "Frame2", "",                 0,    0,    1695, 255,  19},
    {"Label1(3)", Kind::Label,         "Frame2", "First Speaker",    240,  360,  1335, 255,  16},
    {"Frame1",    Kind::Frame,         "",       "First Speeches",   0,    0,    5055, 2175, 0},
    {"Text2",     Kind::TextBox,       "Frame1", "",                 240,  1440, 4695, 375,  8},
    {"Text1",     Kind::TextBox,       "Frame1", "",                 240,  720,  4695, 375,  1},
    {"Label2(0)", Kind::Label,         "Frame1", "Second Speaker",   240,  1200, 1695, 255,  18},
    {"Label1(0)", Kind::Label,         "Frame1", "First Speaker",    240,  360,  1335, 255,  13},
    {"Label1(1)", Kind::Label,         "",       "First Speaker",    0,    0,    1335, 255,  14},
};

// What screen readers say for each box: its speaker, as its prompt says
// (the frame around it, entered, says which exchange). The two labels that
// show nothing are left out.
const Desktop::SpokenName spoken[] = {
    {"Text1", nullptr, "Label1(0)"},
    {"Text2", nullptr, "Label2(0)"},
    {"Text3", nullptr, "Label1(3)"},
    {"Text4", nullptr, "Label2(2)"},
    {"Text6", nullptr, "Label1(2)"},
    {"Text5", nullptr, "Label2(3)"},
    {"Text8", nullptr, "Label1(4)"},
    {"Text7", nullptr, "Label2(4)"},
    {"Label1(1)", nullptr},
    {"Label2(1)", nullptr},
};

// Every speech box is checked for spelling.
const char *const spelled[] = {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "Text8"};

// Which box feeds which speech, in the order they are copied. The upper box
// of each frame is the first speaker (odd speeches), the lower one the
// second; in the third and fourth frames the upper box bears the higher
// number, so Text6 gives Speech5 and Text8 gives Speech7.
struct SpeechBox {
    const char *box;
    QString StoryRecord::*speech;
};

const SpeechBox speechBoxes[] = {
    {"Text1", &StoryRecord::Speech1},
    {"Text2", &StoryRecord::Speech2},
    {"Text3", &StoryRecord::Speech3},
    {"Text4", &StoryRecord::Speech4},
    {"Text6", &StoryRecord::Speech5},
    {"Text5", &StoryRecord::Speech6},
    {"Text8", &StoryRecord::Speech7},
    {"Text7", &StoryRecord::Speech8},
};

} // namespace

mswfrm::mswfrm(StoryRecord &story, WindowRegistry &windows)
    : story(story), windows(windows)
{
    buildWindow(this, form, controls);
    Desktop::nameForScreenReaders(this, spoken);
    Desktop::checkSpelling(this, spelled);
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &mswfrm::Command1_Click);
}

// Copies every box whole, empty or not, over the speech it feeds, then shows
// the story page before hiding this window. The boxes keep their text for
// the next story.
void mswfrm::Command1_Click()
{
    for (const SpeechBox &entry : speechBoxes)
        story.*entry.speech = control<QLineEdit>(this, entry.box)->text();
    windows.ShowWindow(Window::Form1);
    windows.HideWindow(Window::mswfrm);
}
