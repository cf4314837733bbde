// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QString>

#include <functional>
#include <optional>

// When a story's file name is taken, the story may go under the first free
// name made by adding " (2)", " (3)", ... before ".txt":
// c:\CFSSOOMNPicnic.txt -> c:\CFSSOOMNPicnic (2).txt. The codes and the title
// word stay at the front, so the name still reads as before.

// The first such path for which taken(path) is false and whose name the name
// rule accepts; nothing when storyFilePath does not end in ".txt" or when no
// number up to a thousand gives a free, acceptable name (a number that makes
// the name too long is no good, and neither is any larger one).
std::optional<QString> nextFreeStoryFilePath(const QString &storyFilePath,
                                             const std::function<bool(const QString &)> &taken);

// The same, with a name taken when anything at all, even a broken link, has
// that name in the story folder rootFolder.
std::optional<QString> nextFreeStoryFilePath(const QString &rootFolder, const QString &storyFilePath);
