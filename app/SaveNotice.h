// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "UnfinishedSave.h"

// At start, before the first window: what became of a save that an earlier
// run left unfinished goes to standard error as one line and, when there is
// something to tell, into a window (see unfinishedSaveNotice), shown until it
// is closed; then the story folder opens in the desktop's file manager when
// the user asked for it.
void tellAboutUnfinishedSave(const Resolution &resolution, const QString &storyRoot);
