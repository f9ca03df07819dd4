#include "gui/messaging/MessagePages.h"

#include "gui/controls/TrayIcon.h"
#include "gui/messaging/MediaLibrary.h"
#include "core/messaging/MessageHistory.h"
#include "gui/messaging/NewMessageSound.h"
#include "core/net/AnsiText.h"
#include "core/net/UdpTransport.h"
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
QString EntryText(const QByteArray& entry) {
    return FromAnsi(entry).replace(Q("\r\n"), Q("\n"));
}

// Marks changes of the compose box as the program's own for as long as it lives.
class TProgramEdit {
public:
    explicit TProgramEdit(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~TProgramEdit() { flag_ = was_; }
    TProgramEdit(const TProgramEdit&) = delete;
    TProgramEdit& operator=(const TProgramEdit&) = delete;

private:
    bool& flag_;
    bool was_;
};

} // namespace

TMessagePages::TMessagePages(TForm1& form)
    : QObject(&form), form_(form), core_(form.Core()), history_(form.Core().History()),
      InMsgs_(form.Control<QPlainTextEdit>("InMsgs")),
      MsgOut_(form.Control<QPlainTextEdit>("MsgOut")), MsgTo_(form.Control<QGroupBox>("MsgTo")),
      SendMsg_(form.Control<QPushButton>("SendMsg")),
      Send1Msg_(form.Control<QPushButton>("Send1Msg")),
      Reply1_(form.Control<QPushButton>("Reply1")),
      mnSendMsg_(form.PopupMenu2().findChild<QAction*>(Q("mnSendMsg"))),
      composePage_(form.Page("Compose")), envelope_(Q(":/pictures/envelope.png")) {
    auto button = [&form](const char* name) { return form.Control<QPushButton>(name); };
    connect(SendMsg_, &QPushButton::clicked, this, &TMessagePages::SendMsgClick);
    connect(Send1Msg_, &QPushButton::clicked, this, &TMessagePages::Send1MsgClick);
    connect(button("ComposeClear1"), &QPushButton::clicked, this,
            &TMessagePages::ComposeClear1Click);
    connect(button("BitBtn1"), &QPushButton::clicked, this, &TMessagePages::BitBtn1Click);
    connect(button("MsgPrt1"), &QPushButton::clicked, this, &TMessagePages::MsgPrt1Click);
    connect(button("MsgPaste"), &QPushButton::clicked, this, &TMessagePages::MsgPasteClick);
    connect(button("ClearMsg"), &QPushButton::clicked, this, &TMessagePages::ClearMsgClick);
    connect(Reply1_, &QPushButton::clicked, this, &TMessagePages::Reply1Click);
    connect(button("BitBtn2"), &QPushButton::clicked, this, &TMessagePages::BitBtn2Click);
    connect(button("BitBtn3"), &QPushButton::clicked, this, &TMessagePages::BitBtn3Click);
    connect(form.Control<QCheckBox>("NewMsgSnd"), &QCheckBox::clicked, this,
            &TMessagePages::NewMsgSndClick);

    composeLength_ = ComposeLength();
    connect(MsgOut_, &QPlainTextEdit::textChanged, this, &TMessagePages::LimitComposeInput);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        // Focus moves within the window only; none at all means that the window lost it (to
        // another program) or that it is being taken apart.
        if (!now || now->window() != &form_ || !qobject_cast<TForm1*>(now->window())) return;
        if (old == InMsgs_ && now != InMsgs_) InMsgsExit();
        const bool wasIn = old && composePage_->isAncestorOf(old);
        if (now && composePage_->isAncestorOf(now) && !wasIn) ComposeEnter();
    });

    connect(&history_, &TMessageHistory::messageAccepted, this, &TMessagePages::MessageArrived);
    connect(&history_, &TMessageHistory::receiptAccepted, this, &TMessagePages::ReceiptArrived);
    connect(&history_, &TMessageHistory::historyLoaded, this, [this] {
        if (!history_.Entries().isEmpty()) ShowHistoryEntry();
        RefreshMessageView();
    });
}

TMessagePages::~TMessagePages() = default;

// ---------------------------------------------------------------------------------------------
// Compose page

