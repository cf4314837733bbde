// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// Preloaded into a save to play another program that creates the story file
// at the worst moment: just before the save's rename or hard link, it puts a
// file of its own at the target name. Renames back to temp.txt (a rollback)
// and the save's own hidden files are left alone.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

void createRival(int folder, const char *name)
{
    const int saved = errno;
    const bool own = std::strcmp(name, "temp.txt") == 0 || std::strncmp(name, ".wrenfield", 10) == 0;
    const int fd = own ? -1 : ::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd >= 0) {
        ::dprintf(fd, "rival file");
        ::close(fd);
    }
    errno = saved;
}

} // namespace

extern "C" int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned int flags)
{
    createRival(toDir, to);
    using Real = int (*)(int, const char *, int, const char *, unsigned int);
    return reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "renameat2"))(fromDir, from, toDir, to, flags);
}

extern "C" int linkat(int fromDir, const char *from, int toDir, const char *to, int flags)
{
    createRival(toDir, to);
    using Real = int (*)(int, const char *, int, const char *, int);
    return reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "linkat"))(fromDir, from, toDir, to, flags);
}
