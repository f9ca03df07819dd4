#include "core/net/UdpTransport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

// Everything here talks to 127.0.0.1 only, on ports the system picked as free.

namespace velmora {
namespace {

// Runs the main thread's events until `done` holds or the deadline passes.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Runs the main thread's events for a while, for checks that something does NOT happen.
void PumpEvents(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EUDPError& error) {
        return error.what();
    }
    return "(no error)";
}

struct Received {
    QByteArray bytes;
    QByteArray address;
    quint16 port = 0;
};

// A receiver on a free port of this machine that records every datagram handed to it.
class BufferUDPLoopback : public ::testing::Test {
protected:
    void Start(int bufferSize = 65000) {
        receiver.SetBufferSize(bufferSize);
        receiver.SetOnUDPData([this](TUDPReceiver*, const char* bytes, int count,
                                     const QByteArray& address, quint16 port) {
            received.push_back({QByteArray(bytes, count), address, port});
        });
        receiver.SetActive(true);
        port = receiver.BoundPort();
        ASSERT_NE(port, 0);
        sender.SetRemoteIP("127.0.0.1");
        sender.SetRemotePort(port);
        sender.SetActive(true);
    }

    int SendBytes(const QByteArray& bytes) {
        return sender.Send(bytes.constData(), int(bytes.size()));
    }

    std::vector<Received> received;
    TUDPReceiver receiver;
    TUDPSender sender;
    quint16 port = 0;
};

QByteArray Pattern(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + 3);
    return bytes;
}

// A host name that the resolver does not know.
class FakeLookupSender : public TUDPSender {
public:
    QByteArray HostToAddress(const QByteArray&) override { return {}; }
};

TEST(BufferUDPReceiver, BufferSizeOutsideLimitsIsRefusedAndKeepsOldValue) {
    TUDPReceiver receiver;
    receiver.SetBufferSize(4096);
    for (int size : {1023, 65001, 0, -1}) {
        EXPECT_EQ(ErrorOf([&] { receiver.SetBufferSize(size); }), "Size value is out of boundary!")
            << size;
        EXPECT_EQ(receiver.BufferSize(), 4096);
    }
    receiver.SetBufferSize(1024);
    EXPECT_EQ(receiver.BufferSize(), 1024);
    receiver.SetBufferSize(65000);
    EXPECT_EQ(receiver.BufferSize(), 65000);
}

TEST_F(BufferUDPLoopback, DatagramLongerThanBufferIsDroppedAndOneThatFitsArrivesIntact) {
    Start(2048);
    const QByteArray tooLong = Pattern(2049);
    const QByteArray fits = Pattern(2048);
    EXPECT_EQ(SendBytes(tooLong), 2049);
    EXPECT_EQ(SendBytes(fits), 2048);
    // Loopback keeps the order, so once the second one is here the first had its chance.
    ASSERT_TRUE(WaitUntil([&] { return !received.empty(); }));
    PumpEvents(100);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].bytes, fits);
    EXPECT_EQ(received[0].address, "127.0.0.1");
    EXPECT_NE(received[0].port, 0);
}

TEST_F(BufferUDPLoopback, DatagramsAreHandledOneAtATimeInArrivalOrder) {
    Start();
    for (char c = 'a'; c <= 'j'; ++c)
        SendBytes(QByteArray(1, c));
    ASSERT_TRUE(WaitUntil([&] { return received.size() == 10; }));
    QByteArray order;
    for (const Received& r : received)
        order += r.bytes;
    EXPECT_EQ(order, "abcdefghij");
}

TEST_F(BufferUDPLoopback, DeactivatingWhileWaitingEndsPromptlyAndNothingFollows) {
    Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // let the thread reach its wait
    QElapsedTimer timer;
    timer.start();
    receiver.SetActive(false);
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_FALSE(receiver.Active());
    EXPECT_EQ(receiver.BoundPort(), 0);
    SendBytes("late"); // to a port nobody holds any more
    PumpEvents(200);
    EXPECT_TRUE(received.empty());
}

