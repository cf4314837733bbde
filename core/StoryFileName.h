#pragma once

#include "StoryRecord.h"

#include <QString>

// The story file's name spells out the choices: "c:\" + genre code + Player 1's
// gender, marital, personality and age codes + Player 2's gender, marital and
// personality codes + the title word + ".txt", joined with nothing between
// them. Fields are used exactly as they stand; an empty one adds nothing.
QString storyFilePathOf(const StoryRecord &story);

// Assigns story.StoryFilePath from the record's current codes and title word.
void composeStoryFilePath(StoryRecord &story);
