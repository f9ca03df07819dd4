#pragma once
// Messages for people who are off-line, kept on this computer until the person's own copy
// announces a status that is not off-line; then each goes out once, as any message to one
// person does. The receipt that comes back from that person's address tells that it was
// delivered. A message that waited kMaxWait is dropped.

#include "core/Clock.h"
#include "core/net/SendResult.h"
#include "core/settings/StoredOutbox.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <functional>

namespace velmora {

class Outbox : public QObject {
    Q_OBJECT
public:
    struct Environment {
        const Clock& clock;
        // Sends `body` to the person at `address` as an addressed message.
        std::function<SendResult(const QByteArray& address, const QByteArray& body)> send;
        // Whether the status list shows the person at `address` on-line right now.
        std::function<bool(const QByteArray& address)> onLine;
    };

    // The most messages that wait, and the most bytes their bodies hold together; a full
    // outbox takes no more.
    static constexpr qsizetype kLimit = 100;
    static constexpr qsizetype kByteLimit = 32 * 1024;
    // How long a message waits before it is dropped.
    static constexpr qint64 kMaxWaitMs = qint64(7) * 24 * 60 * 60 * 1000;
    // How long after a message went out its receipt counts as the delivery.
    static constexpr qint64 kReceiptWindowMs = 60 * 60 * 1000;

    explicit Outbox(Environment env, QObject* parent = nullptr);

    // Puts a message for the person in the outbox, or sends it at once when the person is
    // on-line by now. False when the body is blank or the outbox is full.
    bool add(const QByteArray& address, const QByteArray& name, const QByteArray& body);
    // Takes the waiting message at `index` out; it never goes out.
    void cancel(qsizetype index);
    // A status announcement that the copy at `source` made itself, with the name and status
    // it gave: waiting messages for that address (or that name, at an address of its own since)
    // go out when the status is not off-line.
    void statusAnnounced(const QByteArray& source, const QByteArray& name,
                         const QByteArray& status);
    // A receipt addressed to this copy, from `source`.
    void receiptArrived(const QByteArray& source);
    // Drops every message that waited kMaxWaitMs or longer.
    void dropExpired();

    // The messages read at start-up, after those added before, within the limits; expired
    // ones are dropped at once.
    void load(const QList<WaitingMessage>& messages);
    const QList<WaitingMessage>& waiting() const { return waiting_; }

Q_SIGNALS:
    // The waiting messages changed (added, cancelled, sent, dropped): a save is due.
    void changed();
    // A message went out to `name` at `at`.
    void sent(const QByteArray& name, const QDateTime& at);
    // The receipt of a message sent from the outbox came back at `at`.
    void delivered(const QByteArray& name, const QDateTime& at);
    // A message for `name` waited too long and was dropped.
    void expired(const QByteArray& name);

private:
    // Sends the message at `index`; true when it left (and is out of the outbox).
    bool sendWaiting(qsizetype index, const QByteArray& address);
    qsizetype bytes() const;

    struct Sent {
        QByteArray address;
        QByteArray name;
        QDateTime at;
    };
    Environment env_;
    QList<WaitingMessage> waiting_;
    QList<Sent> awaitingReceipt_;
};

} // namespace velmora
