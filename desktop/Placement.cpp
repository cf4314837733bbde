// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "Placement.h"

#include "Scrolling.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace Desktop {
namespace {

int placedOnAxis(int start, int length, int areaStart, int areaLength)
{
    if (length > areaLength)
        return areaStart;
    return std::clamp(start, areaStart, areaStart + areaLength - length);
}

// The window manager's frame around the last window seen on screen. A window
// about to be shown for the first time has no frame yet; the windows all get
// the same one, so it stands in until the real one is known.
QMargins lastFrame;

QMargins frameOf(const QWidget *window)
{
    const QWindow *handle = window->windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

// The screen that holds the most of `frame`, or else the window's own.
QScreen *screenFor(const QRect &frame, const QWidget *window)
{
    QScreen *best = window->screen();
    qint64 most = 0;
    for (QScreen *screen : QGuiApplication::screens()) {
        const QRect common = screen->geometry() & frame;
        if (const qint64 size = qint64(common.width()) * common.height(); size > most) {
            most = size;
            best = screen;
        }
    }
    return best;
}

// Fits and places the window as it is shown, by the frame it is expected to
// get, and once more when it first paints, by the frame it really got.
class ScreenKeeper : public QObject {
public:
    explicit ScreenKeeper(QWidget *window)
        : QObject(window), window(window), contents(new ScrolledContents(window))
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            place(false);
            awaitingPaint = true;
        } else if (event->type() == QEvent::Hide && !event->spontaneous()) {
            // A window the window system placed keeps that place, or the
            // one the user moved it to, when it is shown again: asked for
            // by the program from now on, it is no longer chosen afresh.
            // (Moving the widget to where it is would not do: Qt leaves the
            // window system to place it as long as its place never changed.)
            if (QWindow *handle = window->windowHandle())
                handle->setPosition(handle->position());
        } else if (event->type() == QEvent::Paint && awaitingPaint) {
            awaitingPaint = false;
            // Not while the window paints: as soon as it is done.
            QMetaObject::invokeMethod(this, [this] { place(true); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void place(bool onScreen)
    {
        QMargins margins = frameOf(window);
        if (onScreen && !margins.isNull())
            lastFrame = margins;
        else if (margins.isNull())
            margins = lastFrame;
        const QRect area = screenFor(window->geometry().marginsAdded(margins), window)->availableGeometry();
        contents->fitInto(area.size().shrunkBy(margins));
        // A window the program does not place is left to the window system
        // until it is on screen.
        if (!onScreen && !window->testAttribute(Qt::WA_Moved))
            return;
        const QRect client = window->geometry();
        const QRect frame = client.marginsAdded(margins);
        const QPoint to = placedWithin(frame, area);
        if (to != frame.topLeft())
            window->setGeometry(client.translated(to - frame.topLeft()));
    }

    QWidget *const window;
    ScrolledContents *const contents;
    bool awaitingPaint = false;
};

} // namespace

QPoint placedWithin(const QRect &frame, const QRect &area)
{
    return {placedOnAxis(frame.left(), frame.width(), area.left(), area.width()),
            placedOnAxis(frame.top(), frame.height(), area.top(), area.height())};
}

void keepOnScreen(QWidget *window)
{
    new ScreenKeeper(window);
}

} // namespace Desktop
