// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <cstdio>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

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
