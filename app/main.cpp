// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "ControlTable.h"
#include "Module1.h"
#include "StorySave.h"
#include "WindowRegistry.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    ignoreFileSizeSignal();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wrenfield"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.wrenfield.Wrenfield"));
    Layout::installLookAndFeel();

    WindowRegistry windows(Module1::Story, storyRootFolder());
    windows.ShowWindow(Window::frmgenre);
    return QApplication::exec();
}
