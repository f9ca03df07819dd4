#include "core/net/UdpTransport.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QNetworkInterface>
#include <QtGlobal>

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace velmora {

namespace {

UdpError failure(const QByteArray& text) {
    return UdpError(text.toStdString());
}

UdpError socketError(int error) {
    return failure(QByteArrayLiteral("Socket Error : ") + QByteArray::number(error));
}

// Dotted text to a network-order address; false when the text is not a dotted IPv4 address.
bool parseAddress(const QByteArray& dotted, in_addr& address) {
    return !dotted.isEmpty() && inet_pton(AF_INET, dotted.constData(), &address) == 1;
}

QByteArray dottedText(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    if (!inet_ntop(AF_INET, &address, text, sizeof text)) return {};
    return QByteArray(text);
}

// A broadcast address has no name, and asking the resolver for one can block for seconds.
bool isBroadcastAddress(const in_addr& address) {
    if (address.s_addr == htonl(INADDR_BROADCAST) || address.s_addr == htonl(INADDR_ANY))
        return true;
    const QHostAddress candidate(ntohl(address.s_addr));
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        const auto entries = interface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.broadcast() == candidate) return true;
        }
    }
    return false;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// UdpSender

UdpSender::UdpSender(QObject* owner) : QObject(owner) {}

UdpSender::~UdpSender() {
    close();
}

bool UdpSender::active() const {
    std::lock_guard guard(lock_);
    return active_;
}

void UdpSender::setActive(bool active) {
    std::lock_guard guard(lock_);
    if (active == active_) return;
    if (active)
        open();
    else
        close();
}

void UdpSender::setRemoteIP(const QByteArray& ip) {
    std::lock_guard guard(lock_);
    if (ip == remoteIP_) return;
    const bool wasActive = active_;
    close();
    remoteIP_ = ip;
    remoteHost_ = addressToHost(ip);
    if (wasActive) open();
}

void UdpSender::setRemoteHost(const QByteArray& host) {
    std::lock_guard guard(lock_);
    if (host == remoteHost_) return;
    const bool wasActive = active_;
    close();
    remoteHost_ = host;
    remoteIP_ = hostToAddress(host);
    if (wasActive) open();
}

void UdpSender::setRemotePort(quint16 port) {
    std::lock_guard guard(lock_);
    if (port == remotePort_) return;
    const bool wasActive = active_;
    close();
    remotePort_ = port;
    if (wasActive) open();
}

QByteArray UdpSender::hostToAddress(const QByteArray& host) {
    if (host.compare("LOCALHOST", Qt::CaseInsensitive) == 0) return QByteArrayLiteral("127.0.0.1");
    in_addr address{};
    if (parseAddress(host, address)) return host;
    if (host.isEmpty()) return {};

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.constData(), nullptr, &hints, &found) != 0 || !found) return {};
    QByteArray result;
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr) {
            result = dottedText(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr);
            break;
        }
    }
    freeaddrinfo(found);
    return result;
}

QByteArray UdpSender::addressToHost(const QByteArray& address) {
    if (address == "127.0.0.1") return QByteArrayLiteral("LOCALHOST");
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    if (!parseAddress(address, peer.sin_addr) || isBroadcastAddress(peer.sin_addr)) return {};
    char name[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&peer), sizeof peer, name, sizeof name,
                    nullptr, 0, NI_NAMEREQD) != 0)
        return {};
    return QByteArray(name);
}

void UdpSender::open() {
    std::lock_guard guard(lock_);
    if (active_) throw failure("UDP Socket already connected");
    // A host name that could not be resolved leaves no destination, so it counts as none.
    if (remoteIP_.isEmpty()) throw failure("Remote Host/IP not identified!");

    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) throw socketError(errno);
    // Every datagram of the program goes to the limited broadcast address, which Linux
    // refuses without this permission.
    const int on = 1;
    ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);

    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(remotePort_);
    const bool parsed = parseAddress(remoteIP_, destination.sin_addr);
    // The outcome of connect() is deliberately not an error here: a destination that cannot be
    // reached shows up when sending.
    connected_ = parsed && ::connect(s, reinterpret_cast<const sockaddr*>(&destination),
                                     sizeof destination) == 0;
    limitedBroadcast_ = parsed && destination.sin_addr.s_addr == htonl(INADDR_BROADCAST);

    socket_ = s;
    ++openCount_;
    active_ = true;
}

void UdpSender::close() {
    std::lock_guard guard(lock_);
    if (active_) {
        const int old = socket_;
        socket_ = -1;
        if (old >= 0) ::close(old);
    }
    active_ = false;
    connected_ = false;
    limitedBroadcast_ = false;
}

