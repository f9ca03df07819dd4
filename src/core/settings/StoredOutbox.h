#pragma once
// The outbox's own section of the settings file, VLXOutbox: the messages that wait until their
// recipient's copy is back. `cnt` holds how many there are; keys 0 .. cnt - 1 hold one message
// each as four words separated by blanks: the recipient's address, the time it was put in the
// outbox (ISO 8601, UTC), the recipient's name and the message body, both percent-encoded, so
// that a line break, a separator byte or a blank of theirs stays theirs. Older copies never read
// the section and leave it as it is.

#include "core/settings/Profile.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

namespace velmora {

// One message in the outbox.
struct WaitingMessage {
    QByteArray address; // the recipient's address, dotted
    QByteArray name;    // the recipient's name as the status list showed it
    QDateTime queuedAt; // when it was put in the outbox
    QByteArray body;    // the message body: each line followed by CR LF, at most 360 characters
    bool operator==(const WaitingMessage&) const = default;
};

// The stored messages in key order, those that cannot be read skipped, each body cut to the
// message body limit, the whole kept within `countLimit` messages and `byteLimit` bytes of
// bodies.
QList<WaitingMessage> readOutbox(const Profile& profile, qsizetype countLimit, qsizetype byteLimit);

// Replaces the section with `messages`.
void writeOutbox(Profile& profile, const QList<WaitingMessage>& messages);

} // namespace velmora
