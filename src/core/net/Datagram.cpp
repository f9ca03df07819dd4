#include "core/net/Datagram.h"

#include <algorithm>

namespace velmora::datagram {

namespace {
// A datagram's first character as a text to append to.
QByteArray start(Kind kind) {
    return QByteArray(1, toWire(kind));
}
} // namespace

QByteArray statusAnnouncement(StatusCode code, const QByteArray& name, const QByteArray& text) {
    QByteArray d;
    d.reserve(4 + name.size() + text.size());
    d.append(toWire(Kind::StatusAnnouncement)).append(toWire(code));
    d.append(name).append(kSep).append(' ').append(text);
    return d;
}

QByteArray proxyAnnouncement(StatusCode code, const QByteArray& target, const QByteArray& rest) {
    QByteArray d;
    d.reserve(3 + target.size() + rest.size());
    d.append(toWire(Kind::ProxyAnnouncement)).append(toWire(code));
    d.append(target).append(kSep).append(rest);
    return d;
}

QByteArray refreshRequest(const QByteArray& name) {
    return start(Kind::RefreshRequest) + ' ' + name;
}

QByteArray rosterResetCommand(const QByteArray& name) {
    return start(Kind::RosterReset) + ' ' + name;
}

QByteArray broadcastProposal(const QByteArray& address) {
    return start(Kind::BroadcastProposal) + ' ' + address;
}

QByteArray messageTrailer(const QByteArray& name, const QByteArray& ownAddress) {
    return QByteArray(" - - - From ") + name + " (" + ownAddress + ")";
}

QByteArray messageToAll(const QByteArray& body, const QByteArray& trailer) {
    return start(Kind::MessageToAll) + body + trailer;
}

QByteArray addressedMessage(const QByteArray& target, const QByteArray& body,
                            const QByteArray& trailer) {
    return start(Kind::AddressedMessage) + target + kSep + body + trailer;
}

QByteArray receipt(const QByteArray& senderAddress, const QByteArray& name) {
    // The second character of a receipt is always "l".
    return start(Kind::Receipt) + 'l' + senderAddress + kSep + name;
}

QByteArray discussionEntry(const QByteArray& name, const QByteArray& text, const QByteArray& time) {
    return start(Kind::DiscussionEntry) + name + " > " + text + time;
}

std::optional<StatusAnnouncement> parseStatusAnnouncement(const QByteArray& text) {
    const qsizetype sep = text.indexOf(kSep) + 1; // 1-based; 0 when absent
    if (sep < 4) return std::nullopt;
    StatusAnnouncement a;
    a.code = fromWire(text[1]);
    a.name = normaliseName(text.mid(2, sep - 3)).left(kFieldLimit);
    a.status = trimBlanks(copyFrom(text, sep + 1, kFieldLimit));
    return a;
}

QByteArray normaliseName(const QByteArray& name) {
    const qsizetype slash = name.indexOf('/') + 1;
    if (slash == 0) return name;
    const qsizetype backslash = name.indexOf('\\') + 1;
    if (backslash > slash + 2) return copyFrom(name, backslash + 2);
    return name;
}

std::optional<ProxyRewrite> rewriteProxy(const QByteArray& text) {
    const qsizetype sep = text.indexOf(kSep) + 1;
    if (sep == 0 || text.size() < 2) return std::nullopt;
    ProxyRewrite r;
    // The target becomes a roster key, kept as long as any other field; no address is longer.
    r.target = sep > 3 ? text.mid(2, std::min(sep - 3, kFieldLimit)) : QByteArray();
    // Name and status as they come: the status gets its own limit when the announcement is
    // parsed, as a direct one does.
    r.announcement = start(Kind::StatusAnnouncement) + text[1] + copyFrom(text, sep + 1);
    return r;
}

std::optional<QByteArray> addressedMessageTarget(const QByteArray& text) {
    const qsizetype sep = text.indexOf(kSep) + 1;
    if (sep == 0) return std::nullopt;
    return text.mid(1, sep - 2);
}

QByteArray messageShownText(const QByteArray& text) {
    if (kindOf(text) == Kind::AddressedMessage) {
        const qsizetype sep = text.indexOf(kSep) + 1;
        return sep == 0 ? QByteArray() : copyFrom(text, sep + 1);
    }
    return copyFrom(text, 2);
}

std::optional<Receipt> parseReceipt(const QByteArray& text) {
    const QByteArray padded = text + "  ";
    const qsizetype sep = padded.indexOf(kSep) + 1;
    if (sep == 0) return std::nullopt;
    Receipt r;
    r.address = sep > 3 ? padded.mid(2, sep - 3) : QByteArray();
    r.name = copyFrom(padded, sep + 1, kFieldLimit);
    return r;
}

QByteArray discussionLine(const QByteArray& text) {
    return copyFrom(text, 2);
}

QByteArray broadcastAddressOf(const QByteArray& text) {
    return copyFrom(text, 3);
}

} // namespace velmora::datagram
