// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "FolderSnapshot.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <sys/mount.h>

// The file systems desktops mount for a user's documents, made for a test
// from image files on loop devices (as root, in a mount namespace of the
// test's own): NTFS, exFAT and FAT through their FUSE drivers and the
// kernel's own; bindfs forcing modes on a folder of this machine's, and
// sshfs, its SFTP server run over a pair of pipes. Each belongs to
// the account TestUser, as a desktop mounts a stick for its user; where one
// cannot be made here, skip says why.
constexpr int TestUser = 42431, TestOther = 42432;

// A command's prefix that runs it as the account uid, in the group gid (or its own).
inline QStringList asAccount(int uid, int gid = -1)
{
    return QStringLiteral("setpriv --reuid=%1 --regid=%2 --clear-groups").arg(uid).arg(gid < 0 ? uid : gid).split(' ');
}

struct Mount {
    QString name;     // the driver and the options, as rows name it
    QString driver;   // ntfs-3g, exfat-fuse, fusefat, bindfs, sshfs; or the kernel's vfat, exfat, ntfs3
    QString options;  // with %1 for the user's number
    bool keepsModes = false;  // files keep the modes they are made and changed with
    QString skip {};
    QString image {}, point {}, device {};
    QStringList command {};  // the mount command

    // Makes the file system afresh and mounts it, with a folder C of the
    // user's in it; false with skip set when that cannot be done here.
    bool make(const QString &folder)
    {
        image = folder + QLatin1Char('/') + QString(name).replace(QLatin1Char(' '), QLatin1Char('_')) + ".img";
        point = image.chopped(4);
        const bool kernel = driver == "vfat" || driver == "exfat" || driver == "ntfs3";
        const QString format = driver.startsWith("ntfs") ? "mkntfs" : driver.contains("exfat") ? "mkfs.exfat"
                                                                                        : "mkfs.vfat";
        if (::geteuid() != 0)
            skip = "mounts need root";
        else if (!QFileInfo::exists("/dev/fuse") && !kernel)
            skip = "there is no /dev/fuse here";
        else if (kernel && !readFile("/proc/filesystems").contains("\t" + driver.toLatin1() + "\n"))
            skip = "the kernel here has no " + driver;
        else if (!kernel && QStandardPaths::findExecutable(program()).isEmpty()
                 && QStandardPaths::findExecutable(program(), {"/usr/sbin", "/sbin"}).isEmpty())
            skip = driver + " is not installed";
        if (!skip.isEmpty() || !QDir().mkpath(point))
            return false;
        QStringList mount;
        const QString options = withUser(this->options);
        if (driver == "bindfs" || driver == "sshfs") {
            device = image.chopped(4) + ".source";
            QDir().mkpath(device);
            ::chown(qPrintable(device), TestUser, TestUser);
            // The server runs as root (it needs a user in the user database),
            // so the mount gives every file the user as its owner.
            const QString sftp = QStringLiteral("cd '%1'; mkfifo in out; /usr/lib/openssh/sftp-server <in >out 2>/dev/null"
                                                " & sshfs -f -o %2 localhost:'%1' '%3' >in <out 2>/dev/null &");
            mount = driver == "bindfs" ? QStringList{"bindfs", "-o", options, device, point}
                                       : QStringList{"sh", "-c", sftp.arg(device, options, point)};
        } else {
            if (!writeFile(image, {}) || !QFile::resize(image, qint64(64) << 20)
                || run(QStringList{format} << (format == "mkntfs" ? QStringList{"-q", "-F", "-f"} : QStringList())
                       << image).first != 0)
                return fail("it cannot be made here");
            if (driver != "fusefat" && (device = run({"losetup", "-f", "--show", image}).second.trimmed()).isEmpty())
                return fail("no loop device can be had here");
            mount = kernel ? QStringList{"mount", "-t", driver, "-o", options, device, point}
                    : driver == "fusefat" ? QStringList{"fusefat", "-o", "rw+,allow_other," + options, image, point}
                    : QStringList{program(), "-o", "allow_other," + options, device, point};
        }
        command = mount;
        if (!mountAgain(this->options))
            return fail("it cannot be mounted here");
        return QDir().mkpath(point + "/C") && (::chown(qPrintable(point + "/C"), TestUser, TestUser), true);
    }

