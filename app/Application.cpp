// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "Application.h"

#include <QEvent>

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
}

bool Application::event(QEvent *event)
{
    if (event->type() == QEvent::Quit)
        emit quitRequested();
    return QApplication::event(event);
}
