#pragma once
// The two UDP components that carry every datagram: UdpSender sends to one fixed
// destination, UdpReceiver receives on a local port in a background thread and hands each
// datagram to the main thread through OnUDPData, waiting until it has been handled.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace velmora {

// A failure of the transport. what() is the text the user sees ("Socket Error : 98", ...).
class UdpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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

    // Sends bytes[0..count) as one datagram; gives the number of bytes sent.
    int send(const char* bytes, int count);

    // How many times a socket was opened; lets tests see that a write did not reopen.
    int openCount() const { return openCount_; }

private:
    void open();
    void close();
    int sendToInterfaceBroadcasts(const char* bytes, int count);

    mutable std::recursive_mutex lock_;
    int socket_ = -1;
    bool active_ = false;
    bool connected_ = false;        // the unchecked connect() succeeded
    bool limitedBroadcast_ = false; // the destination is 255.255.255.255
    QByteArray remoteIP_;
    QByteArray remoteHost_;
    quint16 remotePort_ = 0;
    int openCount_ = 0;
};

class UdpReceiver;

// Receives on the owner's socket until the owner deactivates it. Lives only while the owner
// is active; the owner starts it, asks it to stop and waits for it.
class UdpReceiverThread {
public:
    UdpReceiverThread(UdpReceiver* owner, int socket, int bufferSize);
    ~UdpReceiverThread();
    void start();
    // Asks the thread to stop, wakes its wait and any pending hand-off, and joins it. Safe to
    // call from inside the OnUDPData handler: the buffer being handled stays alive until the
    // handler returns.
    void stopAndWait();

private:
    struct Shared;
    void run();

    UdpReceiver* owner_;
    int socket_;
    int bufferSize_;
    int wakeFd_ = -1;
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<std::thread> thread_;
};

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
    QByteArray multicastIP() const { return multicastIP_; }
    void setMulticastIP(const QByteArray& ip);
    void setDatagramHandler(DatagramHandler handler) { datagramHandler_ = std::move(handler); }

    // The port actually bound (useful when Port is 0); 0 while inactive.
    quint16 boundPort() const;

    virtual void addMembership(int socket, const QByteArray& group);
    virtual void dataArrived(const char* bytes, int count, const QByteArray& address, quint16 port);

    // The text of the membership error table for an errno value.
    static QByteArray membershipErrorText(int error);

private:
    void activate();
    void deactivate();

    int socket_ = -1;
    bool active_ = false;
    quint16 port_ = 0;
    int bufferSize_ = 65000;
    QByteArray multicastIP_;
    std::unique_ptr<UdpReceiverThread> thread_;
    DatagramHandler datagramHandler_;
};

} // namespace velmora
