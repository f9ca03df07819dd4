#pragma once
// The Compose page: the recipient chosen on the Status page, the compose box, "Send" and
// "Send to All", and the receipts that come back ("Message received by: ") on lime, counted on
// the line above the box ("Received by 3 of 5 on-line"). Receipts never replace what the user
// typed: their lines wait until the box is erased. Under the box, a note when a message went
// unconfirmed and the count of characters left near the limit.
// For a person who is off-line, "Send when <name> is back" puts the message in the outbox,
// whose waiting messages are listed below.
// The controls are made when the page is first shown; until then what arrives (receipts, a
// recipient chosen through the person menu) is kept and shown then.

#include "core/messaging/MessageHistory.h"
#include "core/messaging/ReceiptTally.h"
#include "gui/controls/BuiltWhenShown.h"

#include <QByteArray>
#include <QStringList>
#include <QTimer>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace velmora {

class Core;
class OutboxPanel;
class PageHost;

class ComposePage : public BuiltWhenShown {
    Q_OBJECT
public:
    // What a user may type or paste into the compose box; text the program puts there (a
    // quoted reply, the receipt list) is not limited.
    static constexpr int kComposeInputLimit = 350;
    // The most lines the receipt list keeps, newest first.
    static constexpr int kReceiptLinesKept = 500;
    // The count of characters left shows once no more than this many are left.
    static constexpr int kCountShownFrom = 50;
    // How long a sent message waits for its first receipt before the page says that none came
    // and puts the message back into the box.
    static constexpr int kReceiptWaitMs = 30000;

    ComposePage(Core& core, PageHost& host, QWidget* parent = nullptr);

    // Makes the person the recipient. `viaMenu` is true for the right click that opens the
    // person menu, false for a plain click on the name, which also shows this page (and so
    // makes its controls; the person menu leaves them to the first show).
    void selectRecipient(const QByteArray& address, const QByteArray& name, bool offLine,
                         bool viaMenu);
    // "Reply" on the Messages page: the sender of the shown message becomes the recipient and
    // `message` is quoted line by line as this box wraps it.
    void startReply(const ReplyTarget& target, const QString& message);
    // Both do nothing while the compose box holds only blanks and line breaks.
    void onSendClicked();
    void onSendToAllClicked();
    // Sends the compose box's lines as they are shown, after `prefix` ("M", or "m" + address
    // and separator).
    void sendComposedMessage(const QByteArray& prefix);
    void onEraseComposeClicked();
    void onPasteClicked();
    // Puts what the box holds (the off-line line left out) in the outbox for the recipient;
    // with nothing else in the box, empties it for the message to be typed.
    void onSendWhenBackClicked();
    // The keyboard focus in the compose box, so that typing goes to the message and never to a
    // button that a Space would press (the page shown, Reply).
    void focusComposeBox();
    // The user is writing: the compose box has the keyboard focus and holds text of theirs that
    // has not been sent (typed, pasted, a quoted reply or a message put back).
    bool holdsDraft() const;
    // How long a message waits for its first receipt (tests shorten it).
    void setReceiptWait(int ms) { receiptWait_.setInterval(ms); }
    // The compose box back in the window's base colour (every page change).
    void clearLime();

    // The recipient as the next "Send" addresses it: address and separator, or empty.
    const QByteArray& recipientAddress() const { return recipient_; }
    QByteArray recipientWithoutSeparator() const { return recipient_.left(recipient_.size() - 1); }
    // True while the compose box lists receipts (its lime background).
    bool receiptListShown() const;

Q_SIGNALS:
    // The focus came onto the page from elsewhere in the window.
    void entered();
    // A recipient chosen through the person menu: whether its "&Send Message" may be used.
    void sendMessageAllowed(bool allowed);

private:
    void build() override;
    // The chosen recipient in the controls; `blocked` for an off-line person clicked on.
    void showRecipient(bool blocked);
    void receiptArrived(const QByteArray& name, const QByteArray& source);
    // The receipt lines that waited, newest first, on top of the list (a new one on lime).
    void listHeldReceipts();
    // The count of the last message's receipts and, in its tooltip, who has not confirmed.
    void showTally();
    // No receipt within the wait: the note says so, and the message goes back into the box.
    void onReceiptWaitOver();
    // Nothing but blanks and line breaks: "Send" and "Send to All" do nothing then.
    bool composeBoxBlank() const;
    void setComposeLime(bool lime);
    void setComposeText(const QString& text);
    void limitComposeInput();
    void showCharactersLeft();
    int composeLength() const;

    // The text that tells why "Send" is off for the person.
    QString blockedText() const;

    Core& core_;
    PageHost& host_;
    MessageHistory& history_;
    QPlainTextEdit* composeBox_ = nullptr;
    QGroupBox* recipientGroup_ = nullptr;
    QPushButton* sendToAllButton_ = nullptr;
    QPushButton* sendButton_ = nullptr;
    QPushButton* sendWhenBackButton_ = nullptr;
    OutboxPanel* outboxPanel_ = nullptr;
    QLabel* receiptNote_ = nullptr;
    QLabel* tallyLine_ = nullptr;
    QLabel* charactersLeft_ = nullptr;
    QByteArray recipient_;
    QByteArray recipientName_;
    // Set while the program itself changes the compose box, which the input limit spares.
    bool programEdit_ = false;
    int composeLength_ = 0;
    // The box holds the user's own unsent text rather than a text of the program.
    bool draft_ = false;
    QTimer receiptWait_;
    QString unconfirmed_;      // the last message sent, as the box held it
    QByteArray unconfirmedTo_; // whom it went to; empty for everybody
    ReceiptTally tally_;
    // Receipt lines not listed yet because the box holds the user's text or does not exist
    // yet, newest first.
    QStringList heldReceipts_;
};

} // namespace velmora
