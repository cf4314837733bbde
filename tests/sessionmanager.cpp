// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// A stand-in for the desktop's session manager (XSMP, as the X11 desktops
// speak it), enough to end one client's session as a logout does.
//
//   wrenfield_sessionmanager FILE
//
// Writes the address for SESSION_MANAGER into FILE and waits for a client.
// SIGUSR1 is a logout: "save yourself" (files and state, interaction
// allowed) with the shutdown, then "die" once saved; SIGUSR2 a checkpoint:
// the same without the shutdown and "die". Exits 0 when the client saved and
// closed its connection, 1 when it closed without saving.

#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace {

int wakePipe[2];
SmsConn client = nullptr;
bool shuttingDown = false;
bool saved = false;
bool closed = false;

void onSignal(int number)
{
    const char byte = number == SIGUSR2 ? 2 : 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wakePipe[1], &byte, 1);
}

Bool acceptAnyHost(char *) { return True; }

Status newClient(SmsConn, SmPointer, unsigned long *mask, SmsCallbacks *callbacks, char **)
{
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask
          | SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask | SmsSaveYourselfDoneProcMask
          | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask
          | SmsGetPropertiesProcMask;
    callbacks->register_client.callback = [](SmsConn conn, SmPointer, char *) -> Status {
        char *id = SmsGenerateClientID(conn);
        SmsRegisterClientReply(conn, id ? id : const_cast<char *>("1wrenfield-test"));
        std::free(id);
        client = conn;
        std::fprintf(stderr, "session manager: a client registered\n");
        return 1;
    };
    callbacks->save_yourself_done.callback = [](SmsConn conn, SmPointer, Bool success) {
        saved = success;
        std::fprintf(stderr, "session manager: the client saved (%s)%s\n", success ? "ok" : "failed",
                     shuttingDown ? "; telling it to die" : "");
        if (shuttingDown)
            SmsDie(conn);
    };
    callbacks->close_connection.callback = [](SmsConn conn, SmPointer, int count, char **reasons) {
        SmFreeReasons(count, reasons);
        SmsCleanUp(conn);
        client = nullptr;
        closed = true;
    };
    // What the test does not need is answered as simply as XSMP allows.
    callbacks->interact_request.callback = [](SmsConn conn, SmPointer, int) { SmsInteract(conn); };
    callbacks->interact_done.callback = [](SmsConn, SmPointer, Bool) {};
    callbacks->save_yourself_request.callback = [](SmsConn, SmPointer, int, Bool, int, Bool, Bool) {};
    callbacks->save_yourself_phase2_request.callback = [](SmsConn conn, SmPointer) { SmsSaveYourselfPhase2(conn); };
    callbacks->set_properties.callback = [](SmsConn, SmPointer, int count, SmProp **properties) {
        for (int i = 0; i < count; ++i)
            SmFreeProperty(properties[i]);
        std::free(properties);
    };
    callbacks->delete_properties.callback = [](SmsConn, SmPointer, int, char **) {};
    callbacks->get_properties.callback = [](SmsConn conn, SmPointer) { SmsReturnProperties(conn, 0, nullptr); };
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 2;
    char error[256] = {};
    int count = 0;
    IceListenObj *listeners = nullptr;
    if (!SmsInitialize("wrenfield-test", "1", newClient, nullptr, acceptAnyHost, sizeof error, error)
        || !IceListenForConnections(&count, &listeners, sizeof error, error) || ::pipe(wakePipe) != 0) {
        std::fprintf(stderr, "session manager: %s\n", error);
        return 2;
    }
    for (int i = 0; i < count; ++i)
        IceSetHostBasedAuthProc(listeners[i], acceptAnyHost);
    std::signal(SIGUSR1, onSignal);
    std::signal(SIGUSR2, onSignal);
    // A client that has gone is an error to handle, not the end of this
    // program: no SIGPIPE, and not ICE's default of exiting.
    std::signal(SIGPIPE, SIG_IGN);
    IceSetIOErrorHandler([](IceConn) {});

    char *address = IceComposeNetworkIdList(count, listeners);
    FILE *file = std::fopen(argv[1], "w");
    if (!file || std::fprintf(file, "%s\n", address) < 0 || std::fclose(file) != 0)
        return 2;
    std::free(address);

    std::vector<IceConn> connections;
    while (!closed) {
        std::vector<pollfd> watched{{wakePipe[0], POLLIN, 0}};
        for (int i = 0; i < count; ++i)
            watched.push_back({IceGetListenConnectionNumber(listeners[i]), POLLIN, 0});
        for (IceConn conn : connections)
            watched.push_back({IceConnectionNumber(conn), POLLIN, 0});
        if (::poll(watched.data(), watched.size(), -1) < 0)
            continue;
        if (watched[0].revents) {
            char byte;
            [[maybe_unused]] const ssize_t ignored = ::read(wakePipe[0], &byte, 1);
            if (client) {
                shuttingDown = byte == 1;
                std::fprintf(stderr, "session manager: %s\n",
                             shuttingDown ? "the session is shutting down" : "a checkpoint");
                SmsSaveYourself(client, SmSaveBoth, shuttingDown ? True : False, SmInteractStyleAny, False);
            }
        }
        for (int i = 0; i < count; ++i) {
            if (!watched[std::size_t(i) + 1].revents)
                continue;
            IceAcceptStatus status;
            IceConn conn = IceAcceptConnection(listeners[i], &status);
            if (!conn)
                continue;
            while (IceConnectionStatus(conn) == IceConnectPending)
                IceProcessMessages(conn, nullptr, nullptr);
            if (IceConnectionStatus(conn) == IceConnectAccepted)
                connections.push_back(conn);
            else
                IceCloseConnection(conn);
        }
        for (std::size_t c = 0; c < connections.size(); ++c) {
            if (!watched[std::size_t(count) + 1 + c].revents)
                continue;
            if (IceProcessMessages(connections[c], nullptr, nullptr) == IceProcessMessagesIOError) {
                // The client has gone without closing its connection, as a
                // program that ends with _Exit does: its session is over.
                closed = client != nullptr || closed;
                client = nullptr;
                IceCloseConnection(connections[c]);
                connections.erase(connections.begin() + std::ptrdiff_t(c));
                break;
            }
        }
    }
    for (IceConn conn : connections)
        IceCloseConnection(conn);
    IceFreeListenObjs(count, listeners);
    return saved ? 0 : 1;
}
