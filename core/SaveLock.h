// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "SaveFiles.h"

#include <QByteArray>

#include <chrono>
#include <optional>
#include <sys/types.h>

namespace SaveFiles {

// The process that holds a lock, as far as /proc/locks tells (locks of
// open file descriptions name none).
struct LockHolder {
    pid_t pid = 0;              // 0: not known
    QByteArray program;         // its command name, when the pid is known
    std::optional<uid_t> user;  // the account it runs as, when that can be read
};

// What taking the lock found besides the lock itself.
struct LockReport {
    LockHolder holder;   // EWOULDBLOCK, EBUSY: who holds it
    QByteArray file;     // EPERM, EINVAL: the file in the way, the lock file or the fresh
                         // one made to replace it
    uid_t owner = 0;     // EPERM: that file's owner
    FolderTrust trust;   // 0: which of its own files a save trusts in the folder
};

// The fresh lock file made to replace one that is not the user's own.
inline constexpr char NewLockName[] = ".wrenfield-unfinished-save.lock.new";

// Takes the lock that makes saves in one story folder happen one at a time,
// across copies of the program: a lock on the regular file SaveLockName in
// the folder, held by *lock until it is closed. An flock, or where the file
// system has none (some network file systems), an open-file-description
// lock.
//
// Where the file system keeps files private, the lock file is the user's
// alone (mode 0600): one that is not (left by an earlier version, another
// account or a run under sudo, or a link put there) is replaced by a fresh
// one, so that no other account can hold the lock. Where it cannot (a
// fresh file made 0600 does not come out so), the lock file is used as it
// is, and report->trust says so. Either way a lock that a process of the
// user's own holds is waited for, whatever the file's mode.
//
// Waits at most `wait`, then gives EWOULDBLOCK with the holder; EBUSY at
// once when another account holds a lock file that cannot be replaced;
// ENOLCK when no lock at all can be had there; EPERM, with the file and its
// owner, when a file that is not the user's is in the way and cannot be
// removed; EINVAL, with the file, when something other than a file is in
// the way; or the errno of opening it.
int lockFolder(int folder, std::chrono::milliseconds wait, Fd *lock, LockReport *report);

} // namespace SaveFiles
