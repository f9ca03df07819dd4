#pragma once
// The wire format: one routine to build each kind of datagram and one to take each apart.
// Every datagram is an 8-bit text whose first character selects its kind; fields are split
// at the first 0xF7 of the text under inspection, and positions count from 1.

#include "core/net/AnsiText.h"

#include <QByteArray>
#include <optional>

namespace velmora {

// The colour code: the second character of every status announcement, kept in the roster
// with the status; it selects the row's colour. A code that this program does not know is
// kept as it came (stored, relayed and taken over unchanged, painted in the idle colour), so a
// StatusCode holds any byte, not only the named ones.
enum class StatusCode : char {
    None = '\0', // a roster entry with nothing after its separator
    In = 'g',
    Out = 'r',
    Busy = 'f',
    Remark = 'y',
    Idle = 's',
    WhiteRemark = 'w',
    Blue = 'b',
    Aqua = 'z',
};

constexpr char toWire(StatusCode code) {
    return static_cast<char>(code);
}
constexpr StatusCode fromWire(char byte) {
    return static_cast<StatusCode>(byte);
}

} // namespace velmora

namespace velmora::datagram {

// The first character of a datagram: its kind. Any other first character is ignored.
enum class Kind : char {
    StatusAnnouncement = 'a',
    ProxyAnnouncement = 'z', // a status announcement on behalf of the target address
    MessageToAll = 'M',
    AddressedMessage = 'm',
    Receipt = 'v',
    DiscussionEntry = 'd',
    RefreshRequest = 'r',
    RosterReset = '7',
    BroadcastProposal = 'b',
    BroadcastNotice = 'B',
    BringToFront = 'x', // acted on only when it comes from the own address
};

constexpr char toWire(Kind kind) {
    return static_cast<char>(kind);
}
// The kind of `text`; an empty text has none of the named kinds.
inline Kind kindOf(const QByteArray& text) {
    return static_cast<Kind>(text.isEmpty() ? '\0' : text[0]);
}

// A receiver copies at most this many characters of an open-ended field (a status, a name, a
// proxy announcement's target address, a receipt's name): whatever a host sends, a roster row
// or a receipt line stays small.
inline constexpr qsizetype kFieldLimit = 999;

// Builders. `code` is a colour code, `name` a display name, `text` a status text.
QByteArray statusAnnouncement(StatusCode code, const QByteArray& name, const QByteArray& text);
// "z", code, target address, sep, then `rest` as it stands (name, sep, status text).
QByteArray proxyAnnouncement(StatusCode code, const QByteArray& target, const QByteArray& rest);
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

// A status announcement taken apart. The name is already normalised, then cut to kFieldLimit.
struct StatusAnnouncement {
    StatusCode code = StatusCode::None;
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
    QByteArray target;       // the address whose status this is, cut to kFieldLimit
    QByteArray announcement; // "a", the colour code, up to 999 characters after the separator
};
// Nothing when the datagram has no separator.
std::optional<ProxyRewrite> rewriteProxy(const QByteArray& text);

// The target address of an addressed message ("m" + address + sep + ...); nothing without a
// separator.
std::optional<QByteArray> addressedMessageTarget(const QByteArray& text);
// What a message shows: after the first separator for "m", from position 2 for "M".
QByteArray messageShownText(const QByteArray& text);

// A receipt's address and name, after the receiver's two appended blanks, cut to kFieldLimit.
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
