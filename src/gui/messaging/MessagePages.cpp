#include "gui/messaging/MessagePages.h"

#include "core/messaging/MessageHistory.h"
#include "core/net/AnsiText.h"
#include "core/net/UdpTransport.h"
#include "gui/controls/TrayIcon.h"
#include "gui/messaging/MediaLibrary.h"
#include "gui/messaging/NewMessageSound.h"
#include "gui/window/MainWindow.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextLayout>

namespace velmora {

namespace {

const QColor kLime(0, 255, 0);

QString Q(const char* text) {
    return QString::fromLatin1(text);
}

// A message entry as the inbox shows it: its CR LF pairs become the box's line breaks.
QString entryText(const QByteArray& entry) {
    return fromAnsi(entry).replace(Q("\r\n"), Q("\n"));
}

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

MessagePages::MessagePages(MainWindow& form)
    : QObject(&form), form_(form), core_(form.core()), history_(form.core().history()),
      messageBox_(form.control<QPlainTextEdit>("messageBox")),
      composeBox_(form.control<QPlainTextEdit>("composeBox")),
      recipientGroup_(form.control<QGroupBox>("recipientGroup")),
      sendToAllButton_(form.control<QPushButton>("sendToAllButton")),
      sendButton_(form.control<QPushButton>("sendButton")),
      replyButton_(form.control<QPushButton>("replyButton")),
      sendMessageAction_(form.personMenu().findChild<QAction*>(Q("sendMessageAction"))),
      composePage_(form.page("composePage")), envelope_(Q(":/pictures/envelope.png")) {
    auto button = [&form](const char* name) { return form.control<QPushButton>(name); };
    connect(sendToAllButton_, &QPushButton::clicked, this, &MessagePages::onSendToAllClicked);
    connect(sendButton_, &QPushButton::clicked, this, &MessagePages::onSendClicked);
    connect(button("eraseComposeButton"), &QPushButton::clicked, this,
            &MessagePages::onEraseComposeClicked);
    connect(button("pasteButton"), &QPushButton::clicked, this, &MessagePages::onPasteClicked);
    connect(button("printButton"), &QPushButton::clicked, this, &MessagePages::onPrintClicked);
    connect(button("copyButton"), &QPushButton::clicked, this, &MessagePages::onCopyMessageClicked);
    connect(button("eraseMessageButton"), &QPushButton::clicked, this,
            &MessagePages::onEraseMessageClicked);
    connect(replyButton_, &QPushButton::clicked, this, &MessagePages::onReplyClicked);
    connect(button("previousButton"), &QPushButton::clicked, this,
            &MessagePages::onPreviousClicked);
    connect(button("nextButton"), &QPushButton::clicked, this, &MessagePages::onNextClicked);
    connect(form.control<QCheckBox>("newMessageSoundBox"), &QCheckBox::clicked, this,
            &MessagePages::onNewMessageSoundClicked);

    composeLength_ = composeLength();
    connect(composeBox_, &QPlainTextEdit::textChanged, this, &MessagePages::limitComposeInput);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        // Focus moves within the window only; none at all means that the window lost it (to
        // another program) or that it is being taken apart.
        if (!now || now->window() != &form_ || !qobject_cast<MainWindow*>(now->window())) return;
        if (old == messageBox_ && now != messageBox_) onMessageBoxLeft();
        const bool wasIn = old && composePage_->isAncestorOf(old);
        if (now && composePage_->isAncestorOf(now) && !wasIn) onComposeEntered();
    });

    connect(&history_, &MessageHistory::messageAccepted, this, &MessagePages::messageArrived);
    connect(&history_, &MessageHistory::receiptAccepted, this, &MessagePages::receiptArrived);
    connect(&history_, &MessageHistory::historyLoaded, this, [this] {
        if (!history_.entries().isEmpty()) showHistoryEntry();
        refreshMessageView();
    });
}

MessagePages::~MessagePages() = default;

// ---------------------------------------------------------------------------------------------
// Compose page

