// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "StoryRecord.h"

#include <QByteArray>
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

// What a save writes after the staging file's text: the story text and one
// CR LF, as UTF-8 without a byte-order mark. Drafts mark their save with
// these bytes, so they are worked out here alone.
QByteArray storyFileBytes(const QString &storyText);
