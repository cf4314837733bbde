// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "SaveFiles.h"

#include <QByteArray>

#include <chrono>
#include <sys/types.h>

namespace SaveFiles {

// What holds a lock that a save waited for in vain, or owns a lock file it
// could not replace, as far as the system tells.
struct LockHolder {
    pid_t pid = 0;       // 0: not known
    QByteArray program;  // its command name, when the pid is known
    uid_t owner = 0;     // for a lock file that is not the user's: its owner
};

// Takes the lock that makes saves in one story folder happen one at a time,
// across copies of the program: a lock on the regular file SaveLockName in
// the folder, held by *lock until it is closed. An flock, or where the file
// system has none (some network file systems), an open-file-description
// lock. The lock file is the user's alone (mode 0600): one that is not (left
// by an earlier version, another account or a run under sudo, or a link put
// there) is replaced by a fresh one, so that no other account can hold the
// lock. Waits at most `wait`, then gives EWOULDBLOCK with the holder; ENOLCK
// when no lock at all can be had there; EPERM, with the owner, when a lock
// file that is not the user's cannot be replaced; EINVAL when something
// other than a file is in its place; or the errno of opening it.
int lockFolder(int folder, std::chrono::milliseconds wait, Fd *lock, LockHolder *holder = nullptr);

} // namespace SaveFiles
