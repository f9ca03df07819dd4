#include "core/net/Datagram.h"

namespace velmora::datagram {

QByteArray statusAnnouncement(char code, const QByteArray& name, const QByteArray& text) {
    QByteArray d;
    d.reserve(4 + name.size() + text.size());
    d.append('a').append(code).append(name).append(kSep).append(' ').append(text);
    return d;
}

QByteArray proxyAnnouncement(char code, const QByteArray& target, const QByteArray& rest) {
    QByteArray d;
    d.reserve(3 + target.size() + rest.size());
    d.append('z').append(code).append(target).append(kSep).append(rest);
    return d;
}

QByteArray refreshRequest(const QByteArray& name) {
    return QByteArray("r ") + name;
}

QByteArray rosterResetCommand(const QByteArray& name) {
    return QByteArray("7 ") + name;
}

QByteArray broadcastProposal(const QByteArray& address) {
    return QByteArray("b ") + address;
}

QByteArray messageTrailer(const QByteArray& name, const QByteArray& ownAddress) {
    return QByteArray(" - - - From ") + name + " (" + ownAddress + ")";
}

QByteArray messageToAll(const QByteArray& body, const QByteArray& trailer) {
    return QByteArray("M") + body + trailer;
}

QByteArray addressedMessage(const QByteArray& target, const QByteArray& body,
                            const QByteArray& trailer) {
    return QByteArray("m") + target + kSep + body + trailer;
}

QByteArray receipt(const QByteArray& senderAddress, const QByteArray& name) {
    return QByteArray("vl") + senderAddress + kSep + name;
}

QByteArray discussionEntry(const QByteArray& name, const QByteArray& text, const QByteArray& time) {
    return QByteArray("d") + name + " > " + text + time;
}

std::optional<StatusAnnouncement> parseStatusAnnouncement(const QByteArray& text) {
    const qsizetype sep = text.indexOf(kSep) + 1; // 1-based; 0 when absent
    if (sep < 4) return std::nullopt;
    StatusAnnouncement a;
    a.code = text[1];
    a.name = normaliseName(text.mid(2, sep - 3));
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
    r.target = sep > 3 ? text.mid(2, sep - 3) : QByteArray();
    // Name and status as they come: the status gets its own limit when the announcement is
    // parsed, as a direct one does.
    r.announcement = QByteArray("a") + text[1] + copyFrom(text, sep + 1);
    return r;
}

std::optional<QByteArray> addressedMessageTarget(const QByteArray& text) {
    const qsizetype sep = text.indexOf(kSep) + 1;
    if (sep == 0) return std::nullopt;
    return text.mid(1, sep - 2);
}

QByteArray messageShownText(const QByteArray& text) {
    if (text.startsWith('m')) {
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
    r.name = copyFrom(padded, sep + 1);
    return r;
}

QByteArray discussionLine(const QByteArray& text) {
    return copyFrom(text, 2);
}

QByteArray broadcastAddressOf(const QByteArray& text) {
    return copyFrom(text, 3);
}

} // namespace velmora::datagram
