// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "StoryRecord.h"

#include <QString>

// The story as it is saved: fourteen lines joined by CR LF, no CR LF after
// the last one.
//
//    <FullTitle>
//    <AuthorName>
//
//   <Speech1>
//    <Speech2>
//
//   ... and so on for the other three exchanges.
//
// The title, the author and every second speaker are indented by one space;
// nothing is trimmed.
QString storyTextOf(const StoryRecord &story);
