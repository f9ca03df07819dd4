#include "core/messaging/Outbox.h"

#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"
#include "core/presence/Roster.h"

namespace velmora {

namespace {

bool blank(const QByteArray& body) {
    for (const char c : body)
        if (c != ' ' && c != '\r' && c != '\n') return false;
    return true;
}

// A clock set back since a message was put in counts as no time waited.
bool waitedTooLong(const QDateTime& queuedAt, const QDateTime& now) {
    return queuedAt.msecsTo(now) >= Outbox::kMaxWaitMs;
}

} // namespace

Outbox::Outbox(Environment env, QObject* parent) : QObject(parent), env_(std::move(env)) {}

qsizetype Outbox::bytes() const {
    qsizetype total = 0;
    for (const WaitingMessage& m : waiting_)
        total += m.body.size();
    return total;
}

bool Outbox::add(const QByteArray& address, const QByteArray& name, const QByteArray& body) {
    if (blank(body) || waiting_.size() >= kLimit || bytes() + body.size() > kByteLimit)
        return false;
    waiting_.append(WaitingMessage{address, name, env_.clock.now(), body});
    // Back already: the announcement that said so came before the message was written.
    if (!(env_.onLine && env_.onLine(address) && sendWaiting(waiting_.size() - 1, address)))
        Q_EMIT changed();
    return true;
}

void Outbox::cancel(qsizetype index) {
    if (index < 0 || index >= waiting_.size()) return;
    waiting_.removeAt(index);
    Q_EMIT changed();
}

bool Outbox::sendWaiting(qsizetype index, const QByteArray& address) {
    const WaitingMessage message = waiting_[index];
    if (!env_.send(address, message.body).sent()) return false;
    // Out of the outbox before anybody hears of it, so that it goes out once.
    waiting_.removeAt(index);
    const QDateTime now = env_.clock.now();
    awaitingReceipt_.append(Sent{address, message.name, now});
    Q_EMIT changed();
    Q_EMIT sent(message.name, now);
    return true;
}

void Outbox::statusAnnounced(const QByteArray& source, const QByteArray& name,
                             const QByteArray& status) {
    if (waiting_.isEmpty() || Roster::isOffLine(status)) return;
    for (qsizetype i = 0; i < waiting_.size();) {
        const WaitingMessage& m = waiting_[i];
        const bool forThem = sameAddress(m.address, source) || (!name.isEmpty() && m.name == name);
        if (!forThem || !sendWaiting(i, source)) ++i;
    }
}

void Outbox::receiptArrived(const QByteArray& source) {
    const QDateTime now = env_.clock.now();
    for (qsizetype i = 0; i < awaitingReceipt_.size(); ++i) {
        const Sent& s = awaitingReceipt_[i];
        if (s.at.msecsTo(now) > kReceiptWindowMs) continue;
        if (!sameAddress(s.address, source)) continue;
        const QByteArray name = s.name;
        awaitingReceipt_.removeAt(i);
        Q_EMIT delivered(name, now);
        return;
    }
}

void Outbox::dropExpired() {
    const QDateTime now = env_.clock.now();
    // Old receipts are not waited for any more either.
    awaitingReceipt_.removeIf([&](const Sent& s) { return s.at.msecsTo(now) > kReceiptWindowMs; });
    QList<QByteArray> dropped;
    waiting_.removeIf([&](const WaitingMessage& m) {
        if (!waitedTooLong(m.queuedAt, now)) return false;
        dropped.append(m.name);
        return true;
    });
    if (dropped.isEmpty()) return;
    Q_EMIT changed();
    for (const QByteArray& name : dropped)
        Q_EMIT expired(name);
}

void Outbox::load(const QList<WaitingMessage>& messages) {
    for (const WaitingMessage& m : messages) {
        if (waiting_.size() >= kLimit || bytes() + m.body.size() > kByteLimit) break;
        waiting_.append(m);
    }
    dropExpired();
    // The window lists what waits from the last run.
    if (!waiting_.isEmpty()) Q_EMIT changed();
}

} // namespace velmora
