// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// Renders each of the program's windows to <folder>/<window name>.png, as a
// person would first see it, for looking at captions, fonts and the picture:
// at the screen's scale factor (QT_SCALE_FACTOR), and with --dark in a dark
// desktop theme.
#include "DarkPalette.h"
#include "LookAndFeel.h"
#include "QuietRaise.h"
#include "StoryRecord.h"
#include "WindowRegistry.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    dropUnsupportedRaiseMessages();
    const bool dark = argc == 3 && std::strcmp(argv[2], "--dark") == 0;
    if (argc != 2 && !dark) {
        std::fprintf(stderr, "usage: %s FOLDER [--dark]\n", argv[0]);
        return 2;
    }
    Desktop::installLookAndFeel();
    if (dark)
        QApplication::setPalette(darkPalette());
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