    // Mounts it (again) with other options.
    bool mountAgain(const QString &newOptions)
    {
        unmount();
        QStringList mount = command;
        mount.replaceInStrings(withUser(options), withUser(newOptions));
        if (run(mount).first != 0)
            return false;
        for (int tries = 0; tries < 200 && !isMountPoint(); ++tries)  // sshfs mounts in the background
            QThread::msleep(50);
        return isMountPoint();
    }

    bool isMountPoint() const { return readFile("/proc/self/mounts").contains(" " + point.toUtf8() + " "); }

    // Unmounted before it returns: a FUSE driver on a block device has let
    // go of it by then.
    void unmount() const
    {
        if (isMountPoint() && ::umount(qPrintable(point)) != 0)
            ::umount2(qPrintable(point), MNT_DETACH);
    }

    void unmake()
    {
        unmount();
        if (device.startsWith("/dev/loop"))  // once: the device may be another's after that
            run({"losetup", "-d", std::exchange(device, {})});
        QFile::remove(image);
    }

private:
    QString program() const { return driver == "exfat-fuse" ? QStringLiteral("mount.exfat-fuse") : driver; }
    static QString withUser(QString options) { return options.replace("%1", QString::number(TestUser)); }

    bool fail(const QString &why)
    {
        skip = why;
        unmake();
        return false;
    }
};

// Mounts made for a test, found by name; unmade at its end.
struct Mounts : std::vector<Mount> {
    using std::vector<Mount>::vector;
    Mount *named(const QString &name)
    {
        const auto found = std::find_if(begin(), end(), [&](const Mount &m) { return m.name == name; });
        return found == end() ? nullptr : &*found;
    }
    void unmake()
    {
        for (Mount &mount : *this)
            mount.unmake();
    }
};

// The mounts, from the options desktops use.
inline Mounts desktopMounts()
{
    return {
        {"ntfs-3g uid,gid", "ntfs-3g", "uid=%1,gid=%1"},
        {"ntfs-3g umask=022", "ntfs-3g", "uid=%1,gid=%1,umask=022"},
        {"ntfs-3g umask=077", "ntfs-3g", "uid=%1,gid=%1,umask=077"},
        {"ntfs-3g fmask=133", "ntfs-3g", "uid=%1,gid=%1,fmask=133"},
        {"exfat-fuse uid,gid", "exfat-fuse", "uid=%1,gid=%1"},
        {"exfat-fuse umask=022", "exfat-fuse", "uid=%1,gid=%1,umask=022"},
        {"exfat-fuse umask=077", "exfat-fuse", "uid=%1,gid=%1,umask=077"},
        {"bindfs forcing 0644", "bindfs", "perms=0644:a+X"},
        {"bindfs forcing owner and 0666", "bindfs", "force-user=%1,perms=0666:a+X"},
        {"sshfs uid,gid", "sshfs", "passive,allow_other,uid=%1,gid=%1", true},
        {"sshfs umask=022", "sshfs", "passive,allow_other,uid=%1,gid=%1,umask=022"},
        {"fusefat uid,gid", "fusefat", "uid=%1,gid=%1"},
        {"vfat uid,gid", "vfat", "uid=%1,gid=%1"},
        {"exfat uid,gid", "exfat", "uid=%1,gid=%1"},
        {"ntfs3 uid,gid", "ntfs3", "uid=%1,gid=%1"},
    };
}

// A mount namespace of the process's own, so that mounts made for a test are
// seen by it and its children alone, and go with it.
inline bool ownMountNamespace()
{
    return ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0
        && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}
