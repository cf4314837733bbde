// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "SaveRecord.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Runs a command in a folder, for 15 s at most: its exit code (minus the
// signal that ended it, if one did) and its standard output.
inline std::pair<int, QString> run(const QStringList &command, const QString &folder = {},
                                   const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(command[0], command.mid(1));
    process.waitForFinished(15000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -process.exitCode(),
            QString::fromLocal8Bit(process.readAllStandardOutput())};
}

// The lock file that every save leaves in the story folder; snapshots and
// listings leave it out.
inline bool isSaveLock(const QString &path)
{
    return path.section(QLatin1Char('/'), -1) == QLatin1String(SaveLockName);
}

// The names in a folder, hidden ones too (but for the save's lock), sorted.
inline QStringList entryNames(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    names.removeIf(isSaveLock);
    return names;
}

// One entry of a snapshot: its path under the folder, mode (file type and
// permissions), inode number and content (a file's bytes, a link's target).
inline QString snapshotLine(const QString &path, mode_t mode, ino_t inode, QByteArray content)
{
    if (content.size() > 200)
        content = QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
    return QStringLiteral("%1 mode %2 inode %3: %4")
        .arg(path)
        .arg(mode, 0, 8)
        .arg(inode)
        .arg(QString::fromLatin1(content.toPercentEncoding(" ")));
}

// Everything under a folder as sorted lines, one per entry. Two equal
// snapshots mean nothing was created, removed, renamed, replaced or changed
// in between.
inline QStringList folderSnapshot(const QString &folder)
{
    namespace fs = std::filesystem;
    QStringList lines;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(folder.toStdString())) {
        const QString path = QString::fromStdString(entry.path().string());
        if (isSaveLock(path))
            continue;
        struct stat s {};
        ::lstat(entry.path().c_str(), &s);
        const QByteArray content = S_ISLNK(s.st_mode) ? QByteArray::fromStdString(fs::read_symlink(entry.path()))
                                 : S_ISREG(s.st_mode) ? readFile(path)
                                                      : QByteArray();
        lines << snapshotLine(path.mid(folder.size()), s.st_mode, s.st_ino, content);
    }
    lines.sort();
    return lines;
}

// Runs work in a forked child, for steps that must not touch the test
// process itself (resource limits, dropping privileges, mount namespaces).
// Returns the child's exit code, or 1000 + the signal that ended it.
inline int exitCodeInChild(const std::function<int()> &work)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(work());
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

// Drops every privilege for those of the account uid (in its own group).
inline bool becomeAccount(uid_t uid)
{
    return ::setgroups(0, nullptr) == 0 && ::setresgid(uid, uid, uid) == 0 && ::setresuid(uid, uid, uid) == 0;
}

// The file calls of a save, and a command line that runs command under strace
// with options, tracing those calls into log and killing it with SIGKILL at
// the call kill ("call:when=N", N counted from the process start) if given.
inline const QString SaveCalls =
    QStringLiteral("openat,mkdir,flock,pwrite64,fdatasync,fsync,renameat,renameat2,linkat,unlinkat,ftruncate");
inline QStringList straced(const QString &calls, const QString &log, const QString &kill, const QStringList &command,
                           QStringList options = {})
{
    if (!kill.isEmpty())
        options << "-e" << "inject=" + kill + ":signal=SIGKILL";
    return QStringList{"strace", "-f", "-qq", "-o", log.isEmpty() ? "/dev/null" : log, "-e", "trace=" + calls}
           << options << "--" << command;
}

// The file calls of a traced run after the helper's mark (fsync(-1)), as
// "call:when=N" with N counted per call from the process start.
inline QStringList callsAfterMark(const QString &log)
{
    static const QRegularExpression call(QStringLiteral("^(?:\\d+ +)?(\\w+)\\((.*)$"));
    QHash<QString, int> seen;
    QStringList calls;
    bool marked = false;
    for (const QByteArray &line : readFile(log).split('\n')) {
        const QRegularExpressionMatch match = call.match(QString::fromLocal8Bit(line));
        if (!match.hasMatch())
            continue;
        const QString name = match.captured(1);
        const int n = ++seen[name];
        if (marked)
            calls << QStringLiteral("%1:when=%2").arg(name).arg(n);
        else
            marked = name == QLatin1String("fsync") && match.captured(2).startsWith(QLatin1String("-1)"));
    }
    return calls;
}
