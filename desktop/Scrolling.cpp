// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "Scrolling.h"

#include <QApplication>
#include <QEvent>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>

namespace Desktop {
namespace {

struct Bars {
    bool vertical = false;
    bool horizontal = false;
};

// Which scroll bars a client area of `client` needs to show `content`. A bar
// takes room from the other axis, which may then need a bar as well.
Bars barsFor(const QSize &content, const QSize &client, int extent)
{
    Bars bars;
    bars.vertical = content.height() > client.height();
    bars.horizontal = content.width() + (bars.vertical ? extent : 0) > client.width();
    if (bars.horizontal && !bars.vertical)
        bars.vertical = content.height() + extent > client.height();
    return bars;
}

// Sets `bar` to scroll `content` pixels through a view of `view`, shown only
// where it has something to scroll.
void setUpBar(QScrollBar *bar, int content, int view, const QRect &place)
{
    if (!bar)
        return;
    bar->setRange(0, std::max(0, content - view));
    bar->setPageStep(view);
    bar->setGeometry(place);
    bar->setVisible(content > view);
}

// Scrolls `bar`, if shown, the least that brings a control from `start` to
// `end` on its axis into a view that ends at `viewEnd`, its start first.
void bringIntoView(QScrollBar *bar, int start, int end, int viewEnd)
{
    if (bar && bar->isVisible())
        bar->setValue(bar->value() + std::min(std::max(0, end - viewEnd), start));
}

} // namespace

QSize clientSizeWithin(const QSize &content, const QSize &room, int barExtent)
{
    const Bars bars = barsFor(content, room, barExtent);
    return {std::min(content.width() + (bars.vertical ? barExtent : 0), room.width()),
            std::min(content.height() + (bars.horizontal ? barExtent : 0), room.height())};
}

ScrolledContents::ScrolledContents(QWidget *window)
    : QObject(window), window(window), content(window->size())
{
    window->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &ScrolledContents::showFocused);
}

void ScrolledContents::fitInto(const QSize &room)
{
    const QSize fitting = clientSizeWithin(content, room, barExtent());
    // A window that fits is left at the size it has; only one made smaller
    // here is given its whole size back.
    if (fitting != content || limited)
        window->resize(fitting);
    limited = fitting != content;
    arrange();
}

bool ScrolledContents::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        arrange();
    } else if (event->type() == QEvent::Wheel) {
        // The controls leave the wheel to the window; the bar takes it.
        const bool sideways = static_cast<QWheelEvent *>(event)->angleDelta().y() == 0;
        QScrollBar *bar = (sideways || !(vertical && vertical->isVisible())) ? horizontal : vertical;
        if (bar && bar->isVisible())
            return QCoreApplication::sendEvent(bar, event);
    }
    return false;
}

int ScrolledContents::barExtent() const
{
    return window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, window);
}

QScrollBar *ScrolledContents::newBar(Qt::Orientation orientation, const char *name)
{
    auto *bar = new QScrollBar(orientation, window);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setFocusPolicy(Qt::NoFocus);  // Tab goes through the controls only
    bar->setSingleStep(20);
    connect(bar, &QScrollBar::valueChanged, this, &ScrolledContents::scrollToBars);
    return bar;
}

// Shows the bars the client area needs, beside the view of the contents and
// in front of them, each spanning the view; bars no longer needed hide and
// scroll their axis back to its start.
void ScrolledContents::arrange()
{
    const int extent = barExtent();
    const QSize client = window->size();
    const Bars bars = barsFor(content, client, extent);
    if (bars.vertical && !vertical)
        vertical = newBar(Qt::Vertical, "VScroll1");
    if (bars.horizontal && !horizontal)
        horizontal = newBar(Qt::Horizontal, "HScroll1");
    const QSize view(client.width() - (bars.vertical ? extent : 0), client.height() - (bars.horizontal ? extent : 0));
    setUpBar(vertical, content.height(), view.height(), QRect(view.width(), 0, extent, view.height()));
    setUpBar(horizontal, content.width(), view.width(), QRect(0, view.height(), view.width(), extent));
    for (QScrollBar *bar : {vertical, horizontal})
        if (bar)
            bar->raise();
}

// Moves every control in the window by as much as the bars moved since the
// last time.
void ScrolledContents::scrollToBars()
{
    const QPoint to(horizontal ? horizontal->value() : 0, vertical ? vertical->value() : 0);
    const QPoint by = offset - to;
    offset = to;
    for (QObject *child : window->children()) {
        auto *widget = qobject_cast<QWidget *>(child);
        if (widget && !widget->isWindow() && widget != vertical && widget != horizontal)
            widget->move(widget->pos() + by);
    }
}

// Scrolls the least that brings the whole of a control that took the focus
// into view, or as much of it as the view holds, from its top-left.
void ScrolledContents::showFocused(QWidget *, QWidget *focused)
{
    if (!focused || focused->window() != window || focused == window)
        return;
    const QRect place(focused->mapTo(window, QPoint(0, 0)), focused->size());
    const int viewWidth = window->width() - (vertical && vertical->isVisible() ? vertical->width() : 0);
    const int viewHeight = window->height() - (horizontal && horizontal->isVisible() ? horizontal->height() : 0);
    bringIntoView(vertical, place.top(), place.bottom() + 1, viewHeight);
    bringIntoView(horizontal, place.left(), place.right() + 1, viewWidth);
}

} // namespace Desktop
