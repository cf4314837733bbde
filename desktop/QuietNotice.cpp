// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "QuietNotice.h"

#include "Announcements.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

#include <utility>

namespace Desktop {
namespace {

constexpr char quietProperty[] = "wrenfieldQuietNotice";

// Tells screen readers of a notice that came up while they could not hear
// it: announced, or where the toolkit cannot announce, its showing as a
// notification told again (Orca 43 speaks a notification as it shows).
void tell(QWidget *notice, const QString &spoken)
{
    if (canAnnounce()) {
        announce(notice, spoken);
    } else {
        QAccessibleEvent shown(notice, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&shown);
    }
}

// F6 between the program's windows and the quiet notices open over them, the
// keyboard given back when a notice that has it closes, and notices told to
// screen readers once the program has the keyboard: before, a screen reader
// ignores what the program says (the program has only just started, or the
// user is in another one). Installed on the application once the first
// notice shows, it takes F6 only while a notice is open and lets every
// event pass.
class NoticeKeys : public QObject {
public:
    static NoticeKeys &instance()
    {
        static NoticeKeys *keys = nullptr;
        if (!keys) {
            keys = new NoticeKeys(qApp);
            qApp->installEventFilter(keys);
        }
        return *keys;
    }

    void add(QWidget *notice, const QString &spoken)
    {
        notices.append(notice);
        notice->installEventFilter(this);
        if (!QApplication::activeWindow())
            untold.append({notice, spoken});
        else if (canAnnounce())
            announce(notice, spoken);  // where it cannot, its showing just now told it
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::WindowActivate && !untold.isEmpty() && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->isWindow())
            for (const auto &[notice, spoken] : std::exchange(untold, {}))
                if (notice && notice->isVisible())
                    tell(notice, spoken);
        if (event->type() == QEvent::Hide && notices.contains(watched))
            closed(static_cast<QWidget *>(watched));
        else if (event->type() == QEvent::KeyPress && watched->isWidgetType()
                 && static_cast<QKeyEvent *>(event)->key() == Qt::Key_F6)
            return switched(static_cast<QWidget *>(watched)->window());
        return false;
    }

private:
    using QObject::QObject;

    // F6 in `from`: to the newest notice, or from a notice back.
    bool switched(QWidget *from)
    {
        notices.removeAll(nullptr);
        if (notices.isEmpty())
            return false;
        if (notices.contains(from)) {
            goTo(backFrom(from));
        } else {
            back = from;
            goTo(notices.last());
        }
        return true;
    }

    // A notice that had the keyboard gives it back as it closes (by then no
    // window of the program has it).
    void closed(QWidget *notice)
    {
        notices.removeAll(notice);
        if (!QApplication::activeWindow() || QApplication::activeWindow() == notice)
            goTo(backFrom(notice));
    }

    // Where the keyboard goes back to: the window F6 left, else the window
    // the notice stands over, else any window of the program on screen.
    QWidget *backFrom(QWidget *notice) const
    {
        for (QWidget *window : {back.data(), notice->parentWidget() ? notice->parentWidget()->window() : nullptr})
            if (window && window->isVisible() && !notices.contains(window))
                return window;
        for (QWidget *window : QApplication::topLevelWidgets())
            if (window->isVisible() && window != notice && !notices.contains(window))
                return window;
        return nullptr;
    }

    static void goTo(QWidget *window)
    {
        if (!window)
            return;
        window->raise();
        window->activateWindow();
    }

    QList<QPointer<QWidget>> notices;
    QList<std::pair<QPointer<QWidget>, QString>> untold;  // shown before the program had the keyboard
    QPointer<QWidget> back;  // the window F6 left for a notice
};

} // namespace

void showQuietly(QWidget *notice, const QString &spoken)
{
    notice->setAttribute(Qt::WA_ShowWithoutActivating);
    notice->setWindowModality(Qt::NonModal);
    notice->setProperty(quietProperty, true);
    notice->show();
    NoticeKeys::instance().add(notice, spoken);
}

bool spokenAsNotification(const QWidget *widget)
{
    return !canAnnounce() && widget->property(quietProperty).toBool();
}

} // namespace Desktop
