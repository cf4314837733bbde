// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QString>
#include <QtGlobal>

// Qt's offscreen platform cannot raise a window and logs "This plugin does
// not support raise()" every time the program shows one, hundreds of lines a
// test run. From the first call on, that one line is dropped and every other
// message goes to the handler that was there before (Qt Test's, in a test).
// In a test, call it once the test has started, since Qt Test installs its
// own handler when it starts.
inline void dropUnsupportedRaiseMessages()
{
    static QtMessageHandler before = nullptr;
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    before = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
        if (type == QtWarningMsg && text == QLatin1String("This plugin does not support raise()"))
            return;
        if (before)
            before(type, context, text);
        else
            qt_message_output(type, context, text);
    });
}
