#pragma once
// The addresses that datagrams came from lately, for the report of what the network does: how
// many copies this one hears, and from which subnets.

#include <QByteArray>
#include <QHash>
#include <QList>

namespace velmora {

class HeardCopies {
public:
    static constexpr qint64 kWindowMs = 10 * 60 * 1000;
    // Any host may send from forged addresses: at most this many are remembered (as many as the
    // roster holds people), and a full record makes room at most once a second.
    static constexpr qsizetype kMaxRemembered = 4096;

    // A datagram from `address` arrived at `nowMs` (milliseconds on a clock that only moves
    // forward).
    void heard(const QByteArray& address, qint64 nowMs);
    // The addresses heard within the window before `nowMs`.
    QList<QByteArray> recent(qint64 nowMs) const;

private:
    bool current(qint64 atMs, qint64 nowMs) const {
        return atMs <= nowMs && nowMs - atMs < kWindowMs;
    }

    QHash<QByteArray, qint64> lastHeard_;
    qint64 lastCleanupMs_ = 0;
};

} // namespace velmora
