#pragma once
// This computer's IPv4 address as the other copies see it, worked out once at start-up.

#include <QByteArray>

namespace velmora {

// The override when given; else the address of the interface that carries the default
// route; else the first address of an up, broadcast-capable, non-loopback interface; else the
// host name's first address; else "127.0.0.1".
QByteArray determineOwnAddress(const QByteArray& override = {});

} // namespace velmora