int UdpSender::send(const char* bytes, int count) {
    std::lock_guard guard(lock_);
    if (count <= 0) return 0;
    if (!active_) throw failure("UDP Socket not connected");

    ssize_t result = -1;
    if (connected_) {
        result = ::send(socket_, bytes, size_t(count), MSG_NOSIGNAL);
    } else {
        errno = EDESTADDRREQ;
    }
    // Linux refuses 255.255.255.255 when no route covers it (a machine without a default
    // route); the subnet broadcasts of the interfaces reach the same peers.
    if (limitedBroadcast_ && (!connected_ || (result < 0 && errno == ENETUNREACH)))
        result = sendToInterfaceBroadcasts(bytes, count);

    if (result < count) {
        if (result < 0 && errno == EMSGSIZE)
            throw failure(QByteArrayLiteral("Package Size Too Big: ") + QByteArray::number(count));
        if (result == 0) throw failure("0 bytes were sent.");
    }
    return int(result);
}

int UdpSender::sendToInterfaceBroadcasts(const char* bytes, int count) {
    int lastError = ENETUNREACH;
    bool sent = false;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        const auto flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            !flags.testFlag(QNetworkInterface::CanBroadcast) ||
            flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        const auto entries = interface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            const QHostAddress broadcast = entry.broadcast();
            if (broadcast.protocol() != QAbstractSocket::IPv4Protocol) continue;
            sockaddr_in destination{};
            destination.sin_family = AF_INET;
            destination.sin_port = htons(remotePort_);
            destination.sin_addr.s_addr = htonl(broadcast.toIPv4Address());
            const ssize_t result =
                ::sendto(socket_, bytes, size_t(count), MSG_NOSIGNAL,
                         reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
            if (result == count)
                sent = true;
            else if (result < 0)
                lastError = errno;
        }
    }
    if (sent) return count;
    errno = lastError;
    return -1;
}

// ---------------------------------------------------------------------------------------------
// UdpReceiverThread

// What the thread shares with the hand-offs it has queued to the main thread. A queued call
// keeps it alive, so the buffer it hands over stays valid even when the receiver is
// deactivated (and the thread ends) from inside the OnUDPData handler.
struct UdpReceiverThread::Shared {
    std::mutex mutex;
    std::condition_variable handedOff;
    bool stop = false;    // asked to stop; queued hand-offs are cancelled
    bool handled = false; // the pending hand-off has finished
    std::vector<char> buffer;
};

UdpReceiverThread::UdpReceiverThread(UdpReceiver* owner, int socket, int bufferSize)
    : owner_(owner), socket_(socket), bufferSize_(bufferSize), shared_(std::make_shared<Shared>()) {
    // close() does not wake a recvfrom() blocked on the same socket, so the thread also
    // waits on this descriptor.
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) throw socketError(errno);
}

