#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QStringList>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

// Everything under a folder as sorted lines, one per entry: its path, mode
// (file type and permissions), inode number and content (a file's bytes, a
// link's target). Two equal snapshots mean nothing was created, removed,
// renamed, replaced or changed in between.
inline QStringList folderSnapshot(const QString &folder)
{
    namespace fs = std::filesystem;
    QStringList lines;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(fs::path(folder.toStdString()))) {
        const QByteArray path = QByteArray::fromStdString(entry.path().string());
        struct stat s {};
        if (::lstat(path.constData(), &s) != 0) {
            lines << QStringLiteral("%1 vanished").arg(QString::fromUtf8(path));
            continue;
        }
        QByteArray content;
        if (S_ISREG(s.st_mode)) {
            QFile file(QString::fromUtf8(path));
            content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
        } else if (S_ISLNK(s.st_mode)) {
            content = QByteArray::fromStdString(fs::read_symlink(entry.path()).string());
        }
        if (content.size() > 200)
            content = QByteArray::number(content.size()) + " bytes, sha256 "
                    + QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
        lines << QStringLiteral("%1 mode %2 inode %3: %4")
                     .arg(QString::fromUtf8(path.mid(folder.toUtf8().size())))
                     .arg(s.st_mode, 0, 8)
                     .arg(s.st_ino)
                     .arg(QString::fromLatin1(content.toPercentEncoding(" ")));
    }
    lines.sort();
    return lines;
}