void TMessagePages::SelectRecipient(const QByteArray& address, const QByteArray& name, bool offLine,
                                    bool viaMenu) {
    recipient_ = address + kSep;
    if (viaMenu && mnSendMsg_) mnSendMsg_->setEnabled(!offLine);
    Send1Msg_->setEnabled(true);
    MsgOut_->setReadOnly(false);
    SendMsg_->setEnabled(true);
    if (!viaMenu && offLine) {
        SetComposeText(Q("You can not send a message because ") + FromAnsi(name) +
                       Q(" is off-line."));
        Send1Msg_->setEnabled(false);
    } else {
        SetComposeText(QString());
    }
    // A group box caption would turn "&" into a shortcut; names are shown as they are.
    MsgTo_->setTitle(TForm1::MenuText("To " + name));
    if (!viaMenu && form_.PageControl1().TabShown(composePage_)) form_.SelectTab(composePage_);
}

void TMessagePages::Send1MsgClick() {
    SetComposeLime(false);
    SendComposedMessage("m" + recipient_);
}

void TMessagePages::SendMsgClick() {
    QMessageBox box(QMessageBox::Information, Q("Information"),
                    Q("Send the message to:\nall on-line programs?"),
                    QMessageBox::Ok | QMessageBox::Cancel, &form_);
    box.setTextFormat(Qt::PlainText);
    box.move(form_.frameGeometry().topLeft());
    form_.SetDialogOpen(true);
    const int answer = box.exec();
    form_.SetDialogOpen(false);
    if (answer != QMessageBox::Ok) return;
    SetComposeLime(false);
    SendComposedMessage("M");
}

void TMessagePages::SendComposedMessage(const QByteArray& prefix) {
    QList<QByteArray> lines;
    for (const QString& line : VisibleLines(MsgOut_))
        lines.append(ToAnsi(line));
    try {
        core_.SendDatagram(history_.ComposedDatagram(prefix, lines));
    } catch (const EUDPError& e) {
        form_.SetDialogOpen(true);
        QMessageBox::critical(&form_, form_.windowTitle(), QString::fromLocal8Bit(e.what()));
        form_.SetDialogOpen(false);
        return;
    }
    SetComposeText(Q("Waiting for confirmation of receipt."));
}

void TMessagePages::ComposeClear1Click() {
    SetComposeText(QString());
    SetComposeLime(false);
    MsgOut_->setFocus();
}

void TMessagePages::BitBtn1Click() {
    MsgOut_->setFocus();
    MsgOut_->paste(); // refused while read-only; the input limit applies
}

void TMessagePages::ComposeEnter() {
    form_.SetNameEdited(false);
}

