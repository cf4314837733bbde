// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "frmp1.h"

#include "ControlTable.h"
#include "WindowRegistry.h"

#include <QPushButton>

namespace {
using namespace Layout;

const WindowLayout form{"frmp1", "Player 1", 5745, 6015, QPoint(240, 4185)};

const Font prompt{"MS Sans Serif", 12, true, true};

const Control controls[] = {
    // name       kind                 in        caption            left  top   width height tab
    {"Command1", Kind::CommandButton, "",       "&Ok",             1920, 5280, 1695, 615,  30},
    {"Frame4",   Kind::Frame,         "",       "Age ",            0,    3240, 1815, 2655, 25},
    {"Option26", Kind::OptionButton,  "Frame4", "Dont care",       240,  2040, 1455, 495,  29},
    {"Option25", Kind::OptionButton,  "Frame4", "Same as P2",      240,  1440, 1455, 495,  28},
    {"Option24", Kind::OptionButton,  "Frame4", "Younger than P2", 240,  840,  1455, 495,  27},
    {"Option23", Kind::OptionButton,  "Frame4", "Older than P2",   240,  240,  1335, 495,  26},
    {"Frame3",   Kind::Frame,         "",       "Personality",     3840, 120,  1815, 5775, 13},
    {"Option22", Kind::OptionButton,  "Frame3", "Serious (boring)", 240, 2520, 1095, 375,  24},
    {"Option21", Kind::OptionButton,  "Frame3", "Playful",         240,  2040, 1215, 495,  23},
    {"Option13", Kind::OptionButton,  "Frame3", "Lazy",            240,  1680, 1095, 375,  22},
    {"Option12", Kind::OptionButton,  "Frame3", "Outgoing",        240,  240,  1335, 495,  21},
    {"Option14", Kind::OptionButton,  "Frame3", "Active",          240,  1200, 1215, 495,  20},
    {"Option15", Kind::OptionButton,  "Frame3", "Nice",            240,  2880, 1095, 495,  19},
    {"Option16", Kind::OptionButton,  "Frame3", "Grouchy",         240,  3360, 975,  495,  18},
    {"Option17", Kind::OptionButton,  "Frame3", "Neat",            240,  3840, 1095, 615,  17},
    {"Option19", Kind::OptionButton,  "Frame3", "Shy",             240,  600,  1095, 735,  16},
    {"Option20", Kind::OptionButton,  "Frame3", "Messy",           240,  4560, 1095, 495,  15},
    {"Option18", Kind::OptionButton,  "Frame3", "Dont care",       240,  5160, 1095, 495,  14},
    {"Frame2",   Kind::Frame,         "",       "Marital Status",  1920, 120,  1815, 4095, 1},
    {"Option11", Kind::OptionButton,  "Frame2", "Dont Care",       120,  3360, 1335, 615,  12},
    {"Option10", Kind::OptionButton,  "Frame2", "Widowed",         120,  2640, 1455, 615,  11},
    {"Option9",  Kind::OptionButton,  "Frame2", "Divorced",        120,  2040, 1455, 615,  10},
    {"Option8",  Kind::OptionButton,  "Frame2", "Not Married",     120,  1440, 1455, 615,  9},
    {"Option7",  Kind::OptionButton,  "Frame2", "Single",          120,  840,  1335, 615,  8},
    {"Option6",  Kind::OptionButton,  "Frame2", "Married",         120,  360,  1575, 495,  7},
    {"Frame1",   Kind::Frame,         "",       "Gender",          0,    120,  1815, 3015, 0},
    {"Option5",  Kind::OptionButton,  "Frame1", "Dont care",       240,  2280, 1215, 495,  6},
    {"Option4",  Kind::OptionButton,  "Frame1", "Opposite to P2",  240,  1680, 1455, 615,  5},
    {"Option3",  Kind::OptionButton,  "Frame1", "Same as P2",      240,  1200, 1335, 615,  4},
    {"Option2",  Kind::OptionButton,  "Frame1", "Female",          240,  720,  1335, 615,  3},
    {"Option1",  Kind::OptionButton,  "Frame1", "Male",            240,  240,  1335, 615,  2},
    {"Label1",   Kind::Label,         "",       "Click here to continue", 1920, 4440, 1695, 735, 31,
     prompt, TextColour::Highlight},
};

// Player 1's "Active" is the lower-case "a" and "Grouchy" the upper-case "G"
// (Player 2 has them the other way round); every "Dont care" is "x".
const OptionCode codes[] = {
    {"Option1", &StoryRecord::P1GenderCode, "M"},        // Male
    {"Option2", &StoryRecord::P1GenderCode, "F"},        // Female
    {"Option3", &StoryRecord::P1GenderCode, "S"},        // Same as P2
    {"Option4", &StoryRecord::P1GenderCode, "O"},        // Opposite to P2
    {"Option5", &StoryRecord::P1GenderCode, "x"},        // Dont care
    {"Option6", &StoryRecord::P1MaritalCode, "M"},       // Married
    {"Option7", &StoryRecord::P1MaritalCode, "S"},       // Single
    {"Option8", &StoryRecord::P1MaritalCode, "N"},       // Not Married
    {"Option9", &StoryRecord::P1MaritalCode, "D"},       // Divorced
    {"Option10", &StoryRecord::P1MaritalCode, "W"},      // Widowed
    {"Option11", &StoryRecord::P1MaritalCode, "x"},      // Dont Care
    {"Option12", &StoryRecord::P1PersonalityCode, "O"},  // Outgoing
    {"Option13", &StoryRecord::P1PersonalityCode, "L"},  // Lazy
    {"Option14", &StoryRecord::P1PersonalityCode, "a"},  // Active
    {"Option15", &StoryRecord::P1PersonalityCode, "N"},  // Nice
    {"Option16", &StoryRecord::P1PersonalityCode, "G"},  // Grouchy
    {"Option17", &StoryRecord::P1PersonalityCode, "T"},  // Neat
    {"Option18", &StoryRecord::P1PersonalityCode, "x"},  // Dont care
    {"Option19", &StoryRecord::P1PersonalityCode, "S"},  // Shy
    {"Option20", &StoryRecord::P1PersonalityCode, "M"},  // Messy
    {"Option21", &StoryRecord::P1PersonalityCode, "P"},  // Playful
    {"Option22", &StoryRecord::P1PersonalityCode, "B"},  // Serious (boring)
    {"Option23", &StoryRecord::P1AgeCode, "O"},          // Older than P2
    {"Option24", &StoryRecord::P1AgeCode, "Y"},          // Younger than P2
    {"Option25", &StoryRecord::P1AgeCode, "S"},          // Same as P2
    {"Option26", &StoryRecord::P1AgeCode, "x"},          // Dont care
};

} // namespace

frmp1::frmp1(StoryRecord &story, WindowRegistry &windows)
    : windows(windows)
{
    buildWindow(this, form, controls);
    recordOptionCodes(this, codes, story);
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &frmp1::Command1_Click);
}

// Hides this window, then shows Player 2's, whatever has been chosen.
void frmp1::Command1_Click()
{
    windows.HideWindow(Window::frmp1);
    windows.ShowWindow(Window::frmp2);
}
