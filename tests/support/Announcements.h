#pragma once
// Status announcements as another copy sends them, for feeding a roster.

#include "core/net/AnsiText.h"

#include <QByteArray>

namespace velmora::test {

// The field separator of the datagrams, as a string to concatenate.
inline QByteArray S() {
    return QByteArray(1, kSep);
}

// "a" + status code + name + separator + " " + status text.
inline QByteArray ann(const QByteArray& name, char code, const QByteArray& status) {
    return QByteArray("a") + code + name + S() + " " + status;
}

} // namespace velmora::test
