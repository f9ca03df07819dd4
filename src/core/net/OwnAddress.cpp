#include "core/net/OwnAddress.h"

#include <QFile>

#include <arpa/inet.h>
#include <bit>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <unistd.h>

namespace velmora {

namespace {

QByteArray defaultRouteInterface() {
    QFile routes(QStringLiteral("/proc/net/route"));
    if (!routes.open(QIODevice::ReadOnly)) return {};
    routes.readLine(); // header
    while (!routes.atEnd()) {
        const QList<QByteArray> fields = routes.readLine().simplified().split(' ');
        if (fields.size() > 2 && fields[1] == "00000000") return fields[0];
    }
    return {};
}

quint32 hostOrder(const sockaddr* address) {
    return ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
}

QByteArray hostNameAddress() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) return {};
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return {};
    const quint32 address = hostOrder(found->ai_addr);
    freeaddrinfo(found);
    return ipv4Text(address);
}

} // namespace

QByteArray determineOwnAddress(const QByteArray& override) {
    if (!override.isEmpty()) return override;
    const QByteArray found = interfaceAddress();
    if (!found.isEmpty()) return found;
    const QByteArray named = hostNameAddress();
    return named.isEmpty() ? QByteArray("127.0.0.1") : named;
}

FoundAddress findInterfaceAddress() {
    const QList<InterfaceEntry> entries = interfaceEntries();
    if (const QByteArray routed = defaultRouteInterface(); !routed.isEmpty())
        for (const InterfaceEntry& e : entries)
            if (e.name == routed) return {ipv4Text(e.address), AddressOrigin::DefaultRoute};
    for (const InterfaceEntry& e : entries)
        if (e.reachesOthers()) return {ipv4Text(e.address), AddressOrigin::FirstInterface};
    return {};
}

LocalInterface interfaceCarrying(const QByteArray& address) {
    const std::optional<quint32> wanted = ipv4FromText(address);
    for (const InterfaceEntry& e : interfaceEntries())
        if (e.address == wanted) return {e.name, e.prefixLength};
    return {};
}

QList<QByteArray> localAddresses() {
    QList<QByteArray> addresses;
    for (const InterfaceEntry& e : interfaceEntries())
        if (e.up) addresses.append(ipv4Text(e.address));
    return addresses;
}

QList<InterfaceEntry> interfaceEntries() {
    QList<InterfaceEntry> entries;
    ifaddrs* all = nullptr;
    if (::getifaddrs(&all) != 0) return entries;
    for (const ifaddrs* i = all; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
        InterfaceEntry e;
        // A second address may carry a label ("eth0:1"); the interface is the part before it,
        // as interface names cannot hold a colon.
        e.name = QByteArray(i->ifa_name).split(':').first();
        e.address = hostOrder(i->ifa_addr);
        if (i->ifa_netmask) e.prefixLength = std::popcount(hostOrder(i->ifa_netmask));
        e.up = i->ifa_flags & IFF_UP;
        e.canBroadcast = i->ifa_flags & IFF_BROADCAST;
        e.loopback = i->ifa_flags & IFF_LOOPBACK;
        if (e.canBroadcast && i->ifa_broadaddr) e.broadcast = hostOrder(i->ifa_broadaddr);
        entries.append(e);
    }
    ::freeifaddrs(all);
    return entries;
}

std::optional<quint32> ipv4FromText(const QByteArray& text) {
    in_addr address{};
    if (::inet_pton(AF_INET, text.constData(), &address) != 1) return std::nullopt;
    return ntohl(address.s_addr);
}

QByteArray ipv4Text(quint32 address) {
    const in_addr a{htonl(address)};
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return QByteArray(text);
}

bool isDottedAddress(const QByteArray& text) {
    const QList<QByteArray> parts = text.split('.');
    if (parts.size() != 4) return false;
    for (const QByteArray& part : parts) {
        if (part.isEmpty() || part.size() > 3) return false;
        for (char c : part)
            if (c < '0' || c > '9') return false;
        if (part.toInt() > 255) return false;
    }
    return true;
}

} // namespace velmora
