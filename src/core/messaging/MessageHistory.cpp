#include "core/messaging/MessageHistory.h"

#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"
#include "core/net/TimeStamp.h"
#include "core/presence/Presence.h"
#include "core/settings/Settings.h"

#include <utility>

namespace velmora {

namespace {
// The trailer's lead-in before the sender's name: " - - - From ".
constexpr qsizetype kTrailerLeadIn = 12;

// The note line about what a kept text left out is shorter than this (two 10-digit counts
// included).
constexpr qsizetype kNoteRoom = 100;
// Besides its kept text an entry holds two more lines (arrival line and blank), a line break
// before them when the text ends with one, and reading it back from the file puts a CR LF at
// its end: with these, a stored entry within the limits loads as it was stored.
constexpr qsizetype kEntryExtraLines = 3;
constexpr qsizetype kEntryExtraBytes = 256;

// Calls each(at, length) for the line breaks of `text` from `from` on (CR LF, LF or CR), until
// it returns false.
template <typename Each> void forEachBreak(const QByteArray& text, qsizetype from, Each each) {
    const qsizetype size = text.size();
    for (qsizetype i = from; i < size; ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') continue;
        const qsizetype length = c == '\r' && i + 1 < size && text[i + 1] == '\n' ? 2 : 1;
        if (!each(i, length)) return;
        i += length - 1;
    }
}

// The lines of `text` from `from` on; a break at the very end starts no further line.
qsizetype lineCount(const QByteArray& text, qsizetype from) {
    qsizetype lines = 0;
    qsizetype end = from;
    forEachBreak(text, from, [&](qsizetype at, qsizetype length) {
        ++lines;
        end = at + length;
        return true;
    });
    return lines + (end < text.size() ? 1 : 0);
}

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

QByteArray keptText(const QByteArray& text, qsizetype lineLimit, qsizetype byteLimit) {
    qsizetype keep = text.size(); // the kept start ends here
    qsizetype rest = text.size(); // and the part left out begins here
    qsizetype breaks = 0;
    forEachBreak(text, 0, [&](qsizetype at, qsizetype length) {
        if (++breaks < lineLimit - 1) return true;
        // The note takes the place of what follows this line: worth it for two lines or more.
        if (lineCount(text, at + length) > 1) {
            keep = at;
            rest = at + length;
        }
        return false;
    });
    if (keep == text.size() && text.size() <= byteLimit) return text;
    const qsizetype room = byteLimit - 2 - kNoteRoom;
    if (keep > room) {
        keep = rest = room;
        if (text[keep - 1] == '\r' && text[keep] == '\n') --keep; // a CR LF is not cut in two
        // A line break just after the kept start ends its last line; it is not a line left out.
        forEachBreak(text, keep, [&](qsizetype at, qsizetype length) {
            if (at == keep) rest = at + length;
            return false;
        });
    }
    const qsizetype lines = lineCount(text, rest);
    const qsizetype characters = text.size() - rest;
    return text.left(keep) + "\r\n[message shortened: " + QByteArray::number(lines) +
           (lines == 1 ? " more line (" : " more lines (") + QByteArray::number(characters) +
           (characters == 1 ? " character) not kept]" : " characters) not kept]");
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
        keptText(datagram::messageShownText(datagram)) + "\r\n" +
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

std::optional<QByteArray> MessageHistory::receiptArrived(const QByteArray& datagram,
                                                         const QByteArray& source) {
    // Anybody can send receipts; unasked ones must not pile up. A clock set back since the
    // message was sent counts as within the window.
    if (!lastSent_.isValid() || lastSent_.msecsTo(env_.clock.now()) > kReceiptWindowMs)
        return std::nullopt;
    const auto receipt = datagram::parseReceipt(datagram);
    if (!receipt || !sameAddress(receipt->address, env_.own.address)) return std::nullopt;
    Q_EMIT receiptAccepted(receipt->name, source);
    return receipt->name;
}

QByteArray MessageHistory::composedDatagram(const QByteArray& prefix,
                                            const QList<QByteArray>& lines) const {
    return prefix + messageBody(lines) +
           datagram::messageTrailer(env_.own.displayName, env_.own.address);
}

SendResult MessageHistory::sendMessage(const QByteArray& prefix, const QList<QByteArray>& lines) {
    return sendBody(prefix, messageBody(lines));
}

SendResult MessageHistory::sendBody(const QByteArray& prefix, const QByteArray& body) {
    SendResult result =
        env_.send(prefix + body + datagram::messageTrailer(env_.own.displayName, env_.own.address));
    if (result.sent()) lastSent_ = env_.clock.now();
    return result;
}

void MessageHistory::load(QList<QByteArray> entries) {
    // The file may have been written by anybody who can write it.
    for (QByteArray& entry : entries)
        entry = keptText(entry, kKeptLines + kEntryExtraLines, kKeptBytes + kEntryExtraBytes);
    // Messages accepted before the history was read are newer than every stored one.
    entries_.append(std::move(entries));
    keepLimit();
    position_ = 0;
    refreshMessageView();
    Q_EMIT historyLoaded();
}

void MessageHistory::keepLimit() {
    qsizetype kept = 0;
    qsizetype bytes = 0;
    for (const QByteArray& entry : std::as_const(entries_)) {
        if (kept == kLimit || bytes + entry.size() > kByteLimit) break;
        bytes += entry.size();
        ++kept;
    }
    entries_.resize(kept);
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
