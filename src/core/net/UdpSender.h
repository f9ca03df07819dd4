#pragma once
// The sending half of the UDP transport that carries every datagram: UdpSender sends to one
// fixed destination. UdpReceiver is the receiving half.

#include "core/net/SendResult.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <netinet/in.h>

#include <mutex>
#include <optional>

namespace velmora {

class UdpSender : public QObject {
    Q_OBJECT
public:
    explicit UdpSender(QObject* owner = nullptr);
    ~UdpSender() override;

    bool active() const;
    // Opening fails without a destination or a socket: the result says why.
    SendResult setActive(bool active);
    // A change while open reopens; a reopening that fails leaves the sender closed.
    void setRemoteIP(const QByteArray& ip);
    void setRemotePort(quint16 port);

    // Sends bytes[0..count) as one datagram; nothing to send counts as sent.
    SendResult send(const char* bytes, int count);
    // The computer's own address: where the limited broadcast cannot go, the subnet broadcast
    // of the interface that carries it is used.
    void setSourceAddress(const QByteArray& address) { sourceAddress_ = address; }

    // How many times a socket was opened; lets tests see that a write did not reopen.
    int openCount() const { return openCount_; }

    // What became of the last datagram: none before the first. For a report of the network.
    std::optional<SendResult> lastResult() const;
    // The subnet broadcasts the last datagram went to in place of the limited broadcast; empty
    // when it went to the destination itself.
    QList<QByteArray> lastSubnetBroadcasts() const;

private:
    SendResult open();
    void close();
    SendResult sendNow(const char* bytes, int count);
    int sendToInterfaceBroadcasts(const char* bytes, int count);

    mutable std::recursive_mutex lock_;
    int socket_ = -1;
    bool active_ = false;
    sockaddr_in destination_{};
    bool hasDestination_ = false;   // the destination is a dotted address
    bool limitedBroadcast_ = false; // the destination is 255.255.255.255
    QByteArray sourceAddress_;
    QByteArray remoteIP_;
    quint16 remotePort_ = 0;
    int openCount_ = 0;
    std::optional<SendResult> lastResult_;
    QList<QByteArray> lastSubnetBroadcasts_; // the first eight
};

} // namespace velmora