void MessagePages::selectRecipient(const QByteArray& address, const QByteArray& name, bool offLine,
                                   bool viaMenu) {
    recipient_ = address + kSep;
    if (viaMenu && sendMessageAction_) sendMessageAction_->setEnabled(!offLine);
    sendButton_->setEnabled(true);
    composeBox_->setReadOnly(false);
    sendToAllButton_->setEnabled(true);
    if (!viaMenu && offLine) {
        setComposeText(Q("You can not send a message because ") + fromAnsi(name) +
                       Q(" is off-line."));
        sendButton_->setEnabled(false);
    } else {
        setComposeText(QString());
    }
    // A group box caption would turn "&" into a shortcut; names are shown as they are.
    recipientGroup_->setTitle(MainWindow::menuText("To " + name));
    if (!viaMenu && form_.pages().tabShown(composePage_)) form_.showPage(composePage_);
}

void MessagePages::onSendClicked() {
    setComposeLime(false);
    sendComposedMessage("m" + recipient_);
}

void MessagePages::onSendToAllClicked() {
    QMessageBox box(QMessageBox::Information, Q("Information"),
                    Q("Send the message to:\nall on-line programs?"),
                    QMessageBox::Ok | QMessageBox::Cancel, &form_);
    box.setTextFormat(Qt::PlainText);
    box.move(form_.frameGeometry().topLeft());
    form_.setDialogOpen(true);
    const int answer = box.exec();
    form_.setDialogOpen(false);
    if (answer != QMessageBox::Ok) return;
    setComposeLime(false);
    sendComposedMessage("M");
}

void MessagePages::sendComposedMessage(const QByteArray& prefix) {
    QList<QByteArray> lines;
    for (const QString& line : visibleLines(composeBox_))
        lines.append(toAnsi(line));
    try {
        core_.sendDatagram(history_.composedDatagram(prefix, lines));
    } catch (const UdpError& e) {
        form_.setDialogOpen(true);
        QMessageBox::critical(&form_, form_.windowTitle(), QString::fromLocal8Bit(e.what()));
        form_.setDialogOpen(false);
        return;
    }
    setComposeText(Q("Waiting for confirmation of receipt."));
}

void MessagePages::onEraseComposeClicked() {
    setComposeText(QString());
    setComposeLime(false);
    composeBox_->setFocus();
}

void MessagePages::onPasteClicked() {
    composeBox_->setFocus();
    composeBox_->paste(); // refused while read-only; the input limit applies
}

void MessagePages::onComposeEntered() {
    form_.setNameEdited(false);
}

QStringList MessagePages::visibleLines(QPlainTextEdit* box) {
    QTextDocument* document = box->document();
    QStringList lines;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        // Lays the block out at the box's width if it has not been yet.
        document->documentLayout()->blockBoundingRect(block);
        const QString text = block.text();
        const QTextLayout* layout = block.layout();
        if (!layout || layout->lineCount() == 0) {
            lines.append(text);
            continue;
        }
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            lines.append(text.mid(line.textStart(), line.textLength()));
        }
    }
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

bool MessagePages::receiptListShown() const {
    return composeBox_->palette().color(QPalette::Base) == kLime;
}

void MessagePages::setComposeLime(bool lime) {
    QPalette p = composeBox_->palette();
    p.setColor(QPalette::Base, lime ? kLime : form_.palette().color(QPalette::Base));
    p.setColor(QPalette::Text, Qt::black);
    composeBox_->setPalette(p);
}

void MessagePages::setComposeText(const QString& text) {
    const ProgramEdit own(programEdit_);
    composeBox_->setPlainText(text);
}

int MessagePages::composeLength() const {
    // Line breaks count as the two characters CR LF they are sent as.
    const QTextDocument* document = composeBox_->document();
    return document->characterCount() - 1 + document->blockCount() - 1;
}

void MessagePages::limitComposeInput() {
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
    }
    composeLength_ = composeLength();
}

// ---------------------------------------------------------------------------------------------
// Messages page

