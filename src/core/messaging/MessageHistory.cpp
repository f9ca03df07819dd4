#include "core/messaging/MessageHistory.h"

#include "core/net/AnsiText.h"
#include "core/net/UdpTransport.h"
#include "core/net/Datagram.h"
#include "core/presence/Presence.h"
#include "core/settings/Settings.h"

namespace velmora {

namespace {
// The trailer's lead-in before the sender's name: " - - - From ".
constexpr qsizetype kTrailerLeadIn = 12;
} // namespace

QByteArray ArrivalLine(const QDateTime& moment, const QLocale& locale, bool clock24) {
    const QString day = locale.dayName(moment.date().dayOfWeek(), QLocale::ShortFormat);
    return " at " + FormatClockTime(moment, locale, clock24) + " on " + ToAnsi(day) + ' ';
}

QByteArray MessageBody(const QList<QByteArray>& lines) {
    QByteArray body;
    for (const QByteArray& line : lines) {
        if (line != " ") body += line;
        body += "\r\n";
        if (body.size() > kMessageBodyLimit) break; // the rest is cut anyway
    }
    body.truncate(kMessageBodyLimit);
    return body;
}

TMessageHistory::TMessageHistory(TEnvironment env, QObject* parent)
    : QObject(parent), env_(std::move(env)) {}

bool TMessageHistory::MessageArrived(const QByteArray& datagram, const QByteArray& source) {
    if (!env_.options.msg1 || datagram.isEmpty()) return false;
    if (datagram[0] == 'm') {
        const auto target = datagram::AddressedMessageTarget(datagram);
        if (!target || !SameAddress(*target, env_.own.address)) return false;
    }
    // A datagram that arrives twice in a row (the sender pressed Send again on the same text)
    // is shown and confirmed once.
    if (datagram == lastDatagram_) return false;
    lastDatagram_ = datagram;

    const QByteArray entry = datagram::MessageShownText(datagram) + "\r\n" +
                             ArrivalLine(env_.clock.Now(), env_.locale, env_.options.clock24) + "\r\n ";
    entries_.prepend(entry);
    position_ = 0;
    RefreshMessageView();
    try {
        env_.send(datagram::Receipt(source, env_.own.displayName));
    } catch (const EUDPError&) {
        // The sender keeps waiting; the message is shown all the same.
    }
    Q_EMIT messageAccepted(source, entry);
    return true;
}

std::optional<QByteArray> TMessageHistory::ReceiptArrived(const QByteArray& datagram) {
    const auto receipt = datagram::ParseReceipt(datagram);
    if (!receipt || !SameAddress(receipt->address, env_.own.address)) return std::nullopt;
    Q_EMIT receiptAccepted(receipt->name);
    return receipt->name;
}

QByteArray TMessageHistory::ComposedDatagram(const QByteArray& prefix,
                                             const QList<QByteArray>& lines) const {
    return prefix + MessageBody(lines) +
           datagram::MessageTrailer(env_.own.displayName, env_.own.address);
}

void TMessageHistory::Load(QList<QByteArray> entries) {
    entries_ = std::move(entries);
    position_ = 0;
    RefreshMessageView();
    Q_EMIT historyLoaded();
}

QByteArray TMessageHistory::Shown() const {
    if (position_ < 0 || position_ >= entries_.size()) return {};
    return entries_[position_];
}

void TMessageHistory::RefreshMessageView() {
    replyMark_ = -1;
    if (entries_.isEmpty()) return;
    QByteArray s = Shown();
    if (s.isEmpty()) s = " ";
    const qsizetype at = s.lastIndexOf('(');
    if (at >= 0) replyMark_ = at + 1;
}

std::optional<TReplyTarget> TMessageHistory::ReplyTarget() const {
    if (replyMark_ < 0) return std::nullopt;
    const QByteArray s = Shown();
    const qsizetype mark = replyMark_ - 1; // 0-based "("
    const qsizetype close = s.indexOf(')', mark + 1);
    // Without a ")" there is no address to reply to.
    if (close < 0) return std::nullopt;
    TReplyTarget target;
    target.address = s.mid(mark + 1, close - mark - 1) + kSep;
    const qsizetype lineStart = mark == 0 ? 0 : s.lastIndexOf('\n', mark - 1) + 1;
    const qsizetype nameLength = mark - lineStart - kTrailerLeadIn - 1;
    if (nameLength > 0) target.name = s.mid(lineStart + kTrailerLeadIn, nameLength);
    return target;
}

void TMessageHistory::Previous() {
    if (!entries_.isEmpty() && position_ > 0) --position_;
    RefreshMessageView();
}

void TMessageHistory::Next() {
    if (!entries_.isEmpty() && position_ < entries_.size() - 1) ++position_;
    RefreshMessageView();
}

void TMessageHistory::Erase() {
    if (!entries_.isEmpty() && position_ < entries_.size()) entries_.removeAt(position_);
    Previous();
}

} // namespace velmora