UdpReceiverThread::~UdpReceiverThread() {
    stopAndWait();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void UdpReceiverThread::start() {
    thread_ = std::make_unique<std::thread>(&UdpReceiverThread::run, this);
}

void UdpReceiverThread::stopAndWait() {
    {
        std::lock_guard guard(shared_->mutex);
        shared_->stop = true;
    }
    shared_->handedOff.notify_all();
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
    if (thread_ && thread_->joinable()) thread_->join();
    thread_.reset();
}

void UdpReceiverThread::run() {
    Shared& shared = *shared_;
    shared.buffer.resize(size_t(bufferSize_));

    for (;;) {
        {
            std::lock_guard guard(shared.mutex);
            if (shared.stop) break;
        }
        pollfd waits[2] = {{socket_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (waits[1].revents != 0 || (waits[0].revents & POLLNVAL)) break;
        if (waits[0].revents == 0) continue;

        sockaddr_in source{};
        socklen_t sourceLength = sizeof source;
        // MSG_TRUNC reports the datagram's real length, so one longer than the buffer is seen
        // and dropped instead of being handed on cut short.
        const ssize_t count = ::recvfrom(socket_, shared.buffer.data(), shared.buffer.size(),
                                         MSG_TRUNC | MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr*>(&source), &sourceLength);
        if (count <= 0 || count > bufferSize_) continue;

        const QByteArray address = dottedText(source.sin_addr);
        const quint16 port = ntohs(source.sin_port);
        {
            std::lock_guard guard(shared.mutex);
            if (shared.stop) break;
            shared.handled = false;
        }
        UdpReceiver* owner = owner_;
        // The receiver is the context: if it is destroyed first, the call is discarded.
        QMetaObject::invokeMethod(
            owner,
            [owner, keep = shared_, count = int(count), address, port] {
                {
                    std::lock_guard guard(keep->mutex);
                    if (keep->stop) return; // deactivated since it was queued
                }
                try {
                    owner->dataArrived(keep->buffer.data(), count, address, port);
                } catch (const std::exception& error) {
                    // An exception must not unwind through the event loop.
                    qWarning("Unhandled error in OnUDPData: %s", error.what());
                } catch (...) {
                    qWarning("Unhandled error in OnUDPData");
                }
                {
                    std::lock_guard guard(keep->mutex);
                    keep->handled = true;
                }
                keep->handedOff.notify_all();
            },
            Qt::QueuedConnection);

        // One datagram at a time: the next one waits in the socket's queue until this one has
        // been handled, which also keeps the buffer untouched while the handler reads it.
        std::unique_lock guard(shared.mutex);
        shared.handedOff.wait(guard, [&shared] { return shared.handled || shared.stop; });
    }
}

// ---------------------------------------------------------------------------------------------
// UdpReceiver

UdpReceiver::UdpReceiver(QObject* owner) : QObject(owner) {}

UdpReceiver::~UdpReceiver() {
    deactivate();
}

void UdpReceiver::setActive(bool active) {
    if (active == active_) return;
    if (active)
        activate();
    else
        deactivate();
}

void UdpReceiver::setPort(quint16 port) {
    if (port == port_) return;
    const bool wasActive = active_;
    deactivate();
    port_ = port;
    if (wasActive) activate();
}

void UdpReceiver::setBufferSize(int size) {
    if (size == bufferSize_) return;
    if (size < 1024 || size > 65000) throw failure("Size value is out of boundary!");
    bufferSize_ = size;
}

void UdpReceiver::setMulticastIP(const QByteArray& ip) {
    if (ip == multicastIP_) return;
    const bool wasActive = active_;
    deactivate();
    multicastIP_ = ip;
    if (wasActive) activate();
}

quint16 UdpReceiver::boundPort() const {
    if (!active_ || socket_ < 0) return 0;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
    return ntohs(local.sin_port);
}

void UdpReceiver::addMembership(int socket, const QByteArray& group) {
    ip_mreq request{};
    // A group that is not an address becomes one that the system refuses as invalid.
    if (!parseAddress(group, request.imr_multiaddr))
        request.imr_multiaddr.s_addr = htonl(INADDR_NONE);
    request.imr_interface.s_addr = htonl(INADDR_ANY);
    if (::setsockopt(socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) != 0)
        throw failure(membershipErrorText(errno));
}

void UdpReceiver::dataArrived(const char* bytes, int count, const QByteArray& address,
                              quint16 port) {
    if (datagramHandler_) datagramHandler_(this, bytes, count, address, port);
}

QByteArray UdpReceiver::membershipErrorText(int error) {
    switch (error) {
    case EFAULT:
        return "optval is not in a valid part of the process address space or optlen argument "
               "is too small.";
    case EINVAL:
        return "level is not valid, or the information in optval is not valid.";
    case EINPROGRESS:
        return "A blocking Windows Sockets 1.1 call is in progress, or the service provider is "
               "still processing a callback function.";
    case ENOTSOCK:
        return "The descriptor is not a socket.";
    case ENOPROTOOPT:
        return "The option is unknown or unsupported for the specified provider.";
    case ENETDOWN:
        return "The network subsystem has failed.";
    case ETIMEDOUT:
        return "Connection has timed out when SO_KEEPALIVE is set.";
    case ENOBUFS:
        return "An operation on a socket could not be performed because the system lacked "
               "sufficient buffer space or because a queue was full.";
    case ECONNRESET:
        return "Connection has been reset when SO_KEEPALIVE is set.";
    default:
        return "Unknow socket error.";
    }
}

void UdpReceiver::activate() {
    if (active_) throw failure("UDP Socket already connected");

    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) throw socketError(errno);
    // No SO_REUSEADDR: a second copy on the same computer must fail to bind the port.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port_);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int error = errno;
        ::close(s);
        throw socketError(error);
    }

    try {
        if (!multicastIP_.isEmpty()) addMembership(s, multicastIP_);
        auto thread = std::make_unique<UdpReceiverThread>(this, s, bufferSize_);
        thread->start();
        thread_ = std::move(thread);
    } catch (...) {
        ::close(s);
        throw;
    }
    socket_ = s;
    active_ = true;
}

void UdpReceiver::deactivate() {
    active_ = false;
    // The thread ends before the socket is closed, so it never waits on a descriptor number
    // that the system may already have handed to someone else.
    if (thread_) {
        thread_->stopAndWait();
        thread_.reset();
    }
    if (socket_ >= 0) {
        const int old = socket_;
        socket_ = -1;
        ::close(old);
    }
}

} // namespace velmora
