// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QString>

// Where the program keeps things for the user running it: the home folder,
// the story folder in the desktop's documents folder, the drafts in the
// desktop's state folder, and how a path is shown with the home as "~".

// The user's home folder: $HOME when it is a full path, otherwise the one
// the user database names; empty when neither.
QString userHomeFolder();

// <Documents>/Wrenfield, always a full path inside a real home: the
// desktop's documents folder when it is a full path, otherwise
// <home>/Documents. Empty when there is no home at all.
QString storyRootFolder();

// Where drafts live (see DraftStore.h), and the folder above it that
// is never made: the folders between the two are made, readable by the
// user alone, when the first draft is written.
struct DraftPlace {
    QString folder;  // e.g. ~/.local/state/wrenfield
    QString above;   // the home folder, or "/" for a state folder outside it
};

// $XDG_STATE_HOME/wrenfield when XDG_STATE_HOME is a full path, otherwise
// <home>/.local/state/wrenfield. An empty folder when there is no home and
// no state folder.
DraftPlace draftPlace();

// `path` with the home folder `home` written as "~": "~/Documents/a.txt".
// A path outside it, or a home of "/" or "", leaves the path as it is.
QString homeAbbreviated(const QString &path, const QString &home);

// The file a drive path names under rootFolder ("c:\" or "C:\" prefix,
// backslashes as separators); empty when drivePath does not start with a
// drive C: prefix.
QString realPathOf(const QString &rootFolder, const QString &drivePath);
