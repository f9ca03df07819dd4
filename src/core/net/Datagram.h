#pragma once
// The wire format: one routine to build each kind of datagram and one to take each apart.
// Every datagram is an 8-bit text whose first character selects its kind; fields are split
// at the first 0xF7 of the text under inspection, and positions count from 1.

#include "core/net/AnsiText.h"

#include <QByteArray>
#include <optional>

namespace velmora::datagram {

// A receiver copies at most this many characters of an open-ended field.
inline constexpr qsizetype kFieldLimit = 999;

// Builders. `code` is a colour code, `name` a display name, `text` a status text.
QByteArray statusAnnouncement(char code, const QByteArray& name, const QByteArray& text);
// "z", code, target address, sep, then `rest` as it stands (name, sep, status text).
QByteArray proxyAnnouncement(char code, const QByteArray& target, const QByteArray& rest);
QByteArray refreshRequest(const QByteArray& name);
QByteArray rosterResetCommand(const QByteArray& name);
QByteArray broadcastProposal(const QByteArray& address);
// " - - - From " + name + " (" + address + ")"
QByteArray messageTrailer(const QByteArray& name, const QByteArray& ownAddress);
QByteArray messageToAll(const QByteArray& body, const QByteArray& trailer);
QByteArray addressedMessage(const QByteArray& target, const QByteArray& body,
                            const QByteArray& trailer);
QByteArray receipt(const QByteArray& senderAddress, const QByteArray& name);
QByteArray discussionEntry(const QByteArray& name, const QByteArray& text, const QByteArray& time);

// A status announcement taken apart. The name is already normalised.
struct StatusAnnouncement {
    char code = 0;
    QByteArray name;
    QByteArray status;
};

// Nothing when the first separator stands before position 4 or there is none.
std::optional<StatusAnnouncement> parseStatusAnnouncement(const QByteArray& text);

// A name written as "Sales/East \ Ann" is shown as "Ann": when a "\" stands more than two
// positions after the first "/", the name is what begins two positions after that "\".
QByteArray normaliseName(const QByteArray& name);

// A proxy announcement rewritten to the status announcement it stands for.
struct ProxyRewrite {
    QByteArray target;       // the address whose status this is
    QByteArray announcement; // "a", the colour code, up to 999 characters after the separator
};
// Nothing when the datagram has no separator.
std::optional<ProxyRewrite> rewriteProxy(const QByteArray& text);

// The target address of an addressed message ("m" + address + sep + ...); nothing without a
// separator.
std::optional<QByteArray> addressedMessageTarget(const QByteArray& text);
// What a message shows: after the first separator for "m", from position 2 for "M".
QByteArray messageShownText(const QByteArray& text);

// A receipt's address and name, after the receiver's two appended blanks.
struct Receipt {
    QByteArray address;
    QByteArray name;
};
std::optional<Receipt> parseReceipt(const QByteArray& text);

// The board line of a discussion entry: everything from position 2.
QByteArray discussionLine(const QByteArray& text);

// The address of a broadcast-address proposal or notice: positions 3 to the end.
QByteArray broadcastAddressOf(const QByteArray& text);

} // namespace velmora::datagram
