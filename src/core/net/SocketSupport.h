#pragma once
// Helpers shared by UdpSender and UdpReceiver: the receiver's errors, the text of a failing
// socket call, and the dotted text of IPv4 addresses. Internal to the transport; nothing outside
// src/core/net includes this.

#include "core/net/UdpError.h"

#include <QByteArray>

#include <netinet/in.h>

namespace velmora {

UdpError failure(const QByteArray& text);

// "Socket Error : " and the system's error number.
QByteArray socketErrorText(int error);
UdpError socketError(int error);

// Dotted text to a network-order address; false when the text is not a dotted IPv4 address.
bool parseAddress(const QByteArray& dotted, in_addr& address);

QByteArray dottedText(const in_addr& address);

} // namespace velmora