TEST_F(BufferUDPLoopback, DeactivatingWithAHandOffPendingCancelsIt) {
    Start();
    SendBytes("pending");
    // The thread now waits for the main thread, which does not run events until after the
    // deactivation.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QElapsedTimer timer;
    timer.start();
    receiver.SetActive(false);
    EXPECT_LT(timer.elapsed(), 2000);
    PumpEvents(200);
    EXPECT_TRUE(received.empty());

    // A new activation starts afresh; the cancelled datagram does not reappear.
    receiver.SetActive(true);
    sender.SetRemotePort(receiver.BoundPort());
    SendBytes("fresh");
    ASSERT_TRUE(WaitUntil([&] { return !received.empty(); }));
    PumpEvents(50);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].bytes, "fresh");
}

TEST_F(BufferUDPLoopback, HandlerMayDeactivateItsOwnReceiverAndKeepReadingTheBytes) {
    Start();
    QByteArray seen;
    int calls = 0;
    receiver.SetOnUDPData(
        [&](TUDPReceiver* r, const char* bytes, int count, const QByteArray&, quint16) {
            ++calls;
            r->SetActive(false);
            // The buffer must outlive the thread that filled it.
            seen = QByteArray(bytes, count);
        });
    SendBytes("one");
    SendBytes("two");
    ASSERT_TRUE(WaitUntil([&] { return calls > 0; }));
    PumpEvents(100);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, "one");
    EXPECT_FALSE(receiver.Active());
}

TEST_F(BufferUDPLoopback, DestroyingAnActiveReceiverWithAHandOffPendingIsSafe) {
    Start();
    auto other = std::make_unique<TUDPReceiver>();
    int calls = 0;
    other->SetOnUDPData(
        [&](TUDPReceiver*, const char*, int, const QByteArray&, quint16) { ++calls; });
    other->SetActive(true);
    sender.SetRemotePort(other->BoundPort());
    SendBytes("bye");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    other.reset();
    PumpEvents(100);
    EXPECT_EQ(calls, 0);
}

TEST_F(BufferUDPLoopback, PortChangeRebindsAndSecondReceiverOnTakenPortFails) {
    Start();
    TUDPReceiver second;
    second.SetPort(port);
    EXPECT_EQ(ErrorOf([&] { second.SetActive(true); }),
              "Socket Error : " + std::to_string(EADDRINUSE));
    EXPECT_FALSE(second.Active());
    EXPECT_EQ(second.BoundPort(), 0);

    // Moving the first receiver frees its old port for the second; a port change while active
    // reactivates on the new port.
    TUDPReceiver probe;
    probe.SetActive(true);
    const quint16 freePort = probe.BoundPort();
    probe.SetActive(false);
    receiver.SetPort(freePort);
    EXPECT_TRUE(receiver.Active());
    EXPECT_EQ(receiver.BoundPort(), freePort);
    second.SetActive(true);
    EXPECT_EQ(second.BoundPort(), port);

    sender.SetRemotePort(freePort);
    SendBytes("moved");
    ASSERT_TRUE(WaitUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received[0].bytes, "moved");
}

TEST(BufferUDPReceiver, FailedMembershipLeavesItInactiveWithThePortReleased) {
    TUDPReceiver probe;
    probe.SetActive(true);
    const quint16 port = probe.BoundPort();
    probe.SetActive(false);

    TUDPReceiver receiver;
    receiver.SetPort(port);
    receiver.SetMulticastIP("10.1.2.3"); // not a multicast group: refused before any traffic
    EXPECT_EQ(ErrorOf([&] { receiver.SetActive(true); }),
              "level is not valid, or the information in optval is not valid.");
    EXPECT_FALSE(receiver.Active());
    probe.SetPort(port);
    EXPECT_NO_THROW(probe.SetActive(true)); // the failed activation closed its socket
}

