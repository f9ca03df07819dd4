#pragma once
// The two UDP components that carry every datagram: TUDPSender sends to one fixed
// destination, TUDPReceiver receives on a local port in a background thread and hands each
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
class EUDPError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TUDPSender : public QObject {
    Q_OBJECT
public:
    explicit TUDPSender(QObject* owner = nullptr);
    ~TUDPSender() override;

    bool Active() const;
    void SetActive(bool active);
    QByteArray RemoteIP() const { return remoteIP_; }
    void SetRemoteIP(const QByteArray& ip);
    QByteArray RemoteHost() const { return remoteHost_; }
    void SetRemoteHost(const QByteArray& host);
    quint16 RemotePort() const { return remotePort_; }
    void SetRemotePort(quint16 port);

    // Host name to dotted address ("" when it cannot be found), and the reverse.
    virtual QByteArray HostToAddress(const QByteArray& host);
    virtual QByteArray AddressToHost(const QByteArray& address);

    // Sends bytes[0..count) as one datagram; gives the number of bytes sent.
    int Send(const char* bytes, int count);

    // How many times a socket was opened; lets tests see that a write did not reopen.
    int OpenCount() const { return openCount_; }

private:
    void Open();
    void Close();
    int SendToInterfaceBroadcasts(const char* bytes, int count);

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

class TUDPReceiver;

// Receives on the owner's socket until the owner deactivates it. Lives only while the owner
// is active; the owner starts it, asks it to stop and waits for it.
class TUDPReceiverThread {
public:
    TUDPReceiverThread(TUDPReceiver* owner, int socket, int bufferSize);
    ~TUDPReceiverThread();
    void Start();
    // Asks the thread to stop, wakes its wait and any pending hand-off, and joins it. Safe to
    // call from inside the OnUDPData handler: the buffer being handled stays alive until the
    // handler returns.
    void StopAndWait();

private:
    struct Shared;
    void Run();

    TUDPReceiver* owner_;
    int socket_;
    int bufferSize_;
    int wakeFd_ = -1;
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<std::thread> thread_;
};

class TUDPReceiver : public QObject {
    Q_OBJECT
public:
    // receiver, bytes, count, source address (dotted), source port
    using UDPDataHandler =
        std::function<void(TUDPReceiver*, const char*, int, const QByteArray&, quint16)>;

    explicit TUDPReceiver(QObject* owner = nullptr);
    ~TUDPReceiver() override;

    bool Active() const { return active_; }
    void SetActive(bool active);
    quint16 Port() const { return port_; }
    void SetPort(quint16 port);
    int BufferSize() const { return bufferSize_; }
    void SetBufferSize(int size);
    QByteArray MulticastIP() const { return multicastIP_; }
    void SetMulticastIP(const QByteArray& ip);
    void SetOnUDPData(UDPDataHandler handler) { onUDPData_ = std::move(handler); }

    // The port actually bound (useful when Port is 0); 0 while inactive.
    quint16 BoundPort() const;

    virtual void AddMembership(int socket, const QByteArray& group);
    virtual void DataArrived(const char* bytes, int count, const QByteArray& address, quint16 port);

    // The text of the membership error table for an errno value.
    static QByteArray MembershipErrorText(int error);

private:
    void Activate();
    void Deactivate();

    int socket_ = -1;
    bool active_ = false;
    quint16 port_ = 0;
    int bufferSize_ = 65000;
    QByteArray multicastIP_;
    std::unique_ptr<TUDPReceiverThread> thread_;
    UDPDataHandler onUDPData_;
};

} // namespace velmora
