// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QColor>
#include <QPalette>

class QWidget;

// Coloured text that stays readable whatever the desktop's theme: the prompts
// in the system highlight colour and the title box in the active title bar's
// navy are drawn on the theme's own backgrounds, light or dark.
namespace Desktop {

// The least contrast between text and its background that reads well at the
// windows' text sizes (the WCAG figure for normal text).
inline constexpr double LegibleContrast = 4.5;

// The contrast ratio of two colours, from 1 (the same luminance) to 21
// (black on white), by their relative luminance.
double contrastRatio(const QColor &a, const QColor &b);

// `wanted` itself when it already reaches `minimum` against `background`;
// otherwise the colour of the same hue and saturation, made darker on a light
// background or lighter on a dark one, that reaches it with the least change
// of lightness. Where that direction cannot reach it, the other one is used.
QColor legibleOn(const QColor &wanted, const QColor &background, double minimum = LegibleContrast);

// Text colours the windows use besides the default one.
enum class TextColour { Default, Highlight, ActiveTitleBar };

// Keeps `widget`'s text in `colour` (the theme's highlight, or the navy of
// the classic desktop's active title bar), legible on the `background` it is
// drawn on (a text box's base, the window behind a label) under whatever
// palette the desktop's theme gives, now and after the theme changes: on the
// usual light backgrounds the navy stays navy, on dark ones it becomes a
// light blue of the same hue.
void keepTextColour(QWidget *widget, TextColour colour, QPalette::ColorRole background);

} // namespace Desktop
