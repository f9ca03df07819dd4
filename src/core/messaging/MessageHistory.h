#pragma once
// Received messages and the receipts that come back to a sender: accepting a message datagram,
// the history of accepted messages (newest first) with the position the inbox shows, the reply
// target of the shown entry, and how a composed text becomes a message datagram.

#include "core/Clock.h"
#include "core/net/SendResult.h"

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QObject>
#include <functional>
#include <optional>

namespace velmora {

struct Options;
struct OwnStatus;

// A message body is cut to this many characters, the CR LF after each line counted.
inline constexpr qsizetype kMessageBodyLimit = 360;

// What an entry keeps of a message's text: its first 200 lines (a message composed here has at
// most 181) and at most 64 KiB (a datagram holds less, so only a stored entry can reach it).
// Line breaks are counted as a text box shows them: CR LF, a lone LF and a lone CR each end a
// line. A longer text keeps as much as fits besides one last line that says what was left out,
// "[message shortened: N more lines (M characters) not kept]", so nothing is cut silently.
inline constexpr qsizetype kKeptLines = 200;
inline constexpr qsizetype kKeptBytes = 64 * 1024;

// `text` when it has at most `lineLimit` lines and `byteLimit` bytes; else its start and the
// line about the rest, together within both limits. Keeping a kept text changes nothing.
QByteArray keptText(const QByteArray& text, qsizetype lineLimit = kKeptLines,
                    qsizetype byteLimit = kKeptBytes);

// " at h:nn AM on Mon ": the line an entry gets below the message text on arrival.
QByteArray arrivalLine(const QDateTime& moment, const QLocale& locale, bool clock24 = false);

// The body of a message from the lines a compose box shows: each line followed by CR LF, a line
// of one blank sent empty, the whole cut to 360 characters (possibly inside the last CR LF).
QByteArray messageBody(const QList<QByteArray>& lines);

// Where a reply goes, taken from the shown entry's trailer " - - - From name (address)".
struct ReplyTarget {
    QByteArray address; // the address followed by the separator, as the recipient is kept
    QByteArray name;
};

// The reply target that an entry's trailer names, whichever entry is shown.
std::optional<ReplyTarget> entryReplyTarget(const QByteArray& entry);

class MessageHistory : public QObject {
    Q_OBJECT
public:
    struct Environment {
        const Options& options;
        const OwnStatus& own;
        const Clock& clock;
        const QLocale& locale;
        std::function<SendResult(const QByteArray&)> send;
    };

    // The most messages kept, and the most bytes they hold together; the oldest go first. Any
    // host can send messages as fast as the network carries them, and every one kept is saved.
    static constexpr qsizetype kLimit = 5000;
    static constexpr qsizetype kByteLimit = 8 * 1024 * 1024;
    // A receipt names no message: one counts only this long after this copy sent a message.
    static constexpr qint64 kReceiptWindowMs = 60 * 60 * 1000;

    explicit MessageHistory(Environment env, QObject* parent = nullptr);

    // A message to all ("M") or an addressed message ("m") from `source`. Returns true when it
    // was accepted: shown, kept at position 0 and confirmed with a receipt.
    bool messageArrived(const QByteArray& datagram, const QByteArray& source);
    // A receipt ("v") from `source`; gives the receiver's name (with the two blanks the parse
    // adds) when it is addressed to this copy and came within kReceiptWindowMs of its last
    // message.
    std::optional<QByteArray> receiptArrived(const QByteArray& datagram, const QByteArray& source);

    // The message datagram ("M" or "m" + recipient) for the given compose box lines.
    QByteArray composedDatagram(const QByteArray& prefix, const QList<QByteArray>& lines) const;
    // Sends that datagram; once it left, its receipts are expected from now on.
    SendResult sendMessage(const QByteArray& prefix, const QList<QByteArray>& lines);
    // Sends a body made earlier (messageBody) after `prefix`, with the trailer as it is now.
    SendResult sendBody(const QByteArray& prefix, const QByteArray& body);

    const QList<QByteArray>& entries() const { return entries_; }
    // The history as read at start-up, after the messages accepted before it, each entry kept
    // as an arriving one is; shows entry 0.
    void load(QList<QByteArray> entries);
    int position() const { return position_; }
    // The entry at the history position, or the empty text when there is none.
    QByteArray shown() const;

    // Recomputes the reply mark of the shown entry.
    void refreshMessageView();
    // 1-based position of the last "(" in the shown entry, or -1.
    qsizetype replyMark() const { return replyMark_; }
    // Reply needs a "(" and a ")" after it to find an address.
    bool canReply() const { return replyTarget().has_value(); }
    std::optional<ReplyTarget> replyTarget() const;

    // Moves the history position to `entry` (the newest such); false when it is gone.
    bool showEntry(const QByteArray& entry);
    // Towards newer (Previous) or older (Next) entries; both stay at the ends.
    void previous();
    void next();
    // Removes the shown entry, then shows the next newer one (the next older one after removing
    // the newest).
    void erase();

Q_SIGNALS:
    // `entry` is the message text as kept (keptText), CR LF, the arrival line, CR LF and one
    // blank.
    void messageAccepted(const QByteArray& source, const QByteArray& entry);
    void receiptAccepted(const QByteArray& name, const QByteArray& source);
    // The history read at start-up is in place; entry 0 is the one to show.
    void historyLoaded();

private:
    void keepLimit();
    Environment env_;
    QList<QByteArray> entries_;
    QByteArray lastDatagram_;
    QDateTime lastSent_; // invalid until this copy sends a message
    int position_ = 0;
    qsizetype replyMark_ = -1;
};

} // namespace velmora
