#pragma once
// Received messages and the receipts that come back to a sender: accepting a message datagram,
// the history of accepted messages (newest first) with the position the inbox shows, the reply
// target of the shown entry, and how a composed text becomes a message datagram.

#include "core/net/TimeStamp.h"

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QObject>
#include <functional>
#include <optional>

namespace velmora {

struct TOptions;
struct TOwnStatus;

// A message body is cut to this many characters, the CR LF after each line counted.
inline constexpr qsizetype kMessageBodyLimit = 360;

// " at h:nn AM on Mon ": the line an entry gets below the message text on arrival.
QByteArray ArrivalLine(const QDateTime& moment, const QLocale& locale, bool clock24 = false);

// The body of a message from the lines a compose box shows: each line followed by CR LF, a line
// of one blank sent empty, the whole cut to 360 characters (possibly inside the last CR LF).
QByteArray MessageBody(const QList<QByteArray>& lines);

// Where a reply goes, taken from the shown entry's trailer " - - - From name (address)".
struct TReplyTarget {
    QByteArray address; // the address followed by the separator, as the recipient is kept
    QByteArray name;
};

class TMessageHistory : public QObject {
    Q_OBJECT
public:
    struct TEnvironment {
        const TOptions& options;
        const TOwnStatus& own;
        const TClock& clock;
        const QLocale& locale;
        std::function<void(const QByteArray&)> send;
    };

    explicit TMessageHistory(TEnvironment env, QObject* parent = nullptr);

    // A message to all ("M") or an addressed message ("m") from `source`. Returns true when it
    // was accepted: shown, kept at position 0 and confirmed with a receipt.
    bool MessageArrived(const QByteArray& datagram, const QByteArray& source);
    // A receipt ("v"); gives the receiver's name (with the two blanks the parse adds) when it is
    // addressed to this copy.
    std::optional<QByteArray> ReceiptArrived(const QByteArray& datagram);

    // The message datagram ("M" or "m" + recipient) for the given compose box lines.
    QByteArray ComposedDatagram(const QByteArray& prefix, const QList<QByteArray>& lines) const;

    QList<QByteArray>& Entries() { return entries_; }
    const QList<QByteArray>& Entries() const { return entries_; }
    // The history as read at start-up; shows entry 0.
    void Load(QList<QByteArray> entries);
    int Position() const { return position_; }
    // The entry at the history position, or the empty text when there is none.
    QByteArray Shown() const;

    // Recomputes the reply mark of the shown entry.
    void RefreshMessageView();
    // 1-based position of the last "(" in the shown entry, or -1.
    qsizetype ReplyMark() const { return replyMark_; }
    // Reply needs a "(" and a ")" after it to find an address.
    bool CanReply() const { return ReplyTarget().has_value(); }
    std::optional<TReplyTarget> ReplyTarget() const;

    // Towards newer (Previous) or older (Next) entries; both stay at the ends.
    void Previous();
    void Next();
    // Removes the shown entry, then shows the next newer one (the next older one after removing
    // the newest).
    void Erase();

Q_SIGNALS:
    // `entry` is the message text, CR LF, the arrival line, CR LF and one blank.
    void messageAccepted(const QByteArray& source, const QByteArray& entry);
    void receiptAccepted(const QByteArray& name);
    // The history read at start-up is in place; entry 0 is the one to show.
    void historyLoaded();

private:
    TEnvironment env_;
    QList<QByteArray> entries_;
    QByteArray lastDatagram_;
    int position_ = 0;
    qsizetype replyMark_ = -1;
};

} // namespace velmora
