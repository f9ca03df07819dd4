#include "gui/messaging/MessagesPage.h"

#include "core/Core.h"
#include "core/net/AnsiText.h"
#include "gui/controls/WidgetKit.h"
#include "gui/messaging/MediaLibrary.h"
#include "gui/messaging/NewMessageSound.h"
#include "gui/messaging/VisibleLines.h"
#include "gui/window/PageHost.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

// A message entry as the inbox shows it: its CR LF pairs become the box's line breaks.
QString entryText(const QByteArray& entry) {
    return fromAnsi(entry).replace(latin1("\r\n"), latin1("\n"));
}

} // namespace

MessagesPage::MessagesPage(Core& core, PageHost& host, QWidget* parent)
    : QWidget(parent), core_(core), host_(host), history_(core.history()),
      envelope_(picture("envelope")) {
    setObjectName(latin1("messagesPage"));
    auto* outer = columnLayout(this);
    auto* group = new QGroupBox(latin1("Message"));
    outer->addWidget(group);
    auto* l = columnLayout(group);
    messageBox_ = named(new QPlainTextEdit, "messageBox");
    messageBox_->setReadOnly(true);
    messageBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    messageBox_->setFocusPolicy(Qt::ClickFocus);
    l->addWidget(messageBox_, 1);
    auto* row = rowLayout();
    struct Button {
        const char* name;
        const char* caption;
        void (MessagesPage::*handler)();
    };
    const Button buttons[] = {{"printButton", "Print", &MessagesPage::onPrintClicked},
                              {"copyButton", "Copy", &MessagesPage::onCopyMessageClicked},
                              {"eraseMessageButton", "Erase", &MessagesPage::onEraseMessageClicked},
                              {"replyButton", "Reply", &MessagesPage::onReplyClicked},
                              {"previousButton", "Previous", &MessagesPage::onPreviousClicked},
                              {"nextButton", "Next", &MessagesPage::onNextClicked}};
    for (const Button& button : buttons) {
        QPushButton* b = pushButton(button.name, button.caption);
        row->addWidget(b);
        connect(b, &QPushButton::clicked, this, button.handler);
        if (button.handler == &MessagesPage::onReplyClicked) replyButton_ = b;
    }
    replyButton_->setEnabled(false); // nothing to reply to yet
    l->addLayout(row);
    // The page's own choice of focus when it comes into view with it (the tab set asks).
    setFocusProxy(messageBox_);

    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        // Focus moves within the window only; none at all means that the window lost it (to
        // another program).
        if (!now || now->window() != window()) return;
        if (old == messageBox_ && now != messageBox_) onMessageBoxLeft();
    });
    connect(&history_, &MessageHistory::messageAccepted, this, &MessagesPage::messageArrived);
    connect(&history_, &MessageHistory::historyLoaded, this, [this] {
        if (!history_.entries().isEmpty()) showHistoryEntry();
        refreshMessageView();
    });
}

MessagesPage::~MessagesPage() = default;

void MessagesPage::messageArrived(const QByteArray& source, const QByteArray& entry) {
    const bool writing = userWriting_ && userWriting_();
    if (!sameAddress(source, core_.own().address) && !writing) {
        host_.showPage(PageId::Messages);
        // The message text, not the first button, takes the keys: a Space typed on would
        // otherwise press that button.
        messageBox_->setFocus();
    }
    messageBox_->setPlainText(entryText(entry));
    refreshMessageView();
    // Not remembered: the next page change or a button of this page puts the status back.
    host_.showTrayPicture(envelope_);
    host_.bringIntoView();
    if (core_.options().newMessageSound) playNewMessageSound();
}

bool MessagesPage::showEntry(const QByteArray& entry) {
    const bool kept = history_.showEntry(entry);
    if (kept) showHistoryEntry();
    refreshMessageView();
    return kept;
}

void MessagesPage::showHistoryEntry() {
    messageBox_->setPlainText(entryText(history_.shown()));
}

void MessagesPage::refreshMessageView() {
    history_.refreshMessageView();
    replyButton_->setEnabled(history_.canReply());
}

void MessagesPage::onPreviousClicked() {
    iconToNormal();
    history_.previous();
    if (!history_.entries().isEmpty()) showHistoryEntry();
    refreshMessageView();
}

void MessagesPage::onNextClicked() {
    iconToNormal();
    history_.next();
    if (!history_.entries().isEmpty()) showHistoryEntry();
    refreshMessageView();
}

void MessagesPage::onEraseMessageClicked() {
    iconToNormal();
    messageBox_->clear();
    history_.erase();
    if (!history_.entries().isEmpty()) showHistoryEntry();
    refreshMessageView();
}

void MessagesPage::onCopyMessageClicked() {
    iconToNormal();
    messageBox_->setFocus();
    messageBox_->selectAll();
    messageBox_->copy();
    messageBox_->moveCursor(QTextCursor::End);
}

void MessagesPage::onPrintClicked() {
    iconToNormal();
    media().printWithDialog(host_.dialogParent(), visibleLines(messageBox_),
                            [this](bool open) { host_.setDialogOpen(open); });
}

void MessagesPage::onReplyClicked() {
    iconToNormal();
    if (history_.position() >= history_.entries().size()) return;
    const auto target = history_.replyTarget();
    if (!target) return; // Reply is disabled for such entries
    Q_EMIT replyRequested(*target, messageBox_->toPlainText());
}

void MessagesPage::onMessageBoxLeft() {
    iconToNormal();
}

void MessagesPage::iconToNormal() {
    host_.restoreTrayPicture();
}

void MessagesPage::playNewMessageSound() {
    if (playSound_) {
        playSound_();
        return;
    }
    if (!sound_) sound_ = std::make_unique<NewMessageSound>(media());
    sound_->play();
}

MediaLibrary& MessagesPage::media() {
    if (!media_) media_ = std::make_unique<MediaLibrary>();
    return *media_;
}

} // namespace velmora
