// The receiver hands over what the socket holds in batches; the handler still sees every
// datagram, whole and in arrival order. Everything here talks to 127.0.0.1 only.

#include "core/net/UdpReceiver.h"
#include "core/net/UdpSender.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace velmora {
namespace {

TEST(UdpReceiverBatches, ManyDatagramsQueuedAtOnceArriveWholeAndInOrder) {
    QList<QByteArray> received;
    UdpReceiver receiver;
    receiver.setDatagramHandler(
        [&](UdpReceiver*, const char* bytes, int count, const QByteArray& address, quint16) {
            EXPECT_EQ(address, "127.0.0.1");
            received.append(QByteArray(bytes, count));
        });
    receiver.setActive(true);
    UdpSender sender;
    sender.setRemoteIP("127.0.0.1");
    sender.setRemotePort(receiver.boundPort());
    sender.setActive(true);

    // More than one batch waits in the socket before the main thread runs: datagrams of
    // different lengths, so that each must come out of the batch at its own place.
    QList<QByteArray> sent;
    for (int i = 0; i < 150; ++i) {
        sent.append(QByteArray::number(i) + QByteArray(i % 7, char('a' + i % 26)));
        sender.send(sent.last().constData(), int(sent.last().size()));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    const QDeadlineTimer deadline(5000);
    while (received.size() < sent.size() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(received, sent);
}

} // namespace
} // namespace velmora
