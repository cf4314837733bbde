// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

namespace Desktop {

// Maps the faces the windows name ("MS Sans Serif", "Script MT Bold",
// "Pristina") to freely licensed stand-ins installed with the program, sets
// the style the layouts were measured with (see ControlStyle.h), presents the
// windows to screen readers (see Accessibility.h) and gives every window the
// program's icon once the first one is on screen. Called once, before the
// first window is built.
void installLookAndFeel();

} // namespace Desktop
