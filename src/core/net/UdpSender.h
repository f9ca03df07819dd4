#pragma once
// The sending half of the UDP transport that carries every datagram: UdpSender sends to one
// fixed destination. UdpReceiver is the receiving half.

#include "core/net/UdpError.h"

#include <QByteArray>
#include <QObject>

#include <netinet/in.h>

#include <mutex>

namespace velmora {

// Setting it active, changing its destination while active and send() throw UdpError.
class UdpSender : public QObject {
    Q_OBJECT
public:
    explicit UdpSender(QObject* owner = nullptr);
    ~UdpSender() override;

    bool active() const;
    void setActive(bool active);
    QByteArray remoteIP() const { return remoteIP_; }
    void setRemoteIP(const QByteArray& ip);
    QByteArray remoteHost() const { return remoteHost_; }
    void setRemoteHost(const QByteArray& host);
    quint16 remotePort() const { return remotePort_; }
    void setRemotePort(quint16 port);

    // Host name to dotted address ("" when it cannot be found), and the reverse.
    virtual QByteArray hostToAddress(const QByteArray& host);
    virtual QByteArray addressToHost(const QByteArray& address);

    // Sends bytes[0..count) as one datagram; gives the number of bytes sent, or -1 for a
    // failure that is not thrown (lastError() tells which).
    int send(const char* bytes, int count);
    // The errno of the last send, 0 when it went out.
    int lastError() const { return lastError_; }
    // The computer's own address: where the limited broadcast cannot go, the subnet broadcast
    // of the interface that carries it is used.
    void setSourceAddress(const QByteArray& address) { sourceAddress_ = address; }

    // How many times a socket was opened; lets tests see that a write did not reopen.
    int openCount() const { return openCount_; }

private:
    void open();
    void close();
    int sendToInterfaceBroadcasts(const char* bytes, int count);

    mutable std::recursive_mutex lock_;
    int socket_ = -1;
    bool active_ = false;
    sockaddr_in destination_{};
    bool hasDestination_ = false;   // the destination is a dotted address
    bool limitedBroadcast_ = false; // the destination is 255.255.255.255
    int lastError_ = 0;
    QByteArray sourceAddress_;
    QByteArray remoteIP_;
    QByteArray remoteHost_;
    quint16 remotePort_ = 0;
    int openCount_ = 0;
};

} // namespace velmora
