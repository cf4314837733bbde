#include "StoryFileName.h"

QString storyFilePathOf(const StoryRecord &story)
{
    return QStringLiteral("c:\\") + story.GenreCode + story.P1GenderCode + story.P1MaritalCode
         + story.P1PersonalityCode + story.P1AgeCode + story.P2GenderCode + story.P2MaritalCode
         + story.P2PersonalityCode + story.TitleWord + QStringLiteral(".txt");
}

void composeStoryFilePath(StoryRecord &story)
{
    story.StoryFilePath = storyFilePathOf(story);
}
