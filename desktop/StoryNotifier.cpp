// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "StoryNotifier.h"

#include "Places.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>

namespace Desktop {
namespace {

const QString notifications = QStringLiteral("org.freedesktop.Notifications");
const QString notificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString openAction = QStringLiteral("open");
const QString showAction = QStringLiteral("show-in-folder");

// Whether a session bus is there to be reached. Without its address libdbus
// would try to start a bus of its own ("autolaunch"), which a program that
// only wants to say where a story went must not do.
bool sessionBusAddressKnown()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime + QStringLiteral("/bus")).exists();
}

// Calls `message` on the session bus without waiting; `done` gets the reply
// or the error when it comes.
template <class Done>
void callAsync(QObject *context, const QDBusMessage &message, Done done)
{
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(message), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [watcher, done] {
        done(*watcher);
        watcher->deleteLater();
    });
}

} // namespace

StoryNotifier::StoryNotifier(QObject *parent)
    : QObject(parent)
{
}

void StoryNotifier::storySaved(const QString &realPath)
{
    if (!reachService())
        return;
    // Whether the service reads the body as markup decides whether the path
    // must be escaped: a story's name may hold "&".
    const QDBusMessage ask = QDBusMessage::createMethodCall(notifications, notificationsPath, notifications,
                                                            QStringLiteral("GetCapabilities"));
    callAsync(this, ask, [this, realPath](const QDBusPendingCall &call) {
        const QDBusPendingReply<QStringList> capabilities = call;
        if (capabilities.isError())
            return;  // no notification service: nothing to show
        notify(realPath, capabilities.value().contains(QStringLiteral("body-markup")));
    });
}

bool StoryNotifier::reachService()
{
    if (!sessionBusAddressKnown())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!listening) {
        bus.connect(notifications, notificationsPath, notifications, QStringLiteral("ActionInvoked"), this,
                    SLOT(ActionInvoked(uint, QString)));
        bus.connect(notifications, notificationsPath, notifications, QStringLiteral("NotificationClosed"), this,
                    SLOT(NotificationClosed(uint, uint)));
        listening = true;
    }
    return true;
}

void StoryNotifier::notify(const QString &realPath, bool markup)
{
    QString where = homeAbbreviated(realPath, QDir(QDir::homePath()).canonicalPath());
    where = homeAbbreviated(where, QDir::homePath());
    const QString id = QGuiApplication::desktopFileName();
    QVariantMap hints;
    if (!id.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), id);

    QDBusMessage message = QDBusMessage::createMethodCall(notifications, notificationsPath, notifications,
                                                          QStringLiteral("Notify"));
    message << QGuiApplication::applicationDisplayName()  // app_name
            << uint(0)                                     // replaces_id: a new notification
            << id                                          // app_icon: the icon theme's, by the program's id
            << tr("Story saved")                           // summary
            << (markup ? where.toHtmlEscaped() : where)    // body
            << QStringList{openAction, tr("Open"), showAction, tr("Show in folder")}
            << hints
            << -1;  // expire_timeout: as the service decides
    callAsync(this, message, [this, realPath](const QDBusPendingCall &call) {
        const QDBusPendingReply<uint> id = call;
        if (!id.isError())
            shown.insert(id.value(), realPath);
    });
}

void StoryNotifier::ActionInvoked(uint id, const QString &action)
{
    const auto story = shown.constFind(id);
    if (story == shown.cend())
        return;  // another program's notification
    if (action == openAction)
        QDesktopServices::openUrl(QUrl::fromLocalFile(*story));
    else if (action == showAction)
        showInFolder(*story);
}

void StoryNotifier::NotificationClosed(uint id, uint)
{
    shown.remove(id);
}

// Asks the file manager to show the folder with the story selected; where no
// file manager offers that, opens the folder with the desktop's application
// for folders.
void StoryNotifier::showInFolder(const QString &realPath)
{
    const QString manager = QStringLiteral("org.freedesktop.FileManager1");
    QDBusMessage message = QDBusMessage::createMethodCall(manager, QStringLiteral("/org/freedesktop/FileManager1"),
                                                          manager, QStringLiteral("ShowItems"));
    message << QStringList{QUrl::fromLocalFile(realPath).toString(QUrl::FullyEncoded)} << QString();
    callAsync(this, message, [realPath](const QDBusPendingCall &call) {
        if (call.isError())
            QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(realPath).path()));
    });
}

} // namespace Desktop
