// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "Form1.h"

#include "ControlTable.h"
#include "StorySave.h"
#include "StoryText.h"
#include "WindowRegistry.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
using namespace Layout;

const WindowLayout form{"Form1", "Form1", 3945, 2385, QPoint(2865, 1875)};

// The two labels are wider than the window, which clips them.
const Control controls[] = {
    // name       kind                    in  caption                 left  top   width height tab
    {"Text1",    Kind::MultiLineTextBox, "", "",                     3240, 1920, 150,  285,  5},
    {"Command3", Kind::CommandButton,    "", "DONE!",                1080, 1920, 1935, 375,  4},
    {"Text3",    Kind::TextBox,          "", "",                     240,  1320, 3615, 375,  1},
    {"Text2",    Kind::TextBox,          "", "",                     240,  600,  3615, 405,  0},
    {"Label2",   Kind::Label,            "", "Enter Your Name Here", 240,  1080, 4815, 255,  3},
    {"Label1",   Kind::Label,            "", "Enter Full title here", 240, 120,  4815, 375,  2},
};

} // namespace

Form1::Form1(StoryRecord &story, WindowRegistry &windows, const QString &storyRoot)
    : story(story), windows(windows), storyRoot(storyRoot)
{
    buildWindow(this, form, controls);

    // The story field is the small box right of "DONE!" that receives the
    // laid-out story. It stays on show but is only a display: the user can
    // neither type into it nor reach it with Tab.
    auto *storyField = control<QPlainTextEdit>(this, "Text1");
    storyField->setReadOnly(true);
    storyField->setFocusPolicy(Qt::NoFocus);
    storyField->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    storyField->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    connect(control<QPushButton>(this, "Command3"), &QPushButton::clicked, this, &Form1::Command3_Click);
}

// Records the author's name, then the full title, exactly as typed; lays the
// story out into the story field and saves it. Only a saved story moves on
// to the main window: when the save fails the page stays as it is, says why,
// and "DONE!" can be pressed again once the cause is removed.
void Form1::Command3_Click()
{
    story.AuthorName = control<QLineEdit>(this, "Text3")->text();
    story.FullTitle = control<QLineEdit>(this, "Text2")->text();

    // The field shows the text, but the file gets the composed string itself:
    // a text box would hand its CR LF line breaks back as bare line feeds.
    const QString storyText = storyTextOf(story);
    control<QPlainTextEdit>(this, "Text1")->setPlainText(storyText);

    if (const std::optional<SaveError> error = saveStory(storyRoot, story.StoryFilePath, storyText)) {
        showSaveError(*error, storyText);
        return;
    }
    windows.reportStorySaved(realPathOf(storyRoot, story.StoryFilePath));
    windows.HideWindow(Window::Form1);
    windows.ShowWindow(Window::Form2);
}

// Tells the user what went wrong, where, and what to do, without blocking the
// program. The story text goes into the box's details, where it can be copied
// out even if the cause cannot be removed.
void Form1::showSaveError(const SaveError &error, const QString &storyText)
{
    auto *box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Wrenfield"),
                                tr("The story was not saved."), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("saveError"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setInformativeText(error.message());
    box->setDetailedText(storyText);
    box->open();
}
