#pragma once
// Status announcements as another copy sends them, for feeding a roster.

#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"

#include <QByteArray>

namespace velmora::test {

// The field separator of the datagrams, as a string to concatenate.
inline QByteArray S() {
    return QByteArray(1, kSep);
}

// "a" + colour code + name + separator + " " + status text.
inline QByteArray ann(const QByteArray& name, StatusCode code, const QByteArray& status) {
    return datagram::statusAnnouncement(code, name, status);
}

} // namespace velmora::test
