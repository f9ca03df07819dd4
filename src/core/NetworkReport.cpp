#include "core/NetworkReport.h"

#include "core/Core.h"

#include <QMap>

#include <algorithm>

namespace velmora {

namespace {

QString latin1(const QByteArray& text) {
    return QString::fromLatin1(text);
}

// A reason is the system's or the transport's own short text; cut all the same, as a line.
QString reasonText(const QString& reason) {
    return reason.size() > 200 ? reason.left(200) + QStringLiteral("...") : reason;
}

QString originText(AddressOrigin origin) {
    switch (origin) {
    case AddressOrigin::Option:
        return QStringLiteral("given with --address");
    case AddressOrigin::DefaultRoute:
        return QStringLiteral("the interface that carries the default route");
    case AddressOrigin::FirstInterface:
        return QStringLiteral("no default route: the first interface that is up and broadcasts");
    case AddressOrigin::HostName:
        return QStringLiteral("no interface has an address: the host name's");
    case AddressOrigin::Fallback:
        break;
    }
    return QStringLiteral("nothing found: the fallback");
}

quint32 ipv4(const QByteArray& address) {
    return ipv4FromText(address).value_or(0);
}

quint32 maskOf(int prefixLength) {
    return prefixLength == 0 ? 0 : ~quint32(0) << (32 - prefixLength);
}

// The other copies by subnet: the own interface's where they share it, else their /24, which
// is what offices give each floor or each Wi-Fi. Listed by count, then in address order.
QStringList subnetLines(const NetworkState& s) {
    const int ownPrefix = s.interface.prefixLength;
    const bool ownKnown = ownPrefix >= 8 && ownPrefix <= 32;
    const quint32 ownNetwork = ipv4(s.ownAddress) & maskOf(ownKnown ? ownPrefix : 32);
    QMap<quint64, int> counts; // by network address and prefix length
    for (const QByteArray& address : s.heard) {
        const quint32 ip = ipv4(address);
        const int prefix = ownKnown && (ip & maskOf(ownPrefix)) == ownNetwork ? ownPrefix : 24;
        counts[quint64(ip & maskOf(prefix)) << 8 | quint64(prefix)]++;
    }
    QList<std::pair<quint64, int>> subnets(counts.keyValueBegin(), counts.keyValueEnd());
    std::stable_sort(subnets.begin(), subnets.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    QStringList lines;
    for (const auto& [subnet, count] :
         subnets.first(std::min<qsizetype>(subnets.size(), kMaxListedSubnets)))
        lines.append(QStringLiteral("  %1/%2: %3")
                         .arg(latin1(ipv4Text(quint32(subnet >> 8))))
                         .arg(subnet & 0xff)
                         .arg(count));
    if (subnets.size() > kMaxListedSubnets)
        lines.append(
            QStringLiteral("  and %1 more subnets").arg(subnets.size() - kMaxListedSubnets));
    return lines;
}

QString destinationLine(const NetworkState& s) {
    const QString port = QStringLiteral(", UDP port %1").arg(s.port);
    if (s.subnetBroadcasts.isEmpty())
        return QStringLiteral("Datagrams go to: ") + latin1(s.destination) + port;
    QStringList targets;
    for (const QByteArray& b : s.subnetBroadcasts)
        targets.append(latin1(b));
    return QStringLiteral("Datagrams go to: %1%2 (no route covers %3)")
        .arg(targets.join(QStringLiteral(", ")), port, latin1(s.destination));
}

QString lastSaveLine(const NetworkState& s) {
    if (s.settingsUnreadable)
        return QStringLiteral("Last save: none, the file cannot be read and is never saved over");
    if (!s.lastSave) return QStringLiteral("Last save: none yet");
    if (s.lastSave->ok()) return QStringLiteral("Last save: worked");
    return QStringLiteral("Last save: failed: ") + reasonText(s.lastSave->reason());
}

} // namespace

QStringList networkReport(const NetworkState& s) {
    QStringList lines;
    if (!s.running) lines.append(QStringLiteral("No copy runs for this user; a copy would use:"));
    lines.append(
        QStringLiteral("Own address: %1 (%2)").arg(latin1(s.ownAddress), originText(s.origin)));
    lines.append(s.interface.name.isEmpty()
                     ? QStringLiteral("Interface: none carries this address")
                     : QStringLiteral("Interface: %1 (%2/%3)")
                           .arg(latin1(s.interface.name), latin1(s.ownAddress))
                           .arg(s.interface.prefixLength));
    lines.append(destinationLine(s));
    if (s.running) {
        lines.append(s.receiving ? QStringLiteral("Receiving on: UDP port %1").arg(s.port)
                                 : QStringLiteral("Receiving: no"));
        lines.append(!s.lastSend ? QStringLiteral("Last send: none yet")
                     : s.lastSend->sent()
                         ? QStringLiteral("Last send: worked")
                         : QStringLiteral("Last send: failed: ") + reasonText(s.lastSend->reason));
        lines.append(
            QStringLiteral("Copies heard in the last ten minutes: %1").arg(s.heard.size()));
        lines.append(subnetLines(s));
    }
    lines.append(QStringLiteral("Settings file: ") + s.settingsPath);
    if (s.running) lines.append(lastSaveLine(s));
    lines.append(QStringLiteral("System-wide defaults: ") +
                 (s.defaultsPath.isEmpty() ? QStringLiteral("none") : s.defaultsPath));
    return lines;
}

NetworkState networkState(const Core& core) {
    NetworkState s;
    s.ownAddress = core.own().address;
    if (!core.config().lookUpOwnAddress) {
        s.origin = AddressOrigin::Option; // a given address is never looked up again
    } else if (const FoundAddress found = findInterfaceAddress(); found.address == s.ownAddress) {
        s.origin = found.origin;
    } else {
        s.origin = s.ownAddress == "127.0.0.1" ? AddressOrigin::Fallback : AddressOrigin::HostName;
    }
    s.interface = interfaceCarrying(s.ownAddress);
    s.destination = core.config().remoteIP;
    s.subnetBroadcasts = core.sender().lastSubnetBroadcasts();
    s.port = core.config().remotePort;
    s.settingsPath = core.settingsPath();
    s.defaultsPath = core.config().systemDefaults.path();
    s.running = true;
    s.receiving = core.receiver().active();
    s.lastSend = core.sender().lastResult();
    s.heard = core.heard().recent(core.now().toMSecsSinceEpoch());
    s.lastSave = core.lastSave();
    s.settingsUnreadable = core.settingsUnreadable();
    return s;
}

NetworkState networkStateWithoutCopy(const QByteArray& addressOption, const QString& settingsPath,
                                     const QString& defaultsPath) {
    NetworkState s;
    if (!addressOption.isEmpty()) {
        s.ownAddress = addressOption;
        s.origin = AddressOrigin::Option;
    } else if (const FoundAddress found = findInterfaceAddress(); !found.address.isEmpty()) {
        s.ownAddress = found.address;
        s.origin = found.origin;
    } else {
        s.ownAddress = determineOwnAddress();
        s.origin = s.ownAddress == "127.0.0.1" ? AddressOrigin::Fallback : AddressOrigin::HostName;
    }
    s.interface = interfaceCarrying(s.ownAddress);
    s.settingsPath = settingsPath;
    s.defaultsPath = defaultsPath;
    return s;
}

} // namespace velmora
