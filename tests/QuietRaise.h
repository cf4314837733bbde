// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QString>
#include <QtGlobal>

// Qt's offscreen platform cannot raise a window and logs "This plugin does
// not support raise()" whenever the program shows one. From the first call
// on, that line is dropped and every other message goes to the handler that
// was there before: in a test, call it once the test runs, after Qt Test has
// installed its own.
inline void dropUnsupportedRaiseMessages()
{
    static const QtMessageHandler before = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            if (text != QLatin1String("This plugin does not support raise()"))
                before ? before(type, context, text) : qt_message_output(type, context, text);
        });
}
