// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "Draft.h"
#include "WindowRegistry.h"

#include <QObject>
#include <QTimer>

#include <memory>

class DraftStore;
class QSessionManager;
class QWidget;

// Keeps a draft of the story being written (see Draft.h) while there is
// unsaved work: within a second of a change, at every move between windows,
// and at once when the desktop session ends. The windows' state is copied
// on this thread (the texts are shared, not copied, so this costs as much as
// the number of controls, however long the texts); laying it out and writing
// it to disk happen on a thread of their own, where a newer copy replaces
// one not yet written. The draft goes once its story is saved and when the
// user ends the program ("Exit", "Discard and quit").
class DraftKeeper : public QObject {
    Q_OBJECT

public:
    DraftKeeper(WindowRegistry &windows, StoryRecord &story, DraftStore &store, QObject *parent = nullptr);
    ~DraftKeeper() override;  // finishes the last write

    // What the windows hold now, as a draft.
    Draft snapshot() const;

    // Puts a draft back: every option selected and every text into its box
    // (creating the windows that had any), the record as it was, and the
    // window the user was on shown. Counts as unsaved work.
    void restore(const Draft &draft);

    // Writes the draft now and returns once it is on disk (or failed).
    void writeNow();

    // How long after a change the draft is written at the latest.
    static constexpr int WriteDelayMs = 1000;

private:
    void noteEdit();
    void noteShown(Window window);
    void writeSoon();
    void dropDraft();
    void sessionEnds(QSessionManager &manager);
    void submitWrite();

    class Writer;
    WindowRegistry &windows;
    StoryRecord &story;
    DraftStore &store;
    std::unique_ptr<Writer> writer;  // started at the first write
    QTimer timer;
    Window current = Window::frmgenre;
    qint64 changedMs = 0;
    bool restoring = false;
};

// Asks, before any window shows, whether to go on with a draft left by an
// earlier run: its title word and when it last changed, "Continue" (the
// default, and what Escape chooses) or "Discard". True for "Continue".
bool askToContinue(const Draft &draft);
