#include "StorySave.h"

#include <QStandardPaths>

#include <cerrno>
#include <csignal>

QString storyRootFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Wrenfield");
}

QString realPathOf(const QString &, const QString &) { return {}; }
bool isAcceptableStoryFileName(const QString &) { return false; }
QString SaveError::message() const { return {}; }

std::optional<SaveError> saveStory(const QString &, const QString &storyFilePath, const QString &)
{
    return SaveError{ENOSYS, QStringLiteral("not yet"), storyFilePath, {}, {}};
}

void ignoreFileSizeSignal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}
