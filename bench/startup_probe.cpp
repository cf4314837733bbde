// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// Starts a program on the X display and measures, for its first top-level
// window, the time from exec to the window being mapped, and the program's
// peak resident memory (VmHWM) a moment later, once it has painted.
//
//   wrenfield_startup_probe [--settle MS] -- PROGRAM [ARGS...]
//
// Prints one line: "map_ms=<ms> cpu_ms=<ms> vmhwm_kib=<KiB>", where cpu_ms is
// the processor time all the program's threads had used when the window was
// mapped (from schedstat), which a busy machine disturbs less than map_ms.
// The window is told apart from others by its _NET_WM_PID, so no window
// manager is needed.

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

long windowPid(Display *display, Window window, Atom netWmPid)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, netWmPid, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success
        && data && format == 32 && count == 1)
        pid = static_cast<long>(*reinterpret_cast<unsigned long *>(data));
    if (data)
        XFree(data);
    return pid;
}

long peakResidentKib(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Processor time in ms that all threads of pid have run so far.
double cpuMs(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR *dir = opendir(tasks.c_str());
    if (!dir)
        return -1;
    double ns = 0;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream schedstat(tasks + "/" + entry->d_name + "/schedstat");
        double running = 0;
        if (schedstat >> running)
            ns += running;
    }
    closedir(dir);
    return ns / 1e6;
}

int ignoreErrors(Display *, XErrorEvent *) { return 0; }

} // namespace

int main(int argc, char *argv[])
{
    int settleMs = 500;
    int first = 1;
    for (; first < argc; ++first) {
        if (std::strcmp(argv[first], "--settle") == 0 && first + 1 < argc)
            settleMs = std::atoi(argv[++first]);
        else if (std::strcmp(argv[first], "--") == 0) {
            ++first;
            break;
        } else
            break;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: %s [--settle MS] -- PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }

    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open the X display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);  // a window may go away before we look at it
    const Window root = DefaultRootWindow(display);
    const Atom netWmPid = XInternAtom(display, "_NET_WM_PID", False);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[first], argv + first);
        std::perror(argv[first]);
        _exit(127);
    }

    double mapMs = -1;
    double mapCpuMs = -1;
    const int fd = ConnectionNumber(display);
    while (mapMs < 0) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && windowPid(display, event.xmap.window, netWmPid) == child) {
                mapMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                mapCpuMs = cpuMs(child);
                break;
            }
        }
        if (mapMs >= 0)
            break;
        if (std::chrono::duration<double>(Clock::now() - start).count() > 30
            || waitpid(child, nullptr, WNOHANG) == child) {
            std::fprintf(stderr, "%s: no window within 30 s or it ended\n", argv[first]);
            kill(child, SIGKILL);
            return 1;
        }
        pollfd pfd{fd, POLLIN, 0};
        poll(&pfd, 1, 100);
    }

    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    const long peak = peakResidentKib(child);
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    XCloseDisplay(display);

    std::printf("map_ms=%.1f cpu_ms=%.1f vmhwm_kib=%ld\n", mapMs, mapCpuMs, peak);
    return 0;
}
