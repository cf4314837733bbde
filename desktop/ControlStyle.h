// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QColor>
#include <QPalette>

class QStyle;

// Controls that can be made out whatever the desktop's theme: the edges of
// option circles and text boxes, an option's dot and the keyboard focus are
// drawn in colours taken from the palette, as the style would draw them,
// but made darker or lighter where that is needed to stand out at least
// 3 : 1 from what lies around them: the window, a box's inside and, for the
// focus, a button's face.
namespace Desktop {

// The least contrast for what shows a control's shape or state (the WCAG
// figure for non-text contrast).
inline constexpr double VisibleContrast = 3.0;

// The colour of option circles' and text boxes' edges under `palette`.
QColor edgeColour(const QPalette &palette);

// The colour of the ring that shows the keyboard focus under `palette`.
QColor focusColour(const QPalette &palette);

// Fusion, the style the windows were measured with, drawing its option
// circles, box edges and focus rings in those colours, and focus from the
// moment a window shows rather than after the first key press.
QStyle *newControlStyle();

} // namespace Desktop
