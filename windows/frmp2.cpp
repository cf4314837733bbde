// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "frmp2.h"

#include "Accessibility.h"
#include "ControlTable.h"
#include "SaveMessages.h"
#include "SpellingBox.h"
#include "StoryFileName.h"
#include "WindowRegistry.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {
using namespace Layout;

const WindowLayout form{"frmp2", "Player 2", 5760, 5880, QPoint(8490, 3990)};

const Font titleBox{"MS Sans Serif", 12, true, true};
const Font titlePrompt{"MS Sans Serif", 9.75, true, true};
const Font okPrompt{"MS Sans Serif", 12, true, true};

const Control controls[] = {
    // name       kind                 in        caption            left  top   width height tab
    {"Text1",    Kind::TextBox,       "",       "",                0,    5160, 1815, 615,  27,
     titleBox, TextColour::ActiveTitleBar},
    {"Frame2",   Kind::Frame,         "",       "Marital Status",  1920, 0,    1815, 4095, 19},
    {"Option6",  Kind::OptionButton,  "Frame2", "Married",         120,  360,  1575, 495,  25},
    {"Option7",  Kind::OptionButton,  "Frame2", "Single",          120,  840,  1335, 615,  24},
    {"Option8",  Kind::OptionButton,  "Frame2", "Not Married",     120,  1440, 1455, 615,  23},
    {"Option9",  Kind::OptionButton,  "Frame2", "Divorced",        120,  2040, 1455, 615,  22},
    {"Option10", Kind::OptionButton,  "Frame2", "Widowed",         120,  2640, 1455, 615,  21},
    {"Option11", Kind::OptionButton,  "Frame2", "Dont Care",       120,  3360, 1335, 615,  20},
    {"Frame3",   Kind::Frame,         "",       "Personality",     3840, 0,    1815, 5775, 7},
    {"Option18", Kind::OptionButton,  "Frame3", "Dont care",       240,  5160, 1095, 495,  18},
    {"Option20", Kind::OptionButton,  "Frame3", "Messy",           240,  4560, 1095, 495,  17},
    {"Option19", Kind::OptionButton,  "Frame3", "Shy",             240,  600,  1095, 735,  16},
    {"Option17", Kind::OptionButton,  "Frame3", "Neat",            240,  3840, 1095, 615,  15},
    {"Option16", Kind::OptionButton,  "Frame3", "Grouchy",         240,  3360, 975,  495,  14},
    {"Option15", Kind::OptionButton,  "Frame3", "Nice",            240,  2880, 1095, 495,  13},
    {"Option14", Kind::OptionButton,  "Frame3", "Active",          240,  1200, 1215, 495,  12},
    {"Option12", Kind::OptionButton,  "Frame3", "Outgoing",        240,  240,  1335, 495,  11},
    {"Option13", Kind::OptionButton,  "Frame3", "Lazy",            240,  1680, 1095, 375,  10},
    {"Option21", Kind::OptionButton,  "Frame3", "Playful",         240,  2040, 1215, 495,  9},
    {"Option22", Kind::OptionButton,  "Frame3", "Serious (boring)", 240, 2520, 1095, 375,  8},
    {"Command1", Kind::CommandButton, "",       "&Ok",             1920, 5160, 1695, 615,  6},
    {"Frame1",   Kind::Frame,         "",       "Gender",          0,    0,    1815, 4095, 0},
    {"Option1",  Kind::OptionButton,  "Frame1", "Male",            240,  360,  1335, 615,  5},
    {"Option2",  Kind::OptionButton,  "Frame1", "Female",          240,  1080, 1335, 615,  4},
    {"Option3",  Kind::OptionButton,  "Frame1", "Same as P1",      240,  1800, 1335, 615,  3},
    {"Option4",  Kind::OptionButton,  "Frame1", "Opposite to P1",  240,  2520, 1455, 615,  2},
    {"Option5",  Kind::OptionButton,  "Frame1", "Dont care",       240,  3360, 1215, 495,  1},
    {"Label2",   Kind::Label,         "",       "Enter one word title here", 120, 4320, 1575, 615, 28,
     titlePrompt, TextColour::Highlight},
    {"Label1",   Kind::Label,         "",       "Click here to continue", 1920, 4320, 1695, 735, 26,
     okPrompt, TextColour::Highlight},
};

// What screen readers say for the title box: its prompt.
const Desktop::SpokenName spoken[] = {
    {"Text1", nullptr, "Label2"},
};

// The title word is checked for spelling.
const char *const spelled[] = {"Text1"};

