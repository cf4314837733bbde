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

// Adwaita-dark as the GTK theme hands it to Qt: a lighter #353535 window and
// #2d2d2d base, off-white text, the same blue highlight.
inline QPalette adwaitaDarkPalette()
{
    QPalette palette(QColor(0x35, 0x35, 0x35), QColor(0x35, 0x35, 0x35));  // button, window
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, QColor(0xee, 0xee, 0xec));
    palette.setColor(QPalette::Base, QColor(0x2d, 0x2d, 0x2d));
    palette.setColor(QPalette::Highlight, QColor(0x15, 0x53, 0x9e));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}
