// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "Places.h"

#include "StoryFileName.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

namespace {

QString homeFolder(bool *fromEnvironment)
{
    const QString home = qEnvironmentVariable("HOME");
    *fromEnvironment = home.startsWith(QLatin1Char('/'));
    if (*fromEnvironment)
        return home;
    const struct passwd *user = ::getpwuid(::getuid());
    const QString listed = user && user->pw_dir ? QFile::decodeName(user->pw_dir) : QString();
    return listed.startsWith(QLatin1Char('/')) ? listed : QString();
}

} // namespace

QString userHomeFolder()
{
    bool fromEnvironment = false;
    return homeFolder(&fromEnvironment);
}

QString storyRootFolder()
{
    // The desktop's documents folder is worked out from $HOME; it is asked
    // only when $HOME is sound, and taken only when it is a full path.
    bool homeFromEnvironment = false;
    const QString home = homeFolder(&homeFromEnvironment);
    QString documents;
    if (homeFromEnvironment)
        documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.startsWith(QLatin1Char('/')))
        documents = home.isEmpty() ? QString() : home + QStringLiteral("/Documents");
    return documents.isEmpty() ? QString() : QDir::cleanPath(documents + QStringLiteral("/Wrenfield"));
}

DraftPlace draftPlace()
{
    const QString home = userHomeFolder().isEmpty() ? QString() : QDir::cleanPath(userHomeFolder());
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.startsWith(QLatin1Char('/'))) {
        const QString folder = QDir::cleanPath(state) + QStringLiteral("/wrenfield");
        // A state folder in the home is made up to the home, never the home
        // itself; one elsewhere (a scratch or shared disk) from the root.
        const bool inHome = !home.isEmpty() && home != QLatin1String("/") && folder.startsWith(home + QLatin1Char('/'));
        return {folder, inHome ? home : QStringLiteral("/")};
    }
    if (home.isEmpty())
        return {};
    return {home + QStringLiteral("/.local/state/wrenfield"), home};
}

QString homeAbbreviated(const QString &path, const QString &home)
{
    QString base = home;
    while (base.endsWith(u'/'))
        base.chop(1);
    if (base.isEmpty())
        return path;  // no home, or the root folder
    if (path == base)
        return QStringLiteral("~");
    if (path.startsWith(base + u'/'))
        return u'~' + path.mid(base.size());
    return path;
}

QString realPathOf(const QString &rootFolder, const QString &drivePath)
{
    if (!drivePath.startsWith(StoryDrivePrefix, Qt::CaseInsensitive))
        return {};
    QString rest = drivePath.mid(StoryDrivePrefix.size());
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return rootFolder + QLatin1Char('/') + rest;
}
