#include "core/net/UdpSender.h"

#include "core/net/OwnAddress.h"
#include "core/net/SocketSupport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velmora {

namespace {

// The subnet broadcasts remembered for the report; a computer on more networks than this sends
// to them all the same.
constexpr int kMaxShownBroadcasts = 8;

SendResult refused(const QByteArray& text) {
    return {SendResult::Outcome::Refused, QString::fromLatin1(text)};
}

} // namespace

UdpSender::UdpSender(QObject* owner) : QObject(owner) {}

UdpSender::~UdpSender() {
    close();
}

bool UdpSender::active() const {
    std::lock_guard guard(lock_);
    return active_;
}

SendResult UdpSender::setActive(bool active) {
    std::lock_guard guard(lock_);
    if (active == active_) return {};
    if (active) {
        const SendResult opened = open();
        if (!opened.sent()) lastResult_ = opened; // no datagram leaves without a socket
        return opened;
    }
    close();
    return {};
}

void UdpSender::setRemoteIP(const QByteArray& ip) {
    std::lock_guard guard(lock_);
    if (ip == remoteIP_) return;
    const bool wasActive = active_;
    close();
    remoteIP_ = ip;
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

SendResult UdpSender::open() {
    std::lock_guard guard(lock_);
    if (remoteIP_.isEmpty()) return refused("Remote Host/IP not identified!");

    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return refused(socketErrorText(errno));
    // Every datagram of the program goes to the limited broadcast address, which Linux
    // refuses without this permission.
    const int on = 1;
    ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);

    // The socket is not connected: a connected socket keeps the source address of the moment
    // it connected, and every send fails once the computer's address changes (a new lease,
    // another network, a VPN). Each datagram names its destination instead.
    destination_ = sockaddr_in{};
    destination_.sin_family = AF_INET;
    destination_.sin_port = htons(remotePort_);
    hasDestination_ = parseAddress(remoteIP_, destination_.sin_addr);
    limitedBroadcast_ = hasDestination_ && destination_.sin_addr.s_addr == htonl(INADDR_BROADCAST);

    socket_ = s;
    ++openCount_;
    active_ = true;
    return {};
}

void UdpSender::close() {
    std::lock_guard guard(lock_);
    if (active_) {
        const int old = socket_;
        socket_ = -1;
        if (old >= 0) ::close(old);
    }
    active_ = false;
    hasDestination_ = false;
    limitedBroadcast_ = false;
}

std::optional<SendResult> UdpSender::lastResult() const {
    std::lock_guard guard(lock_);
    return lastResult_;
}

QList<QByteArray> UdpSender::lastSubnetBroadcasts() const {
    std::lock_guard guard(lock_);
    return lastSubnetBroadcasts_;
}

SendResult UdpSender::send(const char* bytes, int count) {
    std::lock_guard guard(lock_);
    if (count <= 0) return {};
    lastSubnetBroadcasts_.clear();
    lastResult_ = sendNow(bytes, count);
    return *lastResult_;
}

SendResult UdpSender::sendNow(const char* bytes, int count) {
    if (!active_) return refused("UDP Socket not connected");

    ssize_t result = -1;
    if (hasDestination_) {
        result = ::sendto(socket_, bytes, size_t(count), MSG_NOSIGNAL,
                          reinterpret_cast<const sockaddr*>(&destination_), sizeof destination_);
    } else {
        errno = EDESTADDRREQ;
    }
    // Linux refuses 255.255.255.255 when no route covers it (a machine without a default
    // route); the subnet broadcast of the own interface reaches the same peers.
    if (limitedBroadcast_ && result < 0 && (errno == ENETUNREACH || errno == EHOSTUNREACH))
        result = sendToInterfaceBroadcasts(bytes, count);

    if (result < 0 && errno == EMSGSIZE)
        return refused(QByteArrayLiteral("Package Size Too Big: ") + QByteArray::number(count));
    if (result < 0)
        return {SendResult::Outcome::Lost, QString::fromLocal8Bit(std::strerror(errno))};
    if (result == 0) return refused("0 bytes were sent.");
    return {};
}

int UdpSender::sendToInterfaceBroadcasts(const char* bytes, int count) {
    // The subnet of the interface that carries the own address; every interface only when none
    // carries it. Other subnets (container bridges, other LANs) are not this office, and their
    // copies of our datagrams would come back to us from foreign addresses.
    QList<quint32> targets;
    QList<quint32> everyInterface;
    const std::optional<quint32> own = ipv4FromText(sourceAddress_);
    for (const InterfaceEntry& e : interfaceEntries()) {
        if (!e.reachesOthers() || e.broadcast == 0) continue;
        everyInterface.append(e.broadcast);
        if (e.address == own) targets.append(e.broadcast);
    }
    if (targets.isEmpty()) targets = everyInterface;

    int lastError = ENETUNREACH;
    bool sent = false;
    for (const quint32 broadcast : targets) {
        sockaddr_in destination{};
        destination.sin_family = AF_INET;
        destination.sin_port = htons(remotePort_);
        destination.sin_addr.s_addr = htonl(broadcast);
        const ssize_t result =
            ::sendto(socket_, bytes, size_t(count), MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
        if (result == count) {
            sent = true;
            if (lastSubnetBroadcasts_.size() < kMaxShownBroadcasts)
                lastSubnetBroadcasts_.append(ipv4Text(broadcast));
        } else if (result < 0)
            lastError = errno;
    }
    if (sent) return count;
    errno = lastError;
    return -1;
}

} // namespace velmora