void MessagePages::messageArrived(const QByteArray& source, const QByteArray& entry) {
    if (!sameAddress(source, core_.own().address)) form_.showPage(form_.page("messagesPage"));
    messageBox_->setPlainText(entryText(entry));
    refreshMessageView();
    // Not remembered: the next page change or a button of this page puts the status back.
    form_.trayIcon().setIcon(envelope_);
    form_.bringIntoView();
    if (core_.options().newMessageSound) playNewMessageSound();
}

void MessagePages::receiptArrived(const QByteArray& name) {
    const ProgramEdit own(programEdit_);
    if (!receiptListShown()) composeBox_->clear();
    QTextCursor cursor(composeBox_->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(Q("Message received by: ") + fromAnsi(name) + QLatin1Char('\n'));
    setComposeLime(true);
}

void MessagePages::showHistoryEntry() {
    messageBox_->setPlainText(entryText(history_.shown()));
}

void MessagePages::refreshMessageView() {
    history_.refreshMessageView();
    replyButton_->setEnabled(history_.canReply());
}

void MessagePages::onPreviousClicked() {
    iconToNormal();
    history_.previous();
    if (!history_.entries().isEmpty()) showHistoryEntry();
    refreshMessageView();
}

void MessagePages::onNextClicked() {
    iconToNormal();
    history_.next();
    if (!history_.entries().isEmpty()) showHistoryEntry();
    refreshMessageView();
}

void MessagePages::onEraseMessageClicked() {
    iconToNormal();
    messageBox_->clear();
    history_.erase();
    if (!history_.entries().isEmpty()) showHistoryEntry();
    refreshMessageView();
}

void MessagePages::onCopyMessageClicked() {
    iconToNormal();
    messageBox_->setFocus();
    messageBox_->selectAll();
    messageBox_->copy();
    messageBox_->moveCursor(QTextCursor::End);
}

void MessagePages::onPrintClicked() {
    iconToNormal();
    media().printWithDialog(&form_, visibleLines(messageBox_),
                            [this](bool open) { form_.setDialogOpen(open); });
}

void MessagePages::onReplyClicked() {
    iconToNormal();
    if (history_.position() >= history_.entries().size()) return;
    const auto target = history_.replyTarget();
    if (!target) return; // Reply is disabled for such entries
    setComposeLime(false);
    sendButton_->setEnabled(true);
    sendToAllButton_->setEnabled(true);
    composeBox_->setReadOnly(false);
    recipient_ = target->address;
    recipientGroup_->setTitle(MainWindow::menuText("Reply to " + target->name));

    // The inbox text goes into the compose box first, so that it is quoted line by line as
    // this box wraps it.
    setComposeText(messageBox_->toPlainText());
    QStringList quoted{QString(), Q("In reply to:")};
    for (const QString& line : visibleLines(composeBox_))
        quoted.append(Q("> ") + line);
    setComposeText(quoted.join(QLatin1Char('\n')));

    form_.showPage(composePage_);
    composeBox_->setFocus();
    // The caret ends where the last insertion left it, on "In reply to:", and goes one line up
    // to the empty first line, where the reply is typed.
    QTextCursor cursor(composeBox_->document()->findBlockByNumber(1));
    composeBox_->setTextCursor(cursor);
    composeBox_->moveCursor(QTextCursor::Up);
}

void MessagePages::onMessageBoxLeft() {
    iconToNormal();
}

void MessagePages::onNewMessageSoundClicked() {
    if (form_.control<QCheckBox>("newMessageSoundBox")->isChecked()) QApplication::beep();
}

void MessagePages::iconToNormal() {
    form_.trayIcon().setIcon(form_.rememberedStatusPicture());
}

void MessagePages::playNewMessageSound() {
    if (playSound_) {
        playSound_();
        return;
    }
    if (!sound_) sound_ = std::make_unique<NewMessageSound>(media());
    sound_->play();
}

MediaLibrary& MessagePages::media() {
    if (!media_) media_ = std::make_unique<MediaLibrary>();
    return *media_;
}

} // namespace velmora
