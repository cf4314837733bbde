// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "Announcements.h"

#include <QAccessible>
#include <QEvent>
#include <QWidget>

namespace Desktop {
namespace {

// What screen readers hear as a window comes up, once: its description
// until it hides, or an announcement as it becomes active.
class SaidWithWindow : public QObject {
public:
    SaidWithWindow(QWidget *window, const QString &text)
        : QObject(window), text(text)
    {
        if (!canAnnounce())
            window->setAccessibleDescription(text);
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::WindowActivate && canAnnounce()) {
            announce(static_cast<QWidget *>(watched), text);
            deleteLater();
        } else if (event->type() == QEvent::Hide) {
            static_cast<QWidget *>(watched)->setAccessibleDescription(QString());
            deleteLater();
        }
        return false;
    }

private:
    const QString text;
};

} // namespace

bool canAnnounce()
{
    return QT_VERSION >= QT_VERSION_CHECK(6, 8, 0);
}

void announce(QWidget *source, const QString &text)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent told(source, text);
    told.setPoliteness(QAccessible::AnnouncementPoliteness::Assertive);
    QAccessible::updateAccessibility(&told);
#else
    Q_UNUSED(source);
    Q_UNUSED(text);
#endif
}

void tellAsWindowComesUp(QWidget *window, const QString &text)
{
    new SaidWithWindow(window, text);
}

void restKeyboardOnWindow(QWidget *window, const QString &what, QWidget *control)
{
    if (what.isEmpty()) {
        window->setAccessibleDescription(QString());
        if (window->hasFocus() || !window->focusWidget())
            control->setFocus();
        window->setFocusPolicy(Qt::NoFocus);
        return;
    }
    if (!canAnnounce())
        window->setAccessibleDescription(what);
    window->setFocusPolicy(Qt::StrongFocus);
    window->setFocus();
    announce(window, what);
}

} // namespace Desktop
