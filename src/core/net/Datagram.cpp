#include "core/net/Datagram.h"

namespace velmora::datagram {

QByteArray StatusAnnouncement(char code, const QByteArray& name, const QByteArray& text) {
    QByteArray d;
    d.reserve(4 + name.size() + text.size());
    d.append('a').append(code).append(name).append(kSep).append(' ').append(text);
    return d;
}

QByteArray ProxyAnnouncement(char code, const QByteArray& target, const QByteArray& rest) {
    QByteArray d;
    d.reserve(3 + target.size() + rest.size());
    d.append('z').append(code).append(target).append(kSep).append(rest);
    return d;
}

QByteArray RefreshRequest(const QByteArray& name) {
    return QByteArray("r ") + name;
}

QByteArray RosterResetCommand(const QByteArray& name) {
    return QByteArray("7 ") + name;
}

QByteArray BroadcastProposal(const QByteArray& address) {
    return QByteArray("b ") + address;
}

QByteArray MessageTrailer(const QByteArray& name, const QByteArray& ownAddress) {
    return QByteArray(" - - - From ") + name + " (" + ownAddress + ")";
}

QByteArray MessageToAll(const QByteArray& body, const QByteArray& trailer) {
    return QByteArray("M") + body + trailer;
}

QByteArray AddressedMessage(const QByteArray& target, const QByteArray& body,
                            const QByteArray& trailer) {
    return QByteArray("m") + target + kSep + body + trailer;
}

QByteArray Receipt(const QByteArray& senderAddress, const QByteArray& name) {
    return QByteArray("vl") + senderAddress + kSep + name;
}

QByteArray DiscussionEntry(const QByteArray& name, const QByteArray& text, const QByteArray& time) {
    return QByteArray("d") + name + " > " + text + time;
}

std::optional<TStatusAnnouncement> ParseStatusAnnouncement(const QByteArray& text) {
    const qsizetype sep = text.indexOf(kSep) + 1; // 1-based; 0 when absent
    if (sep < 4) return std::nullopt;
    TStatusAnnouncement a;
    a.code = text[1];
    a.name = NormaliseName(text.mid(2, sep - 3));
    a.status = TrimBlanks(CopyFrom(text, sep + 1, kFieldLimit));
    return a;
}

QByteArray NormaliseName(const QByteArray& name) {
    const qsizetype slash = name.indexOf('/') + 1;
    if (slash == 0) return name;
    const qsizetype backslash = name.indexOf('\\') + 1;
    if (backslash > slash + 2) return CopyFrom(name, backslash + 2);
    return name;
}

std::optional<TProxyRewrite> RewriteProxy(const QByteArray& text) {
    const qsizetype sep = text.indexOf(kSep) + 1;
    if (sep == 0 || text.size() < 2) return std::nullopt;
    TProxyRewrite r;
    r.target = sep > 3 ? text.mid(2, sep - 3) : QByteArray();
    r.announcement = QByteArray("a") + text[1] + CopyFrom(text, sep + 1, kFieldLimit);
    return r;
}

std::optional<QByteArray> AddressedMessageTarget(const QByteArray& text) {
    const qsizetype sep = text.indexOf(kSep) + 1;
    if (sep == 0) return std::nullopt;
    return text.mid(1, sep - 2);
}

QByteArray MessageShownText(const QByteArray& text) {
    if (text.startsWith('m')) {
        const qsizetype sep = text.indexOf(kSep) + 1;
        return sep == 0 ? QByteArray() : CopyFrom(text, sep + 1);
    }
    return CopyFrom(text, 2);
}

std::optional<TReceipt> ParseReceipt(const QByteArray& text) {
    const QByteArray padded = text + "  ";
    const qsizetype sep = padded.indexOf(kSep) + 1;
    if (sep == 0) return std::nullopt;
    TReceipt r;
    r.address = sep > 3 ? padded.mid(2, sep - 3) : QByteArray();
    r.name = CopyFrom(padded, sep + 1);
    return r;
}

QByteArray DiscussionLine(const QByteArray& text) {
    return CopyFrom(text, 2);
}

QByteArray BroadcastAddressOf(const QByteArray& text) {
    return CopyFrom(text, 3);
}

} // namespace velmora::datagram
