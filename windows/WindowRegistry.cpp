// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "WindowRegistry.h"

#include "Form1.h"
#include "Form2.h"
#include "Form3.h"
#include "frmgenre.h"
#include "frmp1.h"
#include "frmp2.h"
#include "mswfrm.h"

#include <QCloseEvent>
#include <QCoreApplication>

// The program is seven windows that follow one another:
//
//   frmgenre (genre) -> frmp1 (Player 1) -> frmp2 (Player 2, title word)
//     -> mswfrm (speeches) -> Form1 (story page: "DONE!" saves)
//     -> Form2 (main window) -> "Make Story" back to frmgenre,
//                               "About the creator" -> Form3 -> "Back" to Form2,
//                               "Exit" ends the program.
//
// Each window's own button handler makes its move with ShowWindow and
// HideWindow; the order of the two differs between moves and is kept as each
// window's handler states it. Closing any window with its frame's close
// control ends the program: only one window is on screen between moves, and
// a program with no window left would be stranded.

WindowRegistry::WindowRegistry(StoryRecord &story, QString storyRoot, QObject *parent)
    : QObject(parent), story(story), storyRoot(std::move(storyRoot))
{
}

WindowRegistry::~WindowRegistry() = default;

void WindowRegistry::ShowWindow(Window which)
{
    auto &slot = created[static_cast<int>(which)];
    if (!slot) {
        slot = create(which);
        slot->installEventFilter(this);
    }
    slot->show();
    slot->raise();
    slot->activateWindow();
    emit shown(which);
}

void WindowRegistry::HideWindow(Window which)
{
    if (QWidget *w = window(which))
        w->hide();
    emit hidden(which);
}

void WindowRegistry::EndProgram()
{
    emit endRequested();
    QCoreApplication::exit(0);
}

QWidget *WindowRegistry::window(Window which) const
{
    return created[static_cast<int>(which)].get();
}

void WindowRegistry::reportStorySaved(const QString &realPath)
{
    emit storySaved(realPath);
}

bool WindowRegistry::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Close)
        EndProgram();
    return QObject::eventFilter(watched, event);
}

std::unique_ptr<QWidget> WindowRegistry::create(Window which)
{
    switch (which) {
    case Window::frmgenre: return std::make_unique<frmgenre>(story, *this);
    case Window::frmp1: return std::make_unique<frmp1>(story, *this);
    case Window::frmp2: return std::make_unique<frmp2>(story, *this);
    case Window::mswfrm: return std::make_unique<mswfrm>(story, *this);
    case Window::Form1: return std::make_unique<Form1>(story, *this, storyRoot);
    case Window::Form2: return std::make_unique<Form2>(*this);
    case Window::Form3: return std::make_unique<Form3>(*this);
    }
    return nullptr;
}
