// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QHash>
#include <QObject>
#include <QString>

namespace Desktop {

// After each saved story, a desktop notification says where it went: "Story
// saved", the file's path with the home folder shown as "~", and the actions
// "Open" (the desktop's application for text files) and "Show in folder"
// (the file manager, with the file selected where it can do that). It goes
// through the freedesktop notification service on the session bus, without
// waiting: with no service, or no session bus at all, nothing shows and
// nothing fails.
class StoryNotifier : public QObject {
    Q_OBJECT

public:
    explicit StoryNotifier(QObject *parent = nullptr);

    // Announces the story saved at `realPath`. The session bus is first
    // reached here, not before: start-up never waits for it.
    void storySaved(const QString &realPath);

private slots:
    // The notification service's signals, connected by name.
    void ActionInvoked(uint id, const QString &action);
    void NotificationClosed(uint id, uint reason);

private:
    bool reachService();
    void notify(const QString &realPath, bool markup);
    void showInFolder(const QString &realPath);

    bool listening = false;
    QHash<uint, QString> shown;  // notification id -> the story's real path
};

} // namespace Desktop
