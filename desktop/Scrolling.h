// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>

class QScrollBar;
class QWidget;

// A window whose table is larger than the screen shows what fits and scrolls
// the rest into view.
namespace Desktop {

// The size of a client area that shows contents of `content` pixels in at
// most `room`: the contents' own size where they fit; otherwise, on each axis
// that does not fit, the room, and a scroll bar `barExtent` pixels thick
// across the other axis, which grows by that much where there is room for it
// (so that the bar covers nothing) and else needs a scroll bar of its own.
QSize clientSizeWithin(const QSize &content, const QSize &room, int barExtent);

// Scrolls a window's contents whenever its client area is smaller than its
// table: a vertical scroll bar "VScroll1" at the right, a horizontal one
// "HScroll1" at the bottom, each only while needed and made only when first
// needed, so that a window that fits is exactly as its table makes it.
// Scrolling moves the window's controls, so that at no offset every control
// stands at its table's place. The mouse wheel scrolls anywhere in the
// window, and a control that takes the keyboard focus is scrolled into view.
class ScrolledContents : public QObject {
public:
    // The window's contents are as large as its client area is now.
    explicit ScrolledContents(QWidget *window);

    // Limits the window's client area to `room` where its contents do not fit
    // there, and gives it back their whole size where they fit again.
    void fitInto(const QSize &room);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int barExtent() const;
    QScrollBar *newBar(Qt::Orientation orientation, const char *name);
    void arrange();
    void scrollToBars();
    void showFocused(QWidget *, QWidget *focused);

    QWidget *const window;
    const QSize content;
    QScrollBar *vertical = nullptr;
    QScrollBar *horizontal = nullptr;
    QPoint offset;        // of the contents, scrolled up and left by this much
    bool limited = false; // the client area was made smaller than the contents
};

} // namespace Desktop
