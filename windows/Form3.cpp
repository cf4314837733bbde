// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "Form3.h"

#include "Accessibility.h"
#include "ControlTable.h"
#include "WindowRegistry.h"

#include <QPushButton>

namespace {
using namespace Layout;

// No position: the window system places the window when it is first shown.
const WindowLayout form{"Form3", "About Me", 7605, 3720, std::nullopt};

const Font heading{"Pristina", 48};

// The contact text: two lines, each ending in a space, then a line break.
// The box is an ordinary editable one; whatever the user types stays there
// for the rest of the run and is read by nothing.
const Control controls[] = {
    // name      kind                    in  caption                         left  top   width height tab
    {"Command1", Kind::CommandButton,    "", "Back",                         5760, 1800, 1455, 735,  2},
    {"Text1",    Kind::MultiLineTextBox, "",
     "To contact the creator of this program email \r\nstories@wrenfield.example \r\n",
                                                                             0,    3000, 7455, 615,  1},
    {"Label1",   Kind::Label,            "", "How to contact the creator",   120,  240,  7335, 2655, 0, heading},
};

// What screen readers say for the contact text: the heading above it.
const Desktop::SpokenName spoken[] = {
    {"Text1", nullptr, "Label1"},
};

} // namespace

Form3::Form3(WindowRegistry &windows)
    : windows(windows)
{
    buildWindow(this, form, controls);
    Desktop::nameForScreenReaders(this, spoken);
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &Form3::Command1_Click);
}

void Form3::Command1_Click()
{
    windows.HideWindow(Window::Form3);
    windows.ShowWindow(Window::Form2);
}
