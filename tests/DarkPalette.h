// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QPalette>

// A dark desktop theme's palette, after Adwaita-dark: a #242424 window with
// white text, a darker base for text boxes and a deep blue highlight.
inline QPalette darkPalette()
{
    QPalette palette(QColor(0x30, 0x30, 0x30), QColor(0x24, 0x24, 0x24));  // button, window
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::BrightText,
                            QPalette::HighlightedText})
        palette.setColor(role, Qt::white);
    palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    palette.setColor(QPalette::AlternateBase, QColor(0x2a, 0x2a, 0x2a));
    palette.setColor(QPalette::Highlight, QColor(0x15, 0x53, 0x9e));
    return palette;
}
