// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "Draft.h"
#include "DraftStore.h"
#include "WindowRegistry.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>

class DraftWriter;

// Keeps a draft of the story being written (see Draft.h) while there is
// unsaved work, or the about window's text has changed: within a second of
// a change, at every move between windows, when the story is handed to the
// save (marked with it), at a session checkpoint and at once when the
// session ends. The windows' state is copied on this thread (the texts are
// shared, not copied, so this costs as much as the number of controls,
// however long the texts); laying it out and writing it to disk happen on
// threads of their own, where a newer copy replaces one not yet written and
// overtakes one still syncing. Nothing here waits for the disk. The draft
// goes once its story is saved and when the user ends the program ("Exit",
// "Discard and quit").
class DraftKeeper : public QObject {
    Q_OBJECT

public:
    DraftKeeper(WindowRegistry &windows, StoryRecord &story, DraftStore &store, QObject *parent = nullptr);
    ~DraftKeeper() override;  // finishes the last write

    // What the windows hold now, as a draft.
    Draft snapshot() const;

    // Puts a draft back: every option selected and every text into its box
    // (creating the windows that had any), the record as it was, and the
    // window the user was on shown. A story not yet saved counts as unsaved
    // work; one already saved (its draft was taken after the save, on the
    // main or the about window) does not.
    void restore(const Draft &draft, bool saved = false);

    // Waits at most limit for the writer to finish what it was handed, for
    // after the windows are gone; true when it did. The GUI never waits for
    // the disk otherwise.
    bool finish(std::chrono::milliseconds limit);
    // How long the program waits for its last draft once its windows are
    // gone: briefly when the session ends, so that a logout ends it within
    // a second; longer after the user's own end, whose draft must go.
    std::chrono::milliseconds finishLimit() const;

    // For the program's end: the writer, with its last job, outlives the
    // keeper and the windows (the store must too), so that the application
    // and its session connection close at once; finishLastWrite() then waits
    // at most limit for it. Without a hand-over the keeper's end waits for
    // its writer.
    void handOverWriter();
    static bool finishLastWrite(std::chrono::milliseconds limit);

    // Says what became of the draft folder and the drafts found in it: one
    // line each on standard error, and a window once when drafts cannot be
    // kept at all.
    void tell(const QList<DraftTrouble> &troubles);

    // How long after a change the draft is written at the latest.
    static constexpr int WriteDelayMs = 1000;

private:
    void noteEdit();
    void noteShown(Window window);
    void noteSaving(const QString &storyFilePath, const QString &storyText);
    void dropDraft();
    void sessionEnds();
    void startWriter();
    void submitWrite();
    bool keeping() const;
    void noteWritten(int error);
    void showTrouble(const QString &text);

    WindowRegistry &windows;
    StoryRecord &story;
    DraftStore &store;
    std::unique_ptr<DraftWriter> writer;  // started at the first write
    QTimer timer;
    Window current = Window::frmgenre;
    qint64 changedMs = 0;
    Draft::Save save;            // the save the story was handed to, until it changes again
    bool contactEdited = false;  // the about window's text changed since the start
    bool restoring = false;
    bool sessionEnded = false;
    bool failing = false;        // the last write failed
    bool toldInWindow = false;
};
