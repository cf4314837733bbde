// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "StoryText.h"

#include <QStringList>

QString storyTextOf(const StoryRecord &story)
{
    const QString indent = QStringLiteral(" ");
    const QStringList lines{
        indent + story.FullTitle,
        indent + story.AuthorName,
        QString(),
        story.Speech1,
        indent + story.Speech2,
        QString(),
        story.Speech3,
        indent + story.Speech4,
        QString(),
        story.Speech5,
        indent + story.Speech6,
        QString(),
        story.Speech7,
        indent + story.Speech8,
    };
    return lines.join(QStringLiteral("\r\n"));
}

QByteArray storyFileBytes(const QString &storyText)
{
    return (storyText + QStringLiteral("\r\n")).toUtf8();
}