TEST(BufferUDPReceiver, MembershipErrorTexts) {
    const std::pair<int, const char*> table[] = {
        {EFAULT, "optval is not in a valid part of the process address space or optlen "
                 "argument is too small."},
        {EINVAL, "level is not valid, or the information in optval is not valid."},
        {EINPROGRESS, "A blocking Windows Sockets 1.1 call is in progress, or the service "
                      "provider is still processing a callback function."},
        {ENOTSOCK, "The descriptor is not a socket."},
        {ENOPROTOOPT, "The option is unknown or unsupported for the specified provider."},
        {ENETDOWN, "The network subsystem has failed."},
        {ETIMEDOUT, "Connection has timed out when SO_KEEPALIVE is set."},
        {ENOBUFS, "An operation on a socket could not be performed because the system lacked "
                  "sufficient buffer space or because a queue was full."},
        {ECONNRESET, "Connection has been reset when SO_KEEPALIVE is set."},
        {EADDRINUSE, "Unknow socket error."},
        {0, "Unknow socket error."},
    };
    for (const auto& [error, text] : table)
        EXPECT_EQ(TUDPReceiver::MembershipErrorText(error), text) << error;
}

TEST(BufferUDPSender, OpeningAndPropertyWritesReopenOnlyWhenSomethingChanges) {
    TUDPSender sender;
    sender.SetRemoteIP("127.0.0.1");
    EXPECT_EQ(sender.RemoteHost(), "LOCALHOST");
    sender.SetRemotePort(9);
    sender.SetActive(true);
    sender.SetActive(true);
    EXPECT_EQ(sender.OpenCount(), 1);

    sender.SetRemoteIP("127.0.0.1");
    sender.SetRemotePort(9);
    EXPECT_EQ(sender.OpenCount(), 1);

    sender.SetRemotePort(10);
    EXPECT_TRUE(sender.Active());
    EXPECT_EQ(sender.OpenCount(), 2);

    sender.SetActive(false);
    sender.SetRemotePort(11); // stays closed
    EXPECT_FALSE(sender.Active());
    EXPECT_EQ(sender.OpenCount(), 2);
}

TEST(BufferUDPSender, SendRefusals) {
    TUDPSender sender;
    EXPECT_EQ(sender.Send("x", 0), 0);
    EXPECT_EQ(sender.Send(nullptr, -5), 0);
    EXPECT_EQ(ErrorOf([&] { sender.Send("x", 1); }), "UDP Socket not connected");

    EXPECT_EQ(ErrorOf([&] { sender.SetActive(true); }), "Remote Host/IP not identified!");

    sender.SetRemoteIP("127.0.0.1");
    sender.SetRemotePort(9);
    sender.SetActive(true);
    EXPECT_EQ(ErrorOf([&] { sender.SetActive(true); }), "(no error)");
    const QByteArray huge(70000, 'x');
    EXPECT_EQ(ErrorOf([&] { sender.Send(huge.constData(), int(huge.size())); }),
              "Package Size Too Big: 70000");
    EXPECT_TRUE(sender.Active());
}

TEST(BufferUDPSender, UnresolvedHostNameLeavesNoDestination) {
    FakeLookupSender sender;
    sender.SetRemoteHost("nowhere");
    EXPECT_EQ(sender.RemoteIP(), "");
    EXPECT_EQ(ErrorOf([&] { sender.SetActive(true); }), "Remote Host/IP not identified!");
    EXPECT_FALSE(sender.Active());
    EXPECT_EQ(sender.OpenCount(), 0);
}

TEST(BufferUDPSender, NameLookupsWithoutTheResolver) {
    TUDPSender sender;
    EXPECT_EQ(sender.HostToAddress("localhost"), "127.0.0.1");
    EXPECT_EQ(sender.HostToAddress("LocalHost"), "127.0.0.1");
    EXPECT_EQ(sender.HostToAddress("10.77.0.3"), "10.77.0.3");
    EXPECT_EQ(sender.HostToAddress(""), "");
    EXPECT_EQ(sender.AddressToHost("127.0.0.1"), "LOCALHOST");

    // The program's destination is the limited broadcast: it must not wait on the resolver.
    QElapsedTimer timer;
    timer.start();
    sender.SetRemoteIP("255.255.255.255");
    EXPECT_EQ(sender.RemoteHost(), "");
    EXPECT_LT(timer.elapsed(), 2000);

    sender.SetRemoteHost("localhost");
    EXPECT_EQ(sender.RemoteIP(), "127.0.0.1");
}

} // namespace
} // namespace velmora
