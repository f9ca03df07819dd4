#pragma once
// This computer's IPv4 address as the other copies see it, worked out once at start-up.

#include <QByteArray>
#include <QList>

#include <optional>

namespace velmora {

// The override when given; else the address of the interface that carries the default
// route; else the first address of an up, broadcast-capable, non-loopback interface; else the
// host name's first address; else "127.0.0.1".
QByteArray determineOwnAddress(const QByteArray& override = {});

// Where the own address came from, in the order of that rule.
enum class AddressOrigin { Option, DefaultRoute, FirstInterface, HostName, Fallback };

struct FoundAddress {
    QByteArray address; // empty when no interface has one
    AddressOrigin origin = AddressOrigin::Fallback;
};

// The interface part of that rule only (no resolver, which can block for seconds): the
// address to follow while the program runs, and which step found it.
FoundAddress findInterfaceAddress();
inline QByteArray interfaceAddress() {
    return findInterfaceAddress().address;
}

// The interface that carries `address`, with the length of its network prefix; an empty name
// when none does.
struct LocalInterface {
    QByteArray name;
    int prefixLength = -1;
};
LocalInterface interfaceCarrying(const QByteArray& address);

// Every IPv4 address of this computer's interfaces.
QList<QByteArray> localAddresses();

// One IPv4 address of one of this computer's interfaces, with what the interface can do.
struct InterfaceEntry {
    QByteArray name;
    quint32 address = 0; // in host byte order, as are the others
    int prefixLength = 0;
    quint32 broadcast = 0; // 0 when the address has no broadcast address
    bool up = false;
    bool canBroadcast = false;
    bool loopback = false;
    // Up, broadcast-capable and not the loopback: an interface towards other computers.
    bool reachesOthers() const { return up && canBroadcast && !loopback; }
};

// Every IPv4 address of every interface, as the kernel lists them now (grouped by interface).
QList<InterfaceEntry> interfaceEntries();

// The address written in `text` with four dotted numbers; nothing when it is not one.
std::optional<quint32> ipv4FromText(const QByteArray& text);
// The dotted text of an address.
QByteArray ipv4Text(quint32 address);

// Four numbers from 0 to 255, separated by dots, and nothing else.
bool isDottedAddress(const QByteArray& text);

} // namespace velmora