// Player 2's "Active" is the upper-case "A" and "Grouchy" the lower-case "g"
// (Player 1 has them the other way round); every "Dont care" is "x".
const OptionCode codes[] = {
    {"Option1", &StoryRecord::P2GenderCode, "M"},        // Male
    {"Option2", &StoryRecord::P2GenderCode, "F"},        // Female
    {"Option3", &StoryRecord::P2GenderCode, "S"},        // Same as P1
    {"Option4", &StoryRecord::P2GenderCode, "O"},        // Opposite to P1
    {"Option5", &StoryRecord::P2GenderCode, "x"},        // Dont care
    {"Option6", &StoryRecord::P2MaritalCode, "M"},       // Married
    {"Option7", &StoryRecord::P2MaritalCode, "S"},       // Single
    {"Option8", &StoryRecord::P2MaritalCode, "N"},       // Not Married
    {"Option9", &StoryRecord::P2MaritalCode, "D"},       // Divorced
    {"Option10", &StoryRecord::P2MaritalCode, "W"},      // Widowed
    {"Option11", &StoryRecord::P2MaritalCode, "x"},      // Dont Care
    {"Option12", &StoryRecord::P2PersonalityCode, "O"},  // Outgoing
    {"Option13", &StoryRecord::P2PersonalityCode, "L"},  // Lazy
    {"Option14", &StoryRecord::P2PersonalityCode, "A"},  // Active
    {"Option15", &StoryRecord::P2PersonalityCode, "N"},  // Nice
    {"Option16", &StoryRecord::P2PersonalityCode, "g"},  // Grouchy
    {"Option17", &StoryRecord::P2PersonalityCode, "T"},  // Neat
    {"Option18", &StoryRecord::P2PersonalityCode, "x"},  // Dont care
    {"Option19", &StoryRecord::P2PersonalityCode, "S"},  // Shy
    {"Option20", &StoryRecord::P2PersonalityCode, "M"},  // Messy
    {"Option21", &StoryRecord::P2PersonalityCode, "P"},  // Playful
    {"Option22", &StoryRecord::P2PersonalityCode, "B"},  // Serious (boring)
};

// How many characters of title fit after codes in a story file's name: the
// rest of the title is what must go.
qsizetype titleWordThatFits(const QString &codes, const QString &title)
{
    qsizetype room = MaxStoryFileNameBytes - codes.toUtf8().size() - 4;  // 4: ".txt"
    qsizetype fits = 0;
    while (fits < title.size()) {
        const qsizetype units = title.at(fits).isHighSurrogate() ? 2 : 1;
        room -= QStringView(title).mid(fits, units).toUtf8().size();
        if (room < 0)
            break;
        fits += units;
    }
    return fits;
}

} // namespace

frmp2::frmp2(StoryRecord &story, WindowRegistry &windows)
    : story(story), windows(windows)
{
    buildWindow(this, form, controls);
    Desktop::nameForScreenReaders(this, spoken);
    Desktop::checkSpelling(this, spelled);
    recordOptionCodes(this, codes, story);
    connect(control<QLineEdit>(this, "Text1"), &QLineEdit::textChanged, this, &frmp2::Text1_Change);
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &frmp2::Command1_Click);
}

// Every edit of the title box, typed, deleted, pasted or cut, copies the
// whole box untouched: the title word may hold spaces or anything else.
void frmp2::Text1_Change(const QString &text)
{
    story.TitleWord = text;
}

// Composes the story file's name from the choices as they are now, then
// moves on to the speeches, whether or not anything was chosen. A title word
// that no file name can hold is caught here, while it can still be mended:
// the window stays, says what is wrong and selects it in the title box, and
// nothing else changes.
void frmp2::Command1_Click()
{
    const QString path = storyFilePathOf(story);
    const QString name = path.mid(StoryDrivePrefix.size());
    if (const std::optional<NameProblem> problem = storyFileNameProblem(name)) {
        // The name is the codes, the title word, then ".txt".
        const qsizetype titleStart = name.size() - story.TitleWord.size() - StoryFileSuffix.size();
        problemStart = problem->position - titleStart;
        problemLength = problem->length;
        if (problem->kind == NameProblem::Kind::TooLong) {
            problemStart = titleWordThatFits(name.left(titleStart), story.TitleWord);
            problemLength = story.TitleWord.size() - problemStart;
        }
        showTitleProblem(SaveMessages::nameProblem(*problem, name));
        return;
    }
    story.StoryFilePath = path;
    windows.HideWindow(Window::frmp2);
    windows.ShowWindow(Window::mswfrm);
}

void frmp2::showTitleProblem(const QString &explanation)
{
    selectTitleProblem();
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Player 2"), explanation, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("titleProblem"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, &frmp2::selectTitleProblem);
    box->open();
}

void frmp2::selectTitleProblem()
{
    auto *title = control<QLineEdit>(this, "Text1");
    title->setFocus(Qt::OtherFocusReason);
    title->setSelection(int(problemStart), int(problemLength));
}
