// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "frmgenre.h"

#include "ControlTable.h"
#include "WindowRegistry.h"

#include <QPushButton>

namespace {
using namespace Layout;

const WindowLayout form{"frmgenre", "Talemoss", 2460, 3720, QPoint(5115, 3030)};

const Control controls[] = {
    // name        kind                 in      caption          left  top   width height tab
    {"Command1",  Kind::CommandButton, "",     "&Ok",           0,    3120, 2415, 615,   12},
    {"fra1",      Kind::Frame,         "",     "Type of Story", 0,    0,    2415, 3015,  0},
    {"Option11",  Kind::OptionButton,  "fra1", "Mystery",       1080, 600,  855,  375,   11},
    {"Option10",  Kind::OptionButton,  "fra1", "Pets",          1080, 1080, 855,  375,   10},
    {"Option9",   Kind::OptionButton,  "fra1", "Romance",       1080, 1560, 1095, 375,   9},
    {"Option8",   Kind::OptionButton,  "fra1", "Scifi",         1080, 1920, 975,  495,   8},
    {"Option7",   Kind::OptionButton,  "fra1", "Misc.",         1080, 2520, 1095, 375,   7},
    {"Option6",   Kind::OptionButton,  "fra1", "Life",          120,  2520, 1095, 375,   6},
    {"Option5",   Kind::OptionButton,  "fra1", "Horror",        120,  1920, 1215, 495,   5},
    {"Option4",   Kind::OptionButton,  "fra1", "Golf",          120,  1560, 1095, 375,   4},
    {"Option3",   Kind::OptionButton,  "fra1", "Family",        120,  1080, 1095, 495,   3},
    {"Option2",   Kind::OptionButton,  "fra1", "Comedy",        120,  720,  1095, 375,   2},
    {"Option1",   Kind::OptionButton,  "fra1", "Adventure",     120,  240,  1215, 495,   1},
};

// Scifi is "P" and Pets "S"; Mystery is the lower-case "x".
const OptionCode codes[] = {
    {"Option1", &StoryRecord::GenreCode, "A"},   // Adventure
    {"Option2", &StoryRecord::GenreCode, "C"},   // Comedy
    {"Option3", &StoryRecord::GenreCode, "F"},   // Family
    {"Option4", &StoryRecord::GenreCode, "G"},   // Golf
    {"Option5", &StoryRecord::GenreCode, "H"},   // Horror
    {"Option6", &StoryRecord::GenreCode, "L"},   // Life
    {"Option7", &StoryRecord::GenreCode, "M"},   // Misc.
    {"Option8", &StoryRecord::GenreCode, "P"},   // Scifi
    {"Option9", &StoryRecord::GenreCode, "R"},   // Romance
    {"Option10", &StoryRecord::GenreCode, "S"},  // Pets
    {"Option11", &StoryRecord::GenreCode, "x"},  // Mystery
};

} // namespace

frmgenre::frmgenre(StoryRecord &story, WindowRegistry &windows)
    : windows(windows)
{
    buildWindow(this, form, controls);
    recordOptionCodes(this, codes, story);
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &frmgenre::Command1_Click);
}

// Shows the Player 1 window before hiding this one. Nothing is checked: the
// story may go on without a genre.
void frmgenre::Command1_Click()
{
    windows.ShowWindow(Window::frmp1);
    windows.HideWindow(Window::frmgenre);
}
