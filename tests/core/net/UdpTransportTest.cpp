#include "core/net/UdpReceiver.h"
#include "core/net/UdpSender.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <thread>
#include <type_traits>
#include <vector>

// Everything here talks to 127.0.0.1 only, on ports the system picked as free.

namespace velmora {
namespace {

// Runs the main thread's events until `done` holds or the deadline passes.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Runs the main thread's events for a while, for checks that something does NOT happen.
void pumpEvents(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// What went wrong: the text of a refused send or of a thrown UdpError.
template <class Action> std::string errorOf(const Action& action) {
    try {
        if constexpr (std::is_same_v<decltype(action()), SendResult>) {
            if (const SendResult result = action(); !result.sent())
                return result.reason.toStdString();
        } else {
            action();
        }
    } catch (const UdpError& error) {
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
class UdpLoopback : public ::testing::Test {
protected:
    void start(int bufferSize = 65000) {
        receiver.setBufferSize(bufferSize);
        receiver.setDatagramHandler([this](UdpReceiver*, const char* bytes, int count,
                                           const QByteArray& address, quint16 port) {
            received.push_back({QByteArray(bytes, count), address, port});
        });
        receiver.setActive(true);
        port = receiver.boundPort();
        ASSERT_NE(port, 0);
        sender.setRemoteIP("127.0.0.1");
        sender.setRemotePort(port);
        sender.setActive(true);
    }

    // The bytes sent, or -1.
    int sendBytes(const QByteArray& bytes) {
        return sender.send(bytes.constData(), int(bytes.size())).sent() ? int(bytes.size()) : -1;
    }

    std::vector<Received> received;
    UdpReceiver receiver;
    UdpSender sender;
    quint16 port = 0;
};

QByteArray pattern(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + 3);
    return bytes;
}

TEST(UdpReceiver, BufferSizeOutsideLimitsIsRefusedAndKeepsOldValue) {
    UdpReceiver receiver;
    receiver.setBufferSize(4096);
    for (int size : {1023, 65001, 0, -1}) {
        EXPECT_EQ(errorOf([&] { receiver.setBufferSize(size); }), "Size value is out of boundary!")
            << size;
        EXPECT_EQ(receiver.bufferSize(), 4096);
    }
    receiver.setBufferSize(1024);
    EXPECT_EQ(receiver.bufferSize(), 1024);
    receiver.setBufferSize(65000);
    EXPECT_EQ(receiver.bufferSize(), 65000);
}

TEST_F(UdpLoopback, DatagramLongerThanBufferIsDroppedAndOneThatFitsArrivesIntact) {
    start(2048);
    const QByteArray tooLong = pattern(2049);
    const QByteArray fits = pattern(2048);
    EXPECT_EQ(sendBytes(tooLong), 2049);
    EXPECT_EQ(sendBytes(fits), 2048);
    // Loopback keeps the order, so once the second one is here the first had its chance.
    ASSERT_TRUE(waitUntil([&] { return !received.empty(); }));
    pumpEvents(100);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].bytes, fits);
    EXPECT_EQ(received[0].address, "127.0.0.1");
    EXPECT_NE(received[0].port, 0);
}

TEST_F(UdpLoopback, DatagramsAreHandledOneAtATimeInArrivalOrder) {
    start();
    for (char c = 'a'; c <= 'j'; ++c)
        sendBytes(QByteArray(1, c));
    ASSERT_TRUE(waitUntil([&] { return received.size() == 10; }));
    QByteArray order;
    for (const Received& r : received)
        order += r.bytes;
    EXPECT_EQ(order, "abcdefghij");
}

TEST_F(UdpLoopback, DeactivatingWhileWaitingEndsPromptlyAndNothingFollows) {
    start();
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // let the thread reach its wait
    QElapsedTimer timer;
    timer.start();
    receiver.setActive(false);
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_FALSE(receiver.active());
    EXPECT_EQ(receiver.boundPort(), 0);
    sendBytes("late"); // to a port nobody holds any more
    pumpEvents(200);
    EXPECT_TRUE(received.empty());
}

TEST_F(UdpLoopback, DeactivatingWithAHandOffPendingCancelsIt) {
    start();
    sendBytes("pending");
    // The thread now waits for the main thread, which does not run events until after the
    // deactivation.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QElapsedTimer timer;
    timer.start();
    receiver.setActive(false);
    EXPECT_LT(timer.elapsed(), 2000);
    pumpEvents(200);
    EXPECT_TRUE(received.empty());

    // A new activation starts afresh; the cancelled datagram does not reappear.
    receiver.setActive(true);
    sender.setRemotePort(receiver.boundPort());
    sendBytes("fresh");
    ASSERT_TRUE(waitUntil([&] { return !received.empty(); }));
    pumpEvents(50);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].bytes, "fresh");
}

