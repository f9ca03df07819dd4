#pragma once
// The receiving half of the UDP transport that carries every datagram: UdpReceiver receives on
// a local port in a background thread, which drains what the socket holds (up to 64 datagrams)
// and hands the batch to the main thread in one call, waiting until it has been handled; the
// main thread passes each datagram to the datagram handler in arrival order. UdpSender is the
// sending half.

#include "core/net/UdpError.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>
#include <utility>

namespace velmora {

// Defined in UdpReceiver.cpp: held through a pointer, so the thread and its locking stay out
// of every file that includes this one.
class UdpReceiverThread;

// Setting it active, changing its port while active and setBufferSize() throw UdpError.
class UdpReceiver : public QObject {
    Q_OBJECT
public:
    // receiver, bytes, count, source address (dotted), source port
    using DatagramHandler =
        std::function<void(UdpReceiver*, const char*, int, const QByteArray&, quint16)>;

    explicit UdpReceiver(QObject* owner = nullptr);
    ~UdpReceiver() override;

    bool active() const { return active_; }
    void setActive(bool active);
    quint16 port() const { return port_; }
    void setPort(quint16 port);
    int bufferSize() const { return bufferSize_; }
    void setBufferSize(int size);
    void setDatagramHandler(DatagramHandler handler) { datagramHandler_ = std::move(handler); }

    // The port actually bound (useful when Port is 0); 0 while inactive.
    quint16 boundPort() const;

    virtual void dataArrived(const char* bytes, int count, const QByteArray& address, quint16 port);

private:
    void activate();
    void deactivate();

    int socket_ = -1;
    bool active_ = false;
    quint16 port_ = 0;
    int bufferSize_ = 65000;
    std::unique_ptr<UdpReceiverThread> thread_;
    DatagramHandler datagramHandler_;
};

} // namespace velmora
