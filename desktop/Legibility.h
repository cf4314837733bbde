// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QColor>

// Coloured text that stays readable whatever the desktop's theme: the prompts
// in the system highlight colour and the title box in the active title bar's
// navy are drawn on the theme's own backgrounds, light or dark.
namespace Layout {

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

} // namespace Layout
