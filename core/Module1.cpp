// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "Module1.h"

namespace Module1 {
StoryRecord Story;
}