QStringList TMessagePages::VisibleLines(QPlainTextEdit* box) {
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

bool TMessagePages::ReceiptListShown() const {
    return MsgOut_->palette().color(QPalette::Base) == kLime;
}

void TMessagePages::SetComposeLime(bool lime) {
    QPalette p = MsgOut_->palette();
    p.setColor(QPalette::Base, lime ? kLime : form_.palette().color(QPalette::Base));
    p.setColor(QPalette::Text, Qt::black);
    MsgOut_->setPalette(p);
}

void TMessagePages::SetComposeText(const QString& text) {
    const TProgramEdit own(programEdit_);
    MsgOut_->setPlainText(text);
}

int TMessagePages::ComposeLength() const {
    // Line breaks count as the two characters CR LF they are sent as.
    const QTextDocument* document = MsgOut_->document();
    return document->characterCount() - 1 + document->blockCount() - 1;
}

void TMessagePages::LimitComposeInput() {
    if (!programEdit_) {
        // What the user typed or pasted ends at the caret: take back what went over the limit
        // (or over a longer text the program put there).
        int excess = ComposeLength() - std::max(composeLength_, kComposeInputLimit);
        if (excess > 0) {
            const TProgramEdit own(programEdit_);
            QTextCursor cursor = MsgOut_->textCursor();
            cursor.clearSelection();
            while (excess > 0 && cursor.position() > 0) {
                excess -= cursor.atBlockStart() ? 2 : 1;
                cursor.deletePreviousChar();
            }
            MsgOut_->setTextCursor(cursor);
        }
    }
    composeLength_ = ComposeLength();
}

// ---------------------------------------------------------------------------------------------
// Messages page

void TMessagePages::MessageArrived(const QByteArray& source, const QByteArray& entry) {
    if (!SameAddress(source, core_.Own().address)) form_.SelectTab(form_.Page("msgs"));
    InMsgs_->setPlainText(EntryText(entry));
    RefreshMessageView();
    // Not remembered: the next page change or a button of this page puts the status back.
    form_.TrayIcon1().SetIcon(envelope_);
    form_.ShowVelmora1Click();
    if (core_.Options().msgSnd) PlayNewMessageSound();
}

void TMessagePages::ReceiptArrived(const QByteArray& name) {
    const TProgramEdit own(programEdit_);
    if (!ReceiptListShown()) MsgOut_->clear();
    QTextCursor cursor(MsgOut_->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(Q("Message received by: ") + FromAnsi(name) + QLatin1Char('\n'));
    SetComposeLime(true);
}

void TMessagePages::ShowHistoryEntry() {
    InMsgs_->setPlainText(EntryText(history_.Shown()));
}

void TMessagePages::RefreshMessageView() {
    history_.RefreshMessageView();
    Reply1_->setEnabled(history_.CanReply());
}

void TMessagePages::BitBtn2Click() {
    IconToNormal();
    history_.Previous();
    if (!history_.Entries().isEmpty()) ShowHistoryEntry();
    RefreshMessageView();
}

void TMessagePages::BitBtn3Click() {
    IconToNormal();
    history_.Next();
    if (!history_.Entries().isEmpty()) ShowHistoryEntry();
    RefreshMessageView();
}

void TMessagePages::ClearMsgClick() {
    IconToNormal();
    InMsgs_->clear();
    history_.Erase();
    if (!history_.Entries().isEmpty()) ShowHistoryEntry();
    RefreshMessageView();
}

void TMessagePages::MsgPasteClick() {
    IconToNormal();
    InMsgs_->setFocus();
    InMsgs_->selectAll();
    InMsgs_->copy();
    InMsgs_->moveCursor(QTextCursor::End);
}

void TMessagePages::MsgPrt1Click() {
    IconToNormal();
    Media().PrintWithDialog(&form_, VisibleLines(InMsgs_),
                            [this](bool open) { form_.SetDialogOpen(open); });
}

void TMessagePages::Reply1Click() {
    IconToNormal();
    if (history_.Position() >= history_.Entries().size()) return;
    const auto target = history_.ReplyTarget();
    if (!target) return; // Reply is disabled for such entries
    SetComposeLime(false);
    Send1Msg_->setEnabled(true);
    SendMsg_->setEnabled(true);
    MsgOut_->setReadOnly(false);
    recipient_ = target->address;
    MsgTo_->setTitle(TForm1::MenuText("Reply to " + target->name));

    // The inbox text goes into the compose box first, so that it is quoted line by line as
    // this box wraps it.
    SetComposeText(InMsgs_->toPlainText());
    QStringList quoted{QString(), Q("In reply to:")};
    for (const QString& line : VisibleLines(MsgOut_))
        quoted.append(Q("> ") + line);
    SetComposeText(quoted.join(QLatin1Char('\n')));

    form_.SelectTab(composePage_);
    MsgOut_->setFocus();
    // The caret ends where the last insertion left it, on "In reply to:", and goes one line up
    // to the empty first line, where the reply is typed.
    QTextCursor cursor(MsgOut_->document()->findBlockByNumber(1));
    MsgOut_->setTextCursor(cursor);
    MsgOut_->moveCursor(QTextCursor::Up);
}

void TMessagePages::InMsgsExit() {
    IconToNormal();
}

void TMessagePages::NewMsgSndClick() {
    if (form_.Control<QCheckBox>("NewMsgSnd")->isChecked()) QApplication::beep();
}

void TMessagePages::IconToNormal() {
    form_.TrayIcon1().SetIcon(form_.RememberedStatusPicture());
}

void TMessagePages::PlayNewMessageSound() {
    if (playSound_) {
        playSound_();
        return;
    }
    if (!sound_) sound_ = std::make_unique<TNewMessageSound>(Media());
    sound_->Play();
}

TMediaLibrary& TMessagePages::Media() {
    if (!media_) media_ = std::make_unique<TMediaLibrary>();
    return *media_;
}

} // namespace velmora