TEST_F(UdpLoopback, HandlerMayDeactivateItsOwnReceiverAndKeepReadingTheBytes) {
    start();
    QByteArray seen;
    int calls = 0;
    receiver.setDatagramHandler(
        [&](UdpReceiver* r, const char* bytes, int count, const QByteArray&, quint16) {
            ++calls;
            r->setActive(false);
            // The buffer must outlive the thread that filled it.
            seen = QByteArray(bytes, count);
        });
    sendBytes("one");
    sendBytes("two");
    ASSERT_TRUE(waitUntil([&] { return calls > 0; }));
    pumpEvents(100);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, "one");
    EXPECT_FALSE(receiver.active());
}

TEST_F(UdpLoopback, DestroyingAnActiveReceiverWithAHandOffPendingIsSafe) {
    start();
    auto other = std::make_unique<UdpReceiver>();
    int calls = 0;
    other->setDatagramHandler(
        [&](UdpReceiver*, const char*, int, const QByteArray&, quint16) { ++calls; });
    other->setActive(true);
    sender.setRemotePort(other->boundPort());
    sendBytes("bye");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    other.reset();
    pumpEvents(100);
    EXPECT_EQ(calls, 0);
}

TEST_F(UdpLoopback, PortChangeRebindsAndSecondReceiverOnTakenPortFails) {
    start();
    UdpReceiver second;
    second.setPort(port);
    EXPECT_EQ(errorOf([&] { second.setActive(true); }),
              "Socket Error : " + std::to_string(EADDRINUSE));
    EXPECT_FALSE(second.active());
    EXPECT_EQ(second.boundPort(), 0);

    // Moving the first receiver frees its old port for the second; a port change while active
    // reactivates on the new port.
    UdpReceiver probe;
    probe.setActive(true);
    const quint16 freePort = probe.boundPort();
    probe.setActive(false);
    receiver.setPort(freePort);
    EXPECT_TRUE(receiver.active());
    EXPECT_EQ(receiver.boundPort(), freePort);
    second.setActive(true);
    EXPECT_EQ(second.boundPort(), port);

    sender.setRemotePort(freePort);
    sendBytes("moved");
    ASSERT_TRUE(waitUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received[0].bytes, "moved");
}

TEST(UdpSender, OpeningAndPropertyWritesReopenOnlyWhenSomethingChanges) {
    UdpSender sender;
    sender.setRemoteIP("127.0.0.1");
    sender.setRemotePort(9);
    sender.setActive(true);
    sender.setActive(true);
    EXPECT_EQ(sender.openCount(), 1);

    sender.setRemoteIP("127.0.0.1");
    sender.setRemotePort(9);
    EXPECT_EQ(sender.openCount(), 1);

    sender.setRemotePort(10);
    EXPECT_TRUE(sender.active());
    EXPECT_EQ(sender.openCount(), 2);

    sender.setActive(false);
    sender.setRemotePort(11); // stays closed
    EXPECT_FALSE(sender.active());
    EXPECT_EQ(sender.openCount(), 2);
}

TEST(UdpSender, SendRefusals) {
    UdpSender sender;
    EXPECT_EQ(errorOf([&] { return sender.send("x", 0); }), "(no error)");
    EXPECT_EQ(errorOf([&] { return sender.send(nullptr, -5); }), "(no error)");
    EXPECT_EQ(errorOf([&] { return sender.send("x", 1); }), "UDP Socket not connected");

    EXPECT_EQ(errorOf([&] { return sender.setActive(true); }), "Remote Host/IP not identified!");

    sender.setRemoteIP("127.0.0.1");
    sender.setRemotePort(9);
    sender.setActive(true);
    EXPECT_EQ(errorOf([&] { return sender.setActive(true); }), "(no error)");
    const QByteArray huge(70000, 'x');
    EXPECT_EQ(errorOf([&] { return sender.send(huge.constData(), int(huge.size())); }),
              "Package Size Too Big: 70000");
    EXPECT_TRUE(sender.active());
}

} // namespace
} // namespace velmora
