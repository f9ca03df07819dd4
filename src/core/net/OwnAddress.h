#pragma once
// This computer's IPv4 address as the other copies see it, worked out once at start-up.

#include <QByteArray>
#include <QList>

namespace velmora {

// The override when given; else the address of the interface that carries the default
// route; else the first address of an up, broadcast-capable, non-loopback interface; else the
// host name's first address; else "127.0.0.1".
QByteArray determineOwnAddress(const QByteArray& override = {});

// The interface part of that rule only (no resolver, which can block for seconds): the
// address to follow while the program runs; empty when no interface has one.
QByteArray interfaceAddress();

// Every IPv4 address of this computer's interfaces.
QList<QByteArray> localAddresses();

// Four numbers from 0 to 255, separated by dots, and nothing else.
bool isDottedAddress(const QByteArray& text);

} // namespace velmora
