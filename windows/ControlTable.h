// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "Legibility.h"
#include "StoryRecord.h"

#include <QPoint>
#include <QString>
#include <QWidget>

#include <optional>
#include <span>

// Every window is described by a table of its controls, in the window's
// layout order, with geometry in twips (15 twips to a logical pixel). One
// builder turns such a table into widgets, so a window's source holds its
// table, its handlers and little else.
namespace Layout {

enum class Kind { CommandButton, Frame, OptionButton, TextBox, MultiLineTextBox, Label, Picture };

using Desktop::TextColour;

struct Font {
    const char *face = nullptr;  // nullptr: the window's default font
    qreal points = 0;
    bool bold = false;
    bool italic = false;
};

inline constexpr int NoTabIndex = -1;

struct Control {
    const char *name;       // objectName, e.g. "Option14" or "Label1(3)"
    Kind kind;
    const char *container;  // "" for the window itself, else a frame's name
    const char *caption;    // caption, initial text, or a picture's resource path
    int left, top, width, height;  // twips, relative to the container's inside
    int tabIndex;           // order of keyboard focus over the whole window
    Font font = {};
    TextColour colour = TextColour::Default;
};

struct WindowLayout {
    const char *name;     // objectName
    const char *caption;  // title bar text
    int clientWidth, clientHeight;  // twips
    std::optional<QPoint> position; // client area's top-left on screen, twips;
                                    // none: the window system places it
};

inline constexpr int TwipsPerPixel = 15;
inline constexpr int pixels(int twips) { return twips / TwipsPerPixel; }

// Creates the controls of `controls` on `window` and lays the window out:
// caption, client geometry, fonts and colours, stacking (a control listed
// earlier is in front; buttons, frames and text boxes are in front of the
// labels and pictures of their container), tab order by tab index, and the
// keyboard focus on the first control in that order that can take it. The
// window is kept whole on small screens (see Placement.h); coloured text
// stays legible on the theme's backgrounds (see Legibility.h); a picture is
// drawn at twice the size on screens scaled up.
void buildWindow(QWidget *window, const WindowLayout &layout, std::span<const Control> controls);

// The control of `window` named `name`; the tables guarantee it exists.
template <class T>
T *control(const QWidget *window, const char *name)
{
    T *found = window->findChild<T *>(QString::fromLatin1(name));
    Q_ASSERT_X(found, "Layout::control", name);
    return found;
}

// One option button's code: clicking `option` records `code` into `field`.
struct OptionCode {
    const char *option;
    QString StoryRecord::*field;
    const char *code;
};

// Makes every option of `codes` record its code into `story` whenever it
// becomes selected, by mouse or keyboard.
void recordOptionCodes(QWidget *window, std::span<const OptionCode> codes, StoryRecord &story);

} // namespace Layout
