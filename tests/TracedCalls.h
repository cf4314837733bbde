// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "FolderSnapshot.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

// The file calls of a traced run after the helper's mark (fsync(-1)), as
// "call:when=N" with N counted per call from the process start.
inline QStringList callsAfterMark(const QString &log)
{
    static const QRegularExpression call(QStringLiteral("^(?:\\d+ +)?(\\w+)\\((.*)$"));
    QHash<QString, int> seen;
    QStringList calls;
    bool marked = false;
    for (const QByteArray &line : readFile(log).split('\n')) {
        const QRegularExpressionMatch match = call.match(QString::fromLocal8Bit(line));
        if (!match.hasMatch())
            continue;
        const QString name = match.captured(1);
        const int n = ++seen[name];
        if (marked)
            calls << QStringLiteral("%1:when=%2").arg(name).arg(n);
        else
            marked = name == QLatin1String("fsync") && match.captured(2).startsWith(QLatin1String("-1)"));
    }
    return calls;
}
