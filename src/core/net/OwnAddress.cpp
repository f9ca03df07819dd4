#include "core/net/OwnAddress.h"

#include <QFile>
#include <QHostAddress>
#include <QNetworkInterface>

#include <arpa/inet.h>
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

QByteArray firstIPv4(const QNetworkInterface& iface) {
    for (const QNetworkAddressEntry& e : iface.addressEntries())
        if (e.ip().protocol() == QAbstractSocket::IPv4Protocol) return e.ip().toString().toLatin1();
    return {};
}

QByteArray hostNameAddress() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) return {};
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return {};
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text,
              sizeof text);
    freeaddrinfo(found);
    return QByteArray(text);
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
    const QByteArray routed = defaultRouteInterface();
    if (!routed.isEmpty()) {
        const QByteArray a =
            firstIPv4(QNetworkInterface::interfaceFromName(QString::fromLatin1(routed)));
        if (!a.isEmpty()) return {a, AddressOrigin::DefaultRoute};
    }
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        const auto flags = iface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            !flags.testFlag(QNetworkInterface::CanBroadcast) ||
            flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        const QByteArray a = firstIPv4(iface);
        if (!a.isEmpty()) return {a, AddressOrigin::FirstInterface};
    }
    return {};
}

LocalInterface interfaceCarrying(const QByteArray& address) {
    const QHostAddress wanted(QString::fromLatin1(address));
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces())
        for (const QNetworkAddressEntry& e : iface.addressEntries())
            if (e.ip() == wanted) return {iface.name().toLatin1(), e.prefixLength()};
    return {};
}

QList<QByteArray> localAddresses() {
    QList<QByteArray> addresses;
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            addresses.append(a.toString().toLatin1());
    return addresses;
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
