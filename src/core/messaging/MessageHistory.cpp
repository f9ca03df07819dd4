#include "core/messaging/MessageHistory.h"

#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"
#include "core/net/TimeStamp.h"
#include "core/presence/Presence.h"
#include "core/settings/Settings.h"

namespace velmora {

namespace {
// The trailer's lead-in before the sender's name: " - - - From ".
constexpr qsizetype kTrailerLeadIn = 12;

// The reply target of entry text `s` whose reply mark, the 1-based position of its last "(",
// is `replyMark`.
std::optional<ReplyTarget> targetAt(const QByteArray& s, qsizetype replyMark) {
    if (replyMark < 0) return std::nullopt;
    const qsizetype mark = replyMark - 1; // 0-based "("
    const qsizetype close = s.indexOf(')', mark + 1);
    // Without a ")" there is no address to reply to.
    if (close < 0) return std::nullopt;
    ReplyTarget target;
    target.address = s.mid(mark + 1, close - mark - 1) + kSep;
    const qsizetype lineStart = mark == 0 ? 0 : s.lastIndexOf('\n', mark - 1) + 1;
    const qsizetype nameLength = mark - lineStart - kTrailerLeadIn - 1;
    if (nameLength > 0) target.name = s.mid(lineStart + kTrailerLeadIn, nameLength);
    return target;
}
} // namespace

std::optional<ReplyTarget> entryReplyTarget(const QByteArray& entry) {
    const qsizetype at = entry.lastIndexOf('(');
    return targetAt(entry, at < 0 ? -1 : at + 1);
}

QByteArray arrivalLine(const QDateTime& moment, const QLocale& locale, bool clock24) {
    const QString day = locale.dayName(moment.date().dayOfWeek(), QLocale::ShortFormat);
    return " at " + formatClockTime(moment, locale, clock24) + " on " + toAnsi(day) + ' ';
}

QByteArray messageBody(const QList<QByteArray>& lines) {
    QByteArray body;
    for (const QByteArray& line : lines) {
        if (line != " ") body += line;
        body += "\r\n";
        if (body.size() > kMessageBodyLimit) break; // the rest is cut anyway
    }
    body.truncate(kMessageBodyLimit);
    return body;
}

MessageHistory::MessageHistory(Environment env, QObject* parent)
    : QObject(parent), env_(std::move(env)) {}

bool MessageHistory::messageArrived(const QByteArray& datagram, const QByteArray& source) {
    if (!env_.options.showOnNewMessage || datagram.isEmpty()) return false;
    if (datagram::kindOf(datagram) == datagram::Kind::AddressedMessage) {
        const auto target = datagram::addressedMessageTarget(datagram);
        if (!target || !sameAddress(*target, env_.own.address)) return false;
    }
    // A datagram that arrives twice in a row (the sender pressed Send again on the same text)
    // is shown and confirmed once.
    if (datagram == lastDatagram_) return false;
    lastDatagram_ = datagram;

    const QByteArray entry =
        datagram::messageShownText(datagram) + "\r\n" +
        arrivalLine(env_.clock.now(), env_.locale, env_.options.use24HourClock) + "\r\n ";
    entries_.prepend(entry);
    keepLimit();
    position_ = 0;
    refreshMessageView();
    // When the receipt does not go out, the sender keeps waiting; the message is shown all the
    // same.
    env_.send(datagram::receipt(source, env_.own.displayName));
    Q_EMIT messageAccepted(source, entry);
    return true;
}

std::optional<QByteArray> MessageHistory::receiptArrived(const QByteArray& datagram) {
    const auto receipt = datagram::parseReceipt(datagram);
    if (!receipt || !sameAddress(receipt->address, env_.own.address)) return std::nullopt;
    Q_EMIT receiptAccepted(receipt->name);
    return receipt->name;
}

QByteArray MessageHistory::composedDatagram(const QByteArray& prefix,
                                            const QList<QByteArray>& lines) const {
    return prefix + messageBody(lines) +
           datagram::messageTrailer(env_.own.displayName, env_.own.address);
}

void MessageHistory::load(QList<QByteArray> entries) {
    // Messages accepted before the history was read are newer than every stored one.
    entries_.append(std::move(entries));
    keepLimit();
    position_ = 0;
    refreshMessageView();
    Q_EMIT historyLoaded();
}

void MessageHistory::keepLimit() {
    if (entries_.size() > kLimit) entries_.resize(kLimit);
}

QByteArray MessageHistory::shown() const {
    if (position_ < 0 || position_ >= entries_.size()) return {};
    return entries_[position_];
}

void MessageHistory::refreshMessageView() {
    replyMark_ = -1;
    if (entries_.isEmpty()) return;
    QByteArray s = shown();
    if (s.isEmpty()) s = " ";
    const qsizetype at = s.lastIndexOf('(');
    if (at >= 0) replyMark_ = at + 1;
}

std::optional<ReplyTarget> MessageHistory::replyTarget() const {
    return targetAt(shown(), replyMark_);
}

bool MessageHistory::showEntry(const QByteArray& entry) {
    const qsizetype at = entries_.indexOf(entry);
    if (at < 0) return false;
    position_ = int(at);
    refreshMessageView();
    return true;
}

void MessageHistory::previous() {
    if (!entries_.isEmpty() && position_ > 0) --position_;
    refreshMessageView();
}

void MessageHistory::next() {
    if (!entries_.isEmpty() && position_ < entries_.size() - 1) ++position_;
    refreshMessageView();
}

void MessageHistory::erase() {
    if (!entries_.isEmpty() && position_ < entries_.size()) entries_.removeAt(position_);
    previous();
}

} // namespace velmora
