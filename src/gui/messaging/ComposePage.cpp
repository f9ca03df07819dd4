#include "gui/messaging/ComposePage.h"

#include "core/Core.h"
#include "core/messaging/MessageHistory.h"
#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"
#include "core/presence/Roster.h"
#include "gui/controls/WidgetKit.h"
#include "gui/messaging/OutboxPanel.h"
#include "gui/messaging/VisibleLines.h"
#include "gui/window/PageHost.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>
#include <mutex>

namespace velmora {

namespace {

const QColor kLime(0, 255, 0);
const char* const kWaiting = "Waiting for confirmation of receipt.";
// How to choose a recipient, shown in the empty box until one is chosen.
const char* const kInstructions =
    "Before you send a message, select the Status page and click on the "
    "name of the person to whom the message will be sent. You will "
    "automatically return to this page.  After typing a message, click on the "
    "Send button.";

// Marks changes of the compose box as the program's own for as long as it lives.
class ProgramEdit {
public:
    explicit ProgramEdit(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~ProgramEdit() { flag_ = was_; }
    ProgramEdit(const ProgramEdit&) = delete;
    ProgramEdit& operator=(const ProgramEdit&) = delete;

private:
    bool& flag_;
    bool was_;
};

} // namespace

ComposePage::ComposePage(Core& core, PageHost& host, QWidget* parent)
    : BuiltWhenShown(parent), core_(core), host_(host), history_(core.history()) {
    setObjectName(latin1("composePage"));
    // The outbox's news come while the page is unseen: the panel follows them from the start
    // and joins the page's controls when they are made.
    outboxPanel_ = new OutboxPanel(core, this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        // Focus moves within the window only; none at all means that the window lost it (to
        // another program).
        if (!now || now->window() != window()) return;
        const bool wasIn = old && isAncestorOf(old);
        if (isAncestorOf(now) && !wasIn) Q_EMIT entered();
    });
    connect(&history_, &MessageHistory::receiptAccepted, this, &ComposePage::receiptArrived);
    receiptWait_.setSingleShot(true);
    receiptWait_.setInterval(kReceiptWaitMs);
    connect(&receiptWait_, &QTimer::timeout, this, &ComposePage::onReceiptWaitOver);
}

void ComposePage::build() {
    auto* outer = columnLayout(this);
    // Until a name is chosen, whatever is written goes to everybody with "Send to All".
    recipientGroup_ = named(new QGroupBox(latin1("To everybody")), "recipientGroup");
    outer->addWidget(recipientGroup_);
    auto* l = columnLayout(recipientGroup_);
    // Shown from the first message sent on; names from the network are shown as they are.
    tallyLine_ = named(new QLabel, "receiptTally");
    tallyLine_->setTextFormat(Qt::PlainText);
    tallyLine_->hide();
    l->addWidget(tallyLine_);
    composeBox_ = named(new QPlainTextEdit, "composeBox");
    composeBox_->setPlaceholderText(latin1(kInstructions));
    composeBox_->setTabChangesFocus(true); // Tab goes on to the buttons
    l->addWidget(composeBox_, 1);
    // One line under the box, always there so that nothing moves when it says something.
    auto* notes = rowLayout();
    receiptNote_ = named(new QLabel, "receiptNote");
    charactersLeft_ = named(new QLabel, "charactersLeft");
    for (QLabel* label : {receiptNote_, charactersLeft_}) {
        label->setTextFormat(Qt::PlainText); // a name from the network is shown as it is
        label->setFixedHeight(label->fontMetrics().height());
    }
    notes->addWidget(receiptNote_, 1);
    notes->addWidget(charactersLeft_);
    l->addLayout(notes);
    auto* row = rowLayout();
    sendToAllButton_ = pushButton("sendToAllButton", "Send to All");
    row->addWidget(sendToAllButton_);
    sendButton_ = pushButton("sendButton", "Send");
    sendButton_->setEnabled(false);
    row->addWidget(sendButton_);
    QPushButton* erase = pushButton("eraseComposeButton", "Erase");
    row->addWidget(erase);
    QPushButton* paste = pushButton("pasteButton", "Paste");
    row->addWidget(paste);
    l->addLayout(row);
    // Shown beside the off-line line only, on a row of its own: it names the person.
    sendWhenBackButton_ = pushButton("sendWhenBackButton", "Send when back");
    sendWhenBackButton_->hide();
    l->addWidget(sendWhenBackButton_, 0, Qt::AlignLeft);
    l->addWidget(outboxPanel_);
    keepTabOrder(sendWhenBackButton_, outboxPanel_);

    connect(sendToAllButton_, &QPushButton::clicked, this, &ComposePage::onSendToAllClicked);
    connect(sendButton_, &QPushButton::clicked, this, &ComposePage::onSendClicked);
    connect(erase, &QPushButton::clicked, this, &ComposePage::onEraseComposeClicked);
    connect(paste, &QPushButton::clicked, this, &ComposePage::onPasteClicked);
    connect(sendWhenBackButton_, &QPushButton::clicked, this, &ComposePage::onSendWhenBackClicked);

    composeLength_ = composeLength();
    connect(composeBox_, &QPlainTextEdit::textChanged, this, &ComposePage::limitComposeInput);

    // What came before the page was first shown.
    if (!recipient_.isEmpty()) showRecipient(false);
    if (!heldReceipts_.isEmpty()) listHeldReceipts();
}

void ComposePage::selectRecipient(const QByteArray& address, const QByteArray& name, bool offLine,
                                  bool viaMenu) {
    if (!viaMenu) buildNow();
    recipient_ = address + kSep;
    recipientName_ = name;
    if (viaMenu) Q_EMIT sendMessageAllowed(!offLine);
    if (composeBox_)
        showRecipient(!viaMenu && offLine);
    else
        heldReceipts_.clear(); // a new recipient starts with an empty box
    if (!viaMenu && host_.isTabShown(PageId::Compose)) host_.showPage(PageId::Compose);
}

void ComposePage::showRecipient(bool blocked) {
    sendButton_->setEnabled(!blocked);
    composeBox_->setPlaceholderText(QString());
    sendToAllButton_->setEnabled(true);
    if (blocked) {
        setComposeText(blockedText());
        // A long name is cut in the caption; "&" in it stays a character.
        const QString shown =
            fontMetrics().elidedText(fromAnsi(recipientName_), Qt::ElideRight, 200);
        sendWhenBackButton_->setText(latin1("Send when ") +
                                     QString(shown).replace(QLatin1Char('&'), latin1("&&")) +
                                     latin1(" is back"));
    } else {
        setComposeText(QString());
    }
    sendWhenBackButton_->setVisible(blocked);
    // A group box caption would turn "&" into a shortcut; names are shown as they are.
    recipientGroup_->setTitle(menuText("To " + recipientName_));
}

void ComposePage::startReply(const ReplyTarget& target, const QString& message) {
    buildNow();
    setComposeLime(false);
    sendButton_->setEnabled(true);
    sendToAllButton_->setEnabled(true);
    sendWhenBackButton_->hide();
    composeBox_->setPlaceholderText(QString());
    recipient_ = target.address;
    recipientName_ = target.name;
    recipientGroup_->setTitle(menuText("Reply to " + target.name));

    // The message goes into the compose box first, so that it is quoted line by line as this
    // box wraps it.
    setComposeText(message);
    QStringList quoted{QString(), latin1("In reply to:")};
    for (const QString& line : visibleLines(composeBox_))
        quoted.append(latin1("> ") + line);
    setComposeText(quoted.join(QLatin1Char('\n')));
    draft_ = true;
    showCharactersLeft();

    host_.showPage(PageId::Compose);
    composeBox_->setFocus();
    // The caret ends where the last insertion left it, on "In reply to:", and goes one line up
    // to the empty first line, where the reply is typed.
    QTextCursor cursor(composeBox_->document()->findBlockByNumber(1));
    composeBox_->setTextCursor(cursor);
    composeBox_->moveCursor(QTextCursor::Up);
}

bool ComposePage::composeBoxBlank() const {
    for (const QChar c : composeBox_->toPlainText())
        if (!c.isSpace()) return false;
    return true;
}

void ComposePage::focusComposeBox() {
    buildNow();
    composeBox_->setFocus();
}

bool ComposePage::holdsDraft() const {
    return draft_ && composeBox_ && composeBox_->hasFocus() && !composeBoxBlank();
}

void ComposePage::onSendClicked() {
    if (composeBoxBlank()) return;
    setComposeLime(false);
    sendComposedMessage(toWire(datagram::Kind::AddressedMessage) + recipient_);
}

void ComposePage::onSendToAllClicked() {
    if (composeBoxBlank()) return;
    QMessageBox box(QMessageBox::Information, latin1("Information"),
                    latin1("Send the message to:\nall on-line programs?"),
                    QMessageBox::Ok | QMessageBox::Cancel, host_.dialogParent());
    box.setTextFormat(Qt::PlainText);
    box.move(window()->frameGeometry().topLeft());
    host_.setDialogOpen(true);
    const int answer = box.exec();
    host_.setDialogOpen(false);
    // Back to the message, whichever the answer: the user goes on writing, not on buttons.
    focusComposeBox();
    if (answer != QMessageBox::Ok) return;
    setComposeLime(false);
    sendComposedMessage(QByteArray(1, toWire(datagram::Kind::MessageToAll)));
}

void ComposePage::sendComposedMessage(const QByteArray& prefix) {
    QList<QByteArray> lines;
    for (const QString& line : visibleLines(composeBox_))
        lines.append(toAnsi(line));
    if (!host_.reportSend(history_.sendMessage(prefix, lines))) return;
    unconfirmed_ = composeBox_->toPlainText();
    const bool toAll = prefix.startsWith(toWire(datagram::Kind::MessageToAll));
    unconfirmedTo_ = toAll ? QByteArray() : recipientName_;
    if (toAll) {
        const Roster& roster = core_.roster();
        const std::lock_guard lock(roster.lock());
        tally_.startToAll(roster.entries(), core_.own().address);
    } else {
        tally_.startToOne(recipientWithoutSeparator(), recipientName_);
    }
    // Lines that waited belong to an earlier message.
    heldReceipts_.clear();
    showTally();
    receiptNote_->clear();
    receiptWait_.start();
    setComposeText(latin1(kWaiting));
}

QString ComposePage::blockedText() const {
    return latin1("You can not send a message because ") + fromAnsi(recipientName_) +
           latin1(" is off-line.");
}

void ComposePage::onSendWhenBackClicked() {
    QString text = composeBox_->toPlainText();
    if (text.startsWith(blockedText())) text.remove(0, blockedText().size());
    while (text.startsWith(QLatin1Char('\n')))
        text.remove(0, 1);
    if (text.trimmed().isEmpty()) {
        setComposeText(QString());
        outboxPanel_->setNotice(latin1("Type the message, then click \"Send when ") +
                                fromAnsi(recipientName_) + latin1(" is back\"."));
        composeBox_->setFocus();
        return;
    }
    // The box wraps the text as it is sent: put back without the off-line line first.
    setComposeText(text);
    QList<QByteArray> lines;
    for (const QString& line : visibleLines(composeBox_))
        lines.append(toAnsi(line));
    Outbox& outbox = core_.outbox();
    const qsizetype waitingBefore = outbox.waiting().size();
    if (!outbox.add(recipientWithoutSeparator(), recipientName_, messageBody(lines))) {
        outboxPanel_->setNotice(latin1("The outbox is full: cancel a waiting message first."));
        draft_ = true;
        return;
    }
    setComposeText(QString());
    // Back meanwhile, the person has it already, and the notice says so.
    if (outbox.waiting().size() > waitingBefore)
        outboxPanel_->setNotice(latin1("The message waits on this computer until ") +
                                fromAnsi(recipientName_) + latin1(" is back."));
    composeBox_->setFocus();
}

void ComposePage::onReceiptWaitOver() {
    receiptNote_->setText(latin1("No receipt yet from ") + (unconfirmedTo_.isEmpty()
                                                                ? latin1("anybody")
                                                                : fromAnsi(unconfirmedTo_)));
    // The message takes the place of the waiting line, wherever the box still starts with it;
    // what was typed after it stays, and so does the caret of a user still typing. A box the
    // user has moved on with is left alone.
    if (!composeBox_->toPlainText().startsWith(latin1(kWaiting))) return;
    const ProgramEdit own(programEdit_);
    QTextCursor waiting(composeBox_->document());
    waiting.setPosition(int(qstrlen(kWaiting)), QTextCursor::KeepAnchor);
    waiting.insertText(unconfirmed_);
    draft_ = true;
    showCharactersLeft();
}

void ComposePage::onEraseComposeClicked() {
    setComposeText(QString());
    setComposeLime(false);
    if (!heldReceipts_.isEmpty()) listHeldReceipts();
    composeBox_->setFocus();
}

void ComposePage::onPasteClicked() {
    composeBox_->setFocus();
    composeBox_->paste(); // refused while read-only; the input limit applies
}

void ComposePage::clearLime() {
    if (composeBox_) setBackground(composeBox_, palette().color(QPalette::Base));
}

bool ComposePage::receiptListShown() const {
    return composeBox_ && composeBox_->palette().color(QPalette::Base) == kLime;
}

void ComposePage::receiptArrived(const QByteArray& name, const QByteArray& source) {
    // A receipt ends the wait, a late one included.
    receiptWait_.stop();
    if (tally_.confirm(source)) showTally();
    heldReceipts_.prepend(latin1("Message received by: ") + fromAnsi(name));
    if (heldReceipts_.size() > kReceiptLinesKept) heldReceipts_.removeLast();
    // Before the page is first shown the lines wait for its box.
    if (!composeBox_) return;
    receiptNote_->clear();
    // What the user typed stays as it is; the line waits until the box is erased.
    if (draft_ && !composeBoxBlank()) return;
    listHeldReceipts();
}

void ComposePage::listHeldReceipts() {
    const ProgramEdit own(programEdit_);
    draft_ = false;
    if (!receiptListShown()) composeBox_->clear();
    QTextCursor cursor(composeBox_->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(heldReceipts_.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    heldReceipts_.clear();
    // The oldest lines go; the empty block after the last line break stays.
    const QTextDocument* document = composeBox_->document();
    if (document->blockCount() > kReceiptLinesKept + 1) {
        cursor.setPosition(document->findBlockByNumber(kReceiptLinesKept).position());
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    setComposeLime(true);
}

void ComposePage::showTally() {
    tallyLine_->setText(tally_.summary());
    const QString waitingFor = tally_.unconfirmedNames();
    const QString names =
        waitingFor.isEmpty() ? QString() : latin1("Not confirmed yet: ") + waitingFor;
    // A tooltip that looks like markup would be shown as markup: names are shown as typed.
    tallyLine_->setToolTip(Qt::mightBeRichText(names)
                               ? latin1("<p>") + names.toHtmlEscaped() + latin1("</p>")
                               : names);
    tallyLine_->setAccessibleDescription(names);
    tallyLine_->setVisible(tally_.started());
}

void ComposePage::setComposeLime(bool lime) {
    QPalette p = composeBox_->palette();
    p.setColor(QPalette::Base, lime ? kLime : window()->palette().color(QPalette::Base));
    p.setColor(QPalette::Text, Qt::black);
    composeBox_->setPalette(p);
}

void ComposePage::setComposeText(const QString& text) {
    const ProgramEdit own(programEdit_);
    draft_ = false;
    composeBox_->setPlainText(text);
}

int ComposePage::composeLength() const {
    // Line breaks count as the two characters CR LF they are sent as.
    const QTextDocument* document = composeBox_->document();
    return document->characterCount() - 1 + document->blockCount() - 1;
}

void ComposePage::limitComposeInput() {
    if (!programEdit_) {
        // What the user typed or pasted ends at the caret: take back what went over the limit
        // (or over a longer text the program put there).
        int excess = composeLength() - std::max(composeLength_, kComposeInputLimit);
        if (excess > 0) {
            const ProgramEdit own(programEdit_);
            QTextCursor cursor = composeBox_->textCursor();
            cursor.clearSelection();
            while (excess > 0 && cursor.position() > 0) {
                excess -= cursor.atBlockStart() ? 2 : 1;
                cursor.deletePreviousChar();
            }
            composeBox_->setTextCursor(cursor);
        }
        draft_ = true;
    }
    composeLength_ = composeLength();
    showCharactersLeft();
}

void ComposePage::showCharactersLeft() {
    // Only the user's own text counts down, and only once the limit is near.
    const int left = std::max(0, kComposeInputLimit - composeLength_);
    QString text;
    if (draft_ && left <= kCountShownFrom)
        text = left == 1 ? latin1("1 character left") : latin1("%1 characters left").arg(left);
    charactersLeft_->setText(text);
}

} // namespace velmora
