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
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

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
// control ends the program, since only one window is on screen between moves
// and a program with no window left would be stranded. When a choice or a
// box has changed since the program started or the last story was saved, it
// first asks whether to throw that work away; but when the desktop session
// ends it asks nothing, as a draft of the work is kept (see DraftKeeper.h).

WindowRegistry::WindowRegistry(StoryRecord &story, QString storyRoot, QObject *parent)
    : QObject(parent), story(story), storyRoot(std::move(storyRoot))
{
}

WindowRegistry::~WindowRegistry() = default;

void WindowRegistry::ShowWindow(Window which)
{
    QWidget *shownWindow = made(which);
    shownWindow->show();
    shownWindow->raise();
    shownWindow->activateWindow();
    emit shown(which);
}

QWidget *WindowRegistry::made(Window which)
{
    auto &slot = created[static_cast<int>(which)];
    if (!slot) {
        slot = create(which);
        slot->installEventFilter(this);  // for its closing
        watchForUnsavedWork(slot.get());
    }
    return slot.get();
}

namespace {
const char *const WindowNames[WindowCount] = {"frmgenre", "frmp1", "frmp2", "mswfrm", "Form1", "Form2", "Form3"};
}

QString WindowRegistry::nameOf(Window which)
{
    return QString::fromLatin1(WindowNames[static_cast<int>(which)]);
}

std::optional<Window> WindowRegistry::windowNamed(const QString &name)
{
    for (int i = 0; i < WindowCount; ++i) {
        if (name == QLatin1String(WindowNames[i]))
            return static_cast<Window>(i);
    }
    return std::nullopt;
}

void WindowRegistry::noteRestoredWork()
{
    unsavedWork = true;
}

void WindowRegistry::endSession()
{
    sessionEnded = true;
    emit sessionEnding();
}

void WindowRegistry::quitRequested()
{
    if (!sessionEnded)
        endSession();
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

void WindowRegistry::reportSaving(const QString &storyFilePath, const QString &storyText)
{
    saving = true;
    emit savingStory(storyFilePath, storyText);
}

void WindowRegistry::reportSaveEnded()
{
    saving = false;
    if (savingQuestion)
        savingQuestion->close();  // what it asked about is over
}

void WindowRegistry::reportStorySaved(const QString &realPath)
{
    unsavedWork = false;
    emit storySaved(realPath);
}

// Selecting an option and every edit of a one-line box, typed, pasted or
// cut, count as unsaved work. The about window's contact text is not part of
// any story and does not, but is an edit all the same.
void WindowRegistry::watchForUnsavedWork(QWidget *window)
{
    for (QRadioButton *option : window->findChildren<QRadioButton *>())
        connect(option, &QRadioButton::toggled, this, &WindowRegistry::noteUnsavedWork);
    for (QLineEdit *box : window->findChildren<QLineEdit *>())
        connect(box, &QLineEdit::textChanged, this, &WindowRegistry::noteUnsavedWork);
    for (QPlainTextEdit *box : window->findChildren<QPlainTextEdit *>())
        connect(box, &QPlainTextEdit::textChanged, this, &WindowRegistry::edited);
}

void WindowRegistry::noteUnsavedWork()
{
    unsavedWork = true;
    emit edited();
}

// Only the seven windows are watched, each from its creation.
bool WindowRegistry::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Close) {
        if (sessionEnded) {
            QCoreApplication::exit(0);  // the draft stays for the next start
        } else if (saving) {
            event->ignore();
            askBeforeLeavingSave(static_cast<QWidget *>(watched));
            return true;
        } else if (!unsavedWork) {
            EndProgram();
        } else {
            event->ignore();
            askBeforeDiscarding(static_cast<QWidget *>(watched));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

// Asks on top of the window being closed, without blocking; keeping on
// working is the default and what Escape chooses.
void WindowRegistry::askBeforeDiscarding(QWidget *window)
{
    auto *box = new QMessageBox(QMessageBox::Question, QStringLiteral("Wrenfield"),
                                tr("Discard this story and quit?"), QMessageBox::NoButton, window);
    box->setObjectName(QStringLiteral("discardQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton *keep = box->addButton(tr("Keep working"), QMessageBox::RejectRole);
    QPushButton *discard = box->addButton(tr("Discard and quit"), QMessageBox::DestructiveRole);
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    connect(discard, &QPushButton::clicked, this, &WindowRegistry::EndProgram);
    box->open();
}

// A story being saved is not offered for discarding: quitting leaves its
// save to the next start, which finishes it, or offers the story again
// when the save had not yet begun (it was waiting for another's). Waiting
// is the default, and what Escape chooses; the question goes by itself
// when the save ends.
void WindowRegistry::askBeforeLeavingSave(QWidget *window)
{
    if (savingQuestion)
        return;
    auto *box = new QMessageBox(QMessageBox::Question, QStringLiteral("Wrenfield"),
                                tr("This story is still being saved. Quit now?"), QMessageBox::NoButton, window);
    box->setObjectName(QStringLiteral("savingQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setInformativeText(tr("Nothing is lost: the next time Wrenfield starts, it finishes the save, or, if the "
                               "save had not yet begun, offers the story to you again."));
    QPushButton *wait = box->addButton(tr("&Keep waiting"), QMessageBox::RejectRole);
    QPushButton *quit = box->addButton(tr("&Quit"), QMessageBox::DestructiveRole);
    box->setDefaultButton(wait);
    box->setEscapeButton(wait);
    connect(quit, &QPushButton::clicked, this, &WindowRegistry::quitLeavingSave);
    savingQuestion = box;
    box->open();
}

// Ends the program as the end of the session does: the draft, marked with
// the save, is written and stays; the save is not waited for.
void WindowRegistry::quitLeavingSave()
{
    endSession();
    QCoreApplication::exit(0);
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
