#pragma once
// Datagrams that reach this copy more than once. A broadcast relay between subnets, two relays
// where one belongs, or a loop deliver the same datagram again a moment after the first; this
// copy must act on it once: one receipt line, one discussion line, one message and receipt, one
// roster change. A datagram repeats when the same bytes came from the same source within the
// window, and:
// - an announcement ("a", or "z" for another address) only when it is the last announcement of
//   the roster row it updates, with no refresh request or roster reset since. Taking a row's
//   last announcement again changes nothing but the presence marks; after a refresh request it
//   is an answer and counts, and "In", "Busy", "In" stays three changes;
// - a receipt only when no message came in between: receipts name no message, so the receipts
//   of two messages sent to one colleague in quick succession read the same;
// - a refresh request never (see absorbs()).

#include <QByteArray>
#include <QHash>

#include <deque>

namespace velmora {

class DuplicateFilter {
public:
    // Relays deliver the second copy within milliseconds (two relay instances between two
    // subnets: about a tenth of a millisecond after the first). A second leaves room for a slow
    // relay and stays short of what people repeat on purpose: nobody types and sends the same
    // discussion line again within a second.
    static constexpr qint64 kWindowMs = 1000;
    // Any host may flood: at most this many datagrams are remembered, each by two digests, so
    // the filter stays well under a megabyte whatever arrives.
    static constexpr qsizetype kMaxRemembered = 4096;

    explicit DuplicateFilter(qint64 windowMs = kWindowMs, qsizetype maxRemembered = kMaxRemembered);

    // True when `text` from `source`, arriving at `nowMs` (milliseconds on any clock that only
    // moves forward; a step back forgets what came before), repeats one that came shortly
    // before: it is then to be dropped. Otherwise it is remembered.
    bool absorbs(const QByteArray& text, const QByteArray& source, qint64 nowMs);

    qsizetype remembered() const { return seen_.size(); }

private:
    struct Seen {
        QByteArray what; // digest of source and bytes
        qint64 atMs = 0;
        quint64 round = 0; // refreshes_ for an announcement, messages_ for a receipt
    };
    struct Arrival {
        QByteArray slot;
        qint64 atMs = 0;
    };
    bool current(qint64 atMs, qint64 nowMs) const {
        return atMs <= nowMs && nowMs - atMs < windowMs_;
    }
    void forgetOld(qint64 nowMs);
    void forgetOldest();

    qint64 windowMs_;
    qsizetype maxRemembered_;
    // By slot: the roster row of an announcement, or the source and bytes of anything else.
    QHash<QByteArray, Seen> seen_;
    std::deque<Arrival> arrivals_; // oldest first, to forget by age and by count
    quint64 refreshes_ = 0;        // refresh requests and roster resets so far
    quint64 messages_ = 0;         // messages so far
};

} // namespace velmora
