// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "StoryRecord.h"

#include <QString>

#include <optional>

// A story's path starts with drive C:'s lower-case prefix and ends in ".txt".
inline const QString StoryDrivePrefix = QStringLiteral("c:\\");
inline const QString StoryFileSuffix = QStringLiteral(".txt");

// The story file's name spells out the choices: "c:\" + genre code + Player 1's
// gender, marital, personality and age codes + Player 2's gender, marital and
// personality codes + the title word + ".txt", joined with nothing between
// them. Fields are used exactly as they stand; an empty one adds nothing.
QString storyFilePathOf(const StoryRecord &story);

// Assigns story.StoryFilePath from the record's current codes and title word.
void composeStoryFilePath(StoryRecord &story);

// The one rule for which names a story file may have: one plain name directly
// in the story folder that shows as what it is. Both the Player 2 window (on
// the title word, before going on) and the save (on the whole name, before
// touching the disk) ask it.
inline constexpr int MaxStoryFileNameBytes = 255;

struct NameProblem {
    enum class Kind {
        Empty,         // no name at all
        DotName,       // "." or "..": the folder itself or its parent
        BadCharacter,  // a character no story file name may hold (see below)
        TooLong,       // more than MaxStoryFileNameBytes bytes once encoded as UTF-8
        BrokenText,    // half of a surrogate pair: no character at all
    };
    Kind kind;
    qsizetype position = 0;  // where the offending part starts in the name (UTF-16 units)
    qsizetype length = 0;    // how long it is: a character, or for TooLong what is over the limit
};

// Why name cannot be a story file's name, or nothing when it can. Refused:
// an empty name, "." and "..", "/" and "\", < > : " | ? * that other systems
// reject, control characters (C0, DEL and C1), the bidirectional embeddings,
// overrides and isolates (U+202A-U+202E, U+2066-U+2069) and the line and
// paragraph separators (U+2028, U+2029), which make a name show as something
// it is not, lone surrogates, and names over 255 bytes in UTF-8. Everything
// else in Unicode is allowed.
std::optional<NameProblem> storyFileNameProblem(const QString &name);

inline bool isAcceptableStoryFileName(const QString &name) { return !storyFileNameProblem(name); }
