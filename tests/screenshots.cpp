// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// Renders each of the program's windows to <folder>/<window name>.png, as a
// person would first see it, for looking at captions, fonts and the picture.
#include "ControlTable.h"
#include "StoryRecord.h"
#include "WindowRegistry.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    Layout::installLookAndFeel();
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir root;
    StoryRecord story;
    WindowRegistry windows(story, root.path());
    for (int i = 0; i < WindowCount; ++i) {
        const auto which = static_cast<Window>(i);
        windows.ShowWindow(which);
        QApplication::processEvents();
        QWidget *window = windows.window(which);
        window->grab().save(out.filePath(window->objectName() + QStringLiteral(".png")));
        windows.HideWindow(which);
    }
    return 0;
}
