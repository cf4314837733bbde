// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "StoryRecord.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

// The program's seven windows, in the order it declares them.
enum class Window { frmgenre, frmp1, frmp2, mswfrm, Form1, Form2, Form3 };
inline constexpr int WindowCount = 7;

// Holds one slot per window. A window is created the first time it is shown
// and then lives until the program ends; hiding it keeps everything in it.
class WindowRegistry : public QObject {
    Q_OBJECT

public:
    // storyRoot is the folder that stands for drive C: (see StorySave.h).
    WindowRegistry(StoryRecord &story, QString storyRoot, QObject *parent = nullptr);
    ~WindowRegistry() override;

    // Creates the window if its slot is empty, then shows, raises and
    // activates it. Never modal: the caller goes on at once.
    void ShowWindow(Window window);
    // Takes the window off the screen; its controls keep their state.
    void HideWindow(Window window);
    // Ends the program at once with status 0.
    void EndProgram();

    // The window in that slot, or nullptr while it has never been shown.
    QWidget *window(Window window) const;
    // The window in that slot, created (not shown) if its slot is empty: for
    // putting a story back into the windows before any of them shows.
    QWidget *made(Window window);

    // A window's objectName, and the window of an objectName.
    static QString nameOf(Window window);
    static std::optional<Window> windowNamed(const QString &name);

    // Whether a choice or a box has changed since start or the last save.
    bool hasUnsavedWork() const { return unsavedWork; }
    // The windows hold a story put back from a draft: unsaved work.
    void noteRestoredWork();

    // The desktop session is ending (logout, shutdown): sessionEnding is told
    // at once, and from then on closing a window ends the program without
    // asking anything.
    void endSession();
    // A request to quit came from outside the program, as the session
    // manager's "die", which may come without a request to save first: the
    // session is ending, unless the registry was told so already.
    void quitRequested();

    // Told by the story page once a story is safely on disk, with the file's
    // real path; passed on as storySaved to whoever wants to tell the user.
    // From then on nothing is unsaved until a choice or a box changes again.
    void reportStorySaved(const QString &realPath);
    // Told by the story page as it hands a story to the save, before the save
    // changes anything; passed on as savingStory (the draft marks its save).
    void reportSaving(const QString &storyFilePath, const QString &storyText);
    // Told by the story page when the save it started has ended, saved or not.
    void reportSaveEnded();

signals:
    void storySaved(const QString &realPath);
    void savingStory(const QString &storyFilePath, const QString &storyText);
    void shown(Window window);
    void hidden(Window window);
    void endRequested();  // the user ends the program: "Exit", "Discard and quit"
    void edited();        // an option, a box or the contact text changed
    void sessionEnding();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::unique_ptr<QWidget> create(Window window);
    void watchForUnsavedWork(QWidget *window);
    void noteUnsavedWork();
    void askBeforeDiscarding(QWidget *window);
    void askBeforeLeavingSave(QWidget *window);
    void quitLeavingSave();

    StoryRecord &story;
    const QString storyRoot;
    std::array<std::unique_ptr<QWidget>, WindowCount> created;
    bool unsavedWork = false;  // a choice or a box changed since start or the last save
    bool sessionEnded = false;
    bool saving = false;  // a story handed to the save, not yet saved or refused
    QPointer<QMessageBox> savingQuestion;
};
