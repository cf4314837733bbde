// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QString>

// Everything the user has chosen and typed for the story being made. The
// windows write into it directly and nothing ever clears it, so a second
// story in the same run starts from the values the first one left.
//
// Code fields hold the one-character code of the option clicked last in
// their group (case matters: "a" and "A" are different codes), or the empty
// string while nothing in that group has been clicked.
struct StoryRecord {
    QString GenreCode;
    QString P1GenderCode;
    QString P1MaritalCode;
    QString P1PersonalityCode;
    QString P1AgeCode;
    QString P2GenderCode;
    QString P2MaritalCode;
    QString P2PersonalityCode;
    QString TitleWord;      // the Player 2 window's title box, as typed
    QString StoryFilePath;  // e.g. c:\CFSSOOMNPicnic.txt, composed on Player 2's "&Ok"
    QString Speech1;        // odd speeches: the first speaker of each exchange
    QString Speech2;        // even speeches: the second speaker
    QString Speech3;
    QString Speech4;
    QString Speech5;
    QString Speech6;
    QString Speech7;
    QString Speech8;
    QString FullTitle;
    QString AuthorName;
};
