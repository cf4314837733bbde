// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "FreeStoryName.h"

#include "StoryFileName.h"
#include "StorySave.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>

namespace {

const QString DrivePrefix = QStringLiteral("c:\\");
const QString Suffix = QStringLiteral(".txt");
constexpr int LastNumber = 1000;

} // namespace

std::optional<QString> nextFreeStoryFilePath(const QString &storyFilePath,
                                             const std::function<bool(const QString &)> &taken)
{
    if (!storyFilePath.endsWith(Suffix))
        return std::nullopt;
    const QString stem = storyFilePath.chopped(Suffix.size());
    for (int number = 2; number <= LastNumber; ++number) {
        const QString path = QStringLiteral("%1 (%2)%3").arg(stem).arg(number).arg(Suffix);
        const QString name = path.startsWith(DrivePrefix, Qt::CaseInsensitive) ? path.mid(DrivePrefix.size()) : path;
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
