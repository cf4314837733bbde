// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "StoryRecord.h"

// The one story record of the run. It exists, all fields empty, before the
// first window appears and lasts until the program ends.
namespace Module1 {
extern StoryRecord Story;
}
