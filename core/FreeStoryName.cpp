// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "FreeStoryName.h"

#include "StoryFileName.h"
#include "StorySave.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>

namespace {

constexpr int LastNumber = 1000;

} // namespace

std::optional<QString> nextFreeStoryFilePath(const QString &storyFilePath,
                                             const std::function<bool(const QString &)> &taken)
{
    if (!storyFilePath.endsWith(StoryFileSuffix))
        return std::nullopt;
    const QString stem = storyFilePath.chopped(StoryFileSuffix.size());
    for (int number = 2; number <= LastNumber; ++number) {
        const QString path = QStringLiteral("%1 (%2)%3").arg(stem).arg(number).arg(StoryFileSuffix);
        const QString name = path.startsWith(StoryDrivePrefix, Qt::CaseInsensitive) ? path.mid(StoryDrivePrefix.size()) : path;
        if (storyFileNameProblem(name))
            return std::nullopt;  // a larger number cannot mend it
        if (!taken(path))
            return path;
    }
    return std::nullopt;
}

std::optional<QString> nextFreeStoryFilePath(const QString &rootFolder, const QString &storyFilePath)
{
    return nextFreeStoryFilePath(storyFilePath, [&rootFolder](const QString &path) {
        struct stat entry {};
        return ::lstat(QFile::encodeName(realPathOf(rootFolder, path)).constData(), &entry) == 0 || errno != ENOENT;
    });
}
