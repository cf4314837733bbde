// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "QuietNotice.h"

#include "Announcements.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

namespace Desktop {
namespace {

constexpr char quietProperty[] = "wrenfieldQuietNotice";

// F6 between the program's windows and the quiet notices open over them, and
// the keyboard given back when a notice that has it closes. Installed on the
// application once the first notice shows, it takes F6 only while a notice
// is open and lets every other event pass.
class NoticeKeys : public QObject {
public:
    static NoticeKeys &instance()
    {
        static NoticeKeys *keys = [] {
            auto *made = new NoticeKeys(qApp);
            qApp->installEventFilter(made);
            return made;
        }();
        return *keys;
    }

    void add(QWidget *notice)
    {
        notices.append(notice);
        notice->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
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
    QPointer<QWidget> back;  // the window F6 left for a notice
};

} // namespace

void showQuietly(QWidget *notice, const QString &spoken)
{
    notice->setAttribute(Qt::WA_ShowWithoutActivating);
    notice->setWindowModality(Qt::NonModal);
    notice->setProperty(quietProperty, true);
    NoticeKeys::instance().add(notice);
    notice->show();
    announce(notice, spoken);
}

bool spokenAsNotification(const QWidget *widget)
{
    return !canAnnounce() && widget->property(quietProperty).toBool();
}

} // namespace Desktop
