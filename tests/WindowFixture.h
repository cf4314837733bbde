// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "ControlTable.h"
#include "QuietRaise.h"
#include "StoryRecord.h"
#include "WindowRegistry.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

// What the window tests share: real windows in a registry over a fresh story
// record and a fresh temporary story folder, every move the registry makes recorded
// as "show frmp1" or "hide frmgenre", and the windows' controls reached and
// clicked by name.
class WindowFixture : public QObject {
protected:
    static QString nameOf(Window window)
    {
        static const char *const names[] = {"frmgenre", "frmp1", "frmp2", "mswfrm", "Form1", "Form2", "Form3"};
        return QString::fromLatin1(names[int(window)]);
    }

    // A new run: an empty record and story folder, no window created yet, no moves.
    void startRun()
    {
        dropUnsupportedRaiseMessages();
        story = StoryRecord{};
        moves.clear();
        windows.reset();
        root.emplace();
        windows = std::make_unique<WindowRegistry>(story, root->path());
        connect(windows.get(), &WindowRegistry::shown, this, [this](Window w) { moves << "show " + nameOf(w); });
        connect(windows.get(), &WindowRegistry::hidden, this, [this](Window w) { moves << "hide " + nameOf(w); });
    }

    // Shows the window as the active one and starts the record of moves afresh.
    QWidget *show(Window window)
    {
        windows->ShowWindow(window);
        QApplication::setActiveWindow(windows->window(window));
        moves.clear();
        return windows->window(window);
    }

    template <class T = QWidget>
    T *at(Window window, const char *name) { return Layout::control<T>(windows->window(window), name); }
    void click(Window window, const char *name) { QTest::mouseClick(at(window, name), Qt::LeftButton); }

    std::optional<QTemporaryDir> root;
    StoryRecord story;
    std::unique_ptr<WindowRegistry> windows;
    QStringList moves;
};
