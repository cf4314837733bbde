// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "Form2.h"

#include "Accessibility.h"
#include "ControlTable.h"
#include "WindowRegistry.h"

#include <QPushButton>

namespace {
using namespace Layout;

const WindowLayout form{"Form2", "Form2", 9135, 4920, QPoint(2865, 4575)};

const Font title{"Script MT Bold", 48, true, true};

// The three buttons step down and across, each overlapping the one above it
// and drawn in front of it; the picture covers the lower right of the title's
// box and is drawn in front of the title.
const Control controls[] = {
    // name      kind                 in  caption                left  top   width height tab
    {"Command3", Kind::CommandButton, "", "Exit",                0,    3960, 2895, 735,  3},
    {"Command2", Kind::CommandButton, "", "About the creator",   1200, 3240, 2895, 735,  2},
    {"Command1", Kind::CommandButton, "", "Make Story",          120,  2520, 2895, 735,  1},
    {"Image1",   Kind::Picture,       "", ":/assets/picture.jpg", 4200, 1440, 4200, 3150, NoTabIndex},
    {"Label1",   Kind::Label,         "", "Wrenfield",           240,  120,  8415, 2295, 0, title},
};

// What screen readers say for the picture.
const Desktop::SpokenName spoken[] = {
    {"Image1", "A book and a quill"},
};

} // namespace

Form2::Form2(WindowRegistry &windows)
    : windows(windows)
{
    buildWindow(this, form, controls);
    Desktop::nameForScreenReaders(this, spoken);
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(control<QPushButton>(this, "Command2"), &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(control<QPushButton>(this, "Command3"), &QPushButton::clicked, this, &Form2::Command3_Click);
}

// Another story: the genre window comes back as the last story left it.
void Form2::Command1_Click()
{
    windows.HideWindow(Window::Form2);
    windows.ShowWindow(Window::frmgenre);
}

void Form2::Command2_Click()
{
    windows.HideWindow(Window::Form2);
    windows.ShowWindow(Window::Form3);
}

// Ends the program at once; every story is already saved by then.
void Form2::Command3_Click()
{
    windows.EndProgram();
}
