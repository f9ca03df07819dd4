// A session manager for one client, for tests: it speaks the X session management protocol
// (libSM) and is driven from stdin, so that a test can ask a running copy for a checkpoint or
// end its session the way a desktop's session manager does.
//
//   velmora_session_manager
//     stdout: "listening <SESSION_MANAGER value>", then "registered", "done <0|1>" for each
//             finished save, "closed" when the client hangs up
//     stdin:  "checkpoint" (save yourself, both kinds of data, no shutdown),
//             "shutdown" (the same with shutdown, followed by "die" once the client is done)

#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

SmsConn client = nullptr;
IceConn clientIce = nullptr;
bool dieWhenDone = false;

void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

Status registerClient(SmsConn conn, SmPointer, char* previousId) {
    std::free(previousId);
    char* id = SmsGenerateClientID(conn);
    SmsRegisterClientReply(conn, id);
    std::free(id);
    // A new client gets the initial save of its state, as the protocol asks.
    SmsSaveYourself(conn, SmSaveLocal, False, SmInteractStyleNone, False);
    say("registered");
    return 1;
}

void saveYourselfDone(SmsConn conn, SmPointer, Bool success) {
    say(success ? "done 1" : "done 0");
    if (dieWhenDone) {
        dieWhenDone = false;
        SmsDie(conn);
    }
}

void interactRequest(SmsConn conn, SmPointer, int) {
    SmsInteract(conn);
}
void interactDone(SmsConn, SmPointer, Bool) {}
void saveYourselfRequest(SmsConn, SmPointer, int, Bool, int, Bool, Bool) {}
void phase2Request(SmsConn conn, SmPointer) {
    SmsSaveYourselfPhase2(conn);
}
void closeConnection(SmsConn conn, SmPointer, int count, char** reasons) {
    SmFreeReasons(count, reasons);
    IceConn ice = SmsGetIceConnection(conn);
    SmsCleanUp(conn);
    IceSetShutdownNegotiation(ice, False);
    IceCloseConnection(ice);
    client = nullptr;
    clientIce = nullptr;
    say("closed");
}
void setProperties(SmsConn, SmPointer, int count, SmProp** properties) {
    for (int i = 0; i < count; ++i)
        SmFreeProperty(properties[i]);
    std::free(properties);
}
void deleteProperties(SmsConn, SmPointer, int count, char** names) {
    for (int i = 0; i < count; ++i)
        std::free(names[i]);
    std::free(names);
}
void getProperties(SmsConn conn, SmPointer) {
    SmsReturnProperties(conn, 0, nullptr);
}

Status newClient(SmsConn conn, SmPointer, unsigned long* mask, SmsCallbacks* callbacks, char**) {
    client = conn;
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask |
            SmsSaveYourselfDoneProcMask | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask |
            SmsDeletePropertiesProcMask | SmsGetPropertiesProcMask;
    callbacks->register_client.callback = registerClient;
    callbacks->interact_request.callback = interactRequest;
    callbacks->interact_done.callback = interactDone;
    callbacks->save_yourself_request.callback = saveYourselfRequest;
    callbacks->save_yourself_phase2_request.callback = phase2Request;
    callbacks->save_yourself_done.callback = saveYourselfDone;
    callbacks->close_connection.callback = closeConnection;
    callbacks->set_properties.callback = setProperties;
    callbacks->delete_properties.callback = deleteProperties;
    callbacks->get_properties.callback = getProperties;
    return 1;
}

Bool anyHost(char*) {
    return True;
}

} // namespace

int main() {
    char error[256] = {};
    if (!SmsInitialize("velmora-tests", "1", newClient, nullptr, anyHost, sizeof error, error)) {
        std::fprintf(stderr, "SmsInitialize: %s\n", error);
        return 1;
    }
    int count = 0;
    IceListenObj* listeners = nullptr;
    if (!IceListenForConnections(&count, &listeners, sizeof error, error)) {
        std::fprintf(stderr, "IceListenForConnections: %s\n", error);
        return 1;
    }
    for (int i = 0; i < count; ++i)
        IceSetHostBasedAuthProc(listeners[i], anyHost);
    char* ids = IceComposeNetworkIdList(count, listeners);
    std::printf("listening %s\n", ids);
    std::fflush(stdout);
    std::free(ids);

    std::string input;
    for (;;) {
        std::vector<pollfd> fds{{STDIN_FILENO, POLLIN, 0}};
        for (int i = 0; i < count; ++i)
            fds.push_back({IceGetListenConnectionNumber(listeners[i]), POLLIN, 0});
        if (clientIce) fds.push_back({IceConnectionNumber(clientIce), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) continue;
        if (fds[0].revents) {
            char buffer[256];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) break;
            input.append(buffer, n);
            for (size_t end; (end = input.find('\n')) != std::string::npos;) {
                const std::string command = input.substr(0, end);
                input.erase(0, end + 1);
                if (!client) continue;
                const bool shutdown = command == "shutdown";
                dieWhenDone = shutdown;
                SmsSaveYourself(client, SmSaveBoth, shutdown, SmInteractStyleNone, False);
            }
        }
        for (int i = 0; i < count; ++i)
            if (fds[1 + i].revents) {
                IceAcceptStatus status;
                if (IceConn ice = IceAcceptConnection(listeners[i], &status)) clientIce = ice;
            }
        if (clientIce && fds.back().revents && fds.size() > size_t(1 + count))
            if (IceProcessMessages(clientIce, nullptr, nullptr) == IceProcessMessagesIOError) {
                IceSetShutdownNegotiation(clientIce, False);
                IceCloseConnection(clientIce);
                clientIce = nullptr;
                client = nullptr;
                say("closed");
            }
    }
    IceFreeListenObjs(count, listeners);
    return 0;
}
