// Preloaded into a save to play another program that creates the story file
// at the worst moment: just before the save's rename or hard link, it puts a
// file of its own at the target name. Renames back to temp.txt (a rollback)
// are left alone.

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

void createRival(int folder, const char *name)
{
    if (std::strcmp(name, "temp.txt") == 0)
        return;
    const int saved = errno;
    const int fd = ::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
        static const char rival[] = "rival file";
        [[maybe_unused]] const ssize_t written = ::write(fd, rival, sizeof rival - 1);
        ::close(fd);
    }
    errno = saved;
}

template <typename Function>
Function next(const char *name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned int flags)
{
    createRival(toDir, to);
    static const auto real = next<int (*)(int, const char *, int, const char *, unsigned int)>("renameat2");
    return real(fromDir, from, toDir, to, flags);
}

extern "C" int linkat(int fromDir, const char *from, int toDir, const char *to, int flags)
{
    createRival(toDir, to);
    static const auto real = next<int (*)(int, const char *, int, const char *, int)>("linkat");
    return real(fromDir, from, toDir, to, flags);
}
