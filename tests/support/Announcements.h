#pragma once
// Status announcements as another copy sends them, for feeding a roster, and the roster's
// names in the order the status list shows them.

#include "core/net/Datagram.h"
#include "core/presence/Roster.h"
#include "support/Text.h"

namespace velmora::test {

// "a" + colour code + name + separator + " " + status text.
inline QByteArray ann(const QByteArray& name, StatusCode code, const QByteArray& status) {
    return datagram::statusAnnouncement(code, name, status);
}

// The names in display order.
inline QList<QByteArray> namesInOrder(const Roster& roster) {
    QList<QByteArray> names;
    for (const SortKey& k : roster.displayOrder())
        names.append(Roster::split(roster.entries()[k.position]).name);
    return names;
}

} // namespace velmora::test
