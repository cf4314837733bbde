// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "StoryFileName.h"

#include <string>

QString storyFilePathOf(const StoryRecord &story)
{
    return StoryDrivePrefix + story.GenreCode + story.P1GenderCode + story.P1MaritalCode
         + story.P1PersonalityCode + story.P1AgeCode + story.P2GenderCode + story.P2MaritalCode
         + story.P2PersonalityCode + story.TitleWord + StoryFileSuffix;
}

void composeStoryFilePath(StoryRecord &story)
{
    story.StoryFilePath = storyFilePathOf(story);
}

namespace {

bool isRefused(char32_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f)          // C0, DEL, C1
        || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069)  // bidi controls
        || c == 0x2028 || c == 0x2029                      // line and paragraph separators
        || (c < 0x80 && std::char_traits<char>::find("/\\<>:\"|?*", 9, char(c)));
}

} // namespace

std::optional<NameProblem> storyFileNameProblem(const QString &name)
{
    using Kind = NameProblem::Kind;
    if (name.isEmpty())
        return NameProblem{Kind::Empty, 0, 0};
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return NameProblem{Kind::DotName, 0, name.size()};

    qsizetype bytes = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        char32_t code = c.unicode();
        qsizetype units = 1;
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(c, name.at(i + 1));
            units = 2;
        } else if (c.isSurrogate()) {
            return NameProblem{Kind::BrokenText, i, 1};
        }
        if (isRefused(code))
            return NameProblem{Kind::BadCharacter, i, units};
        const qsizetype size = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        if (bytes + size > MaxStoryFileNameBytes) {
            // Report everything from the first character that does not fit.
            return NameProblem{Kind::TooLong, i, name.size() - i};
        }
        bytes += size;
        i += units - 1;
    }
    return std::nullopt;
}
