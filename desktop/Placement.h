// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QPoint>
#include <QRect>
#include <QWidget>

// Windows stand where their tables put them, unless that would leave part of
// a window off a small screen.
namespace Desktop {

// Where the top-left corner of a window's `frame` (the window with the
// window manager's frame around it) goes so that the frame lies inside
// `area`: where it is when it already does; otherwise moved, on each axis,
// the least distance that brings it in; on an axis where the frame is larger
// than the area, to the area's start, so that its title bar and its top-left
// controls can be reached.
QPoint placedWithin(const QRect &frame, const QRect &area);

// Keeps `window` whole inside its screen's available area (the screen less
// the desktop's panels) whenever it is shown, frame included. A window that
// fits stays exactly where it is; one larger than the area shows what fits
// and scrolls the rest into view (see Scrolling.h).
// A window without a place of its own is placed by the window system when
// first shown and shown again where it was when hidden.
void keepOnScreen(QWidget *window);

} // namespace Desktop
