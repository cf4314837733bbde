// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "Draft.h"
#include "DraftStore.h"

#include <QObject>
#include <QString>

// The questions and notices about drafts that the start shows before any
// window, each in an event loop of its own.

// Notices that the desktop session ends (the session manager's "die")
// while a start-up window waits for an answer in its own event loop: that
// window is then taken away unanswered, and the program is to end.
class SessionEndWatch : public QObject {
public:
    SessionEndWatch();
    bool ended = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// What the start-up question was answered.
enum class StartAnswer { Continue, Discard, SessionEnded };

// Asks, before any window shows, whether to go on with a draft left by an
// earlier run: its title word and when it last changed, "Continue" (the
// default, and what Escape chooses) or "Discard"; for a draft whose save was
// set aside, says so. SessionEnded when the session ended meanwhile: then
// nothing was chosen.
StartAnswer askToContinue(const Draft &draft, const DraftStanding &standing);

// Tells, before any window shows, that the story of a draft left by an
// earlier run is saved: the file, "Open" and "Show folder"; and what failed
// when its draft could not be removed (removeError, an errno). False when
// the session ended meanwhile.
bool tellDraftSaved(const QString &storyFile, int removeError);
