// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <filesystem>
#include <sys/stat.h>

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

// Everything under a folder as sorted lines, one per entry: its path, mode
// (file type and permissions), inode number and content (a file's bytes, a
// link's target). Two equal snapshots mean nothing was created, removed,
// renamed, replaced or changed in between.
inline QStringList folderSnapshot(const QString &folder)
{
    namespace fs = std::filesystem;
    QStringList lines;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(folder.toStdString())) {
        const QString path = QString::fromStdString(entry.path().string());
        struct stat s {};
        ::lstat(entry.path().c_str(), &s);
        QByteArray content = S_ISLNK(s.st_mode) ? QByteArray::fromStdString(fs::read_symlink(entry.path()))
                           : S_ISREG(s.st_mode) ? readFile(path)
                                                : QByteArray();
        if (content.size() > 200)
            content = QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
        lines << QStringLiteral("%1 mode %2 inode %3: %4")
                     .arg(path.mid(folder.size()))
                     .arg(s.st_mode, 0, 8)
                     .arg(s.st_ino)
                     .arg(QString::fromLatin1(content.toPercentEncoding(" ")));
    }
    lines.sort();
    return lines;
}
