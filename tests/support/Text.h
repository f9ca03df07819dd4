#pragma once
// Text for tests: Qt strings from literals and the datagrams' field separator.

#include "core/net/AnsiText.h"

#include <QByteArray>
#include <QString>

namespace velmora::test {

// A literal (UTF-8, as the sources are) as a QString.
inline QString Q(const char* text) {
    return QString::fromUtf8(text);
}

// The field separator of the datagrams, as a string to concatenate.
inline QByteArray sep() {
    return QByteArray(1, kSep);
}

} // namespace velmora::test
