// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "Application.h"

#include <QEvent>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// SIGTERM is turned into a byte on this socket pair, which the event loop
// reads: a signal handler may do little more than write.
int terminateSignal[2] = {-1, -1};

void onTerminate(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(terminateSignal[1], &byte, 1);
}

} // namespace

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // A session manager or a program whose peer has gone away would kill the
    // program with SIGPIPE on its next write; the write fails instead.
    std::signal(SIGPIPE, SIG_IGN);
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, terminateSignal) != 0)
        return;
    terminate = new QSocketNotifier(terminateSignal[0], QSocketNotifier::Read, this);
    connect(terminate, &QSocketNotifier::activated, this, &Application::terminateRequested);
    struct sigaction action {};
    action.sa_handler = onTerminate;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
}

Application::~Application()
{
    std::signal(SIGTERM, SIG_DFL);
}

// SIGTERM ends the program as the session's end does: the draft is kept,
// nothing is asked, and the status is 0.
void Application::terminateRequested()
{
    char bytes[16];
    while (::read(terminateSignal[0], bytes, sizeof bytes) > 0) {
    }
    QCoreApplication::postEvent(this, new QEvent(QEvent::Quit));
}

bool Application::event(QEvent *event)
{
    if (event->type() == QEvent::Quit)
        emit quitRequested();
    return QApplication::event(event);
}
