#include "core/net/DuplicateFilter.h"

#include "core/net/Datagram.h"

#include <QCryptographicHash>

namespace velmora {

namespace {
QByteArray digest(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}
} // namespace

DuplicateFilter::DuplicateFilter(qint64 windowMs, qsizetype maxRemembered)
    : windowMs_(windowMs), maxRemembered_(std::max<qsizetype>(1, maxRemembered)) {}

bool DuplicateFilter::absorbs(const QByteArray& text, const QByteArray& source, qint64 nowMs) {
    using datagram::Kind;
    forgetOld(nowMs);
    const Kind kind = datagram::kindOf(text);
    // Twice, a refresh request asks for nothing more than once; but one that really comes again
    // within the window (a roster reset done twice) must be answered again, since answers to
    // the first may have come in before the second reset emptied the roster.
    if (kind == Kind::RefreshRequest) {
        ++refreshes_;
        return false;
    }

    const QByteArray what = digest(source + '\0' + text);
    QByteArray row;
    bool announcement = kind == Kind::StatusAnnouncement;
    if (announcement) {
        row = source;
    } else if (kind == Kind::ProxyAnnouncement) {
        const auto proxy = datagram::rewriteProxy(text);
        announcement = proxy.has_value();
        if (proxy) row = proxy->target;
    }
    const QByteArray slot = announcement ? digest('a' + row) : digest('d' + what);
    const quint64 round = announcement ? refreshes_ : kind == Kind::Receipt ? messages_ : 0;

    const auto it = seen_.constFind(slot);
    if (it != seen_.cend() && it->what == what && it->round == round && current(it->atMs, nowMs))
        return true;

    while (qsizetype(arrivals_.size()) >= maxRemembered_)
        forgetOldest();
    seen_.insert(slot, Seen{what, nowMs, round});
    arrivals_.push_back(Arrival{slot, nowMs});
    if (kind == Kind::RosterReset) ++refreshes_;
    if (kind == Kind::MessageToAll || kind == Kind::AddressedMessage) ++messages_;
    return false;
}

void DuplicateFilter::forgetOld(qint64 nowMs) {
    while (!arrivals_.empty() && !current(arrivals_.front().atMs, nowMs))
        forgetOldest();
}

void DuplicateFilter::forgetOldest() {
    const Arrival oldest = arrivals_.front();
    arrivals_.pop_front();
    // A later arrival in the same slot stays.
    const auto it = seen_.constFind(oldest.slot);
    if (it != seen_.cend() && it->atMs == oldest.atMs) seen_.erase(it);
}

} // namespace velmora
