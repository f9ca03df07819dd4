#include "core/net/SocketSupport.h"

#include <arpa/inet.h>
#include <sys/socket.h>

namespace velmora {

UdpError failure(const QByteArray& text) {
    return UdpError(text.toStdString());
}

QByteArray socketErrorText(int error) {
    return QByteArrayLiteral("Socket Error : ") + QByteArray::number(error);
}

UdpError socketError(int error) {
    return UdpError(socketErrorText(error).toStdString(), error);
}

bool parseAddress(const QByteArray& dotted, in_addr& address) {
    return !dotted.isEmpty() && inet_pton(AF_INET, dotted.constData(), &address) == 1;
}

QByteArray dottedText(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    if (!inet_ntop(AF_INET, &address, text, sizeof text)) return {};
    return QByteArray(text);
}

} // namespace velmora
