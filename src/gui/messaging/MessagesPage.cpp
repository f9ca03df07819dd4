#include "gui/messaging/MessagesPage.h"

#include "core/Core.h"
#include "core/messaging/MessageSearch.h"
#include "core/net/AnsiText.h"
#include "gui/controls/WidgetKit.h"
#include "gui/messaging/MediaLibrary.h"
#include "gui/messaging/NewMessageSound.h"
#include "gui/messaging/VisibleLines.h"
#include "gui/window/PageHost.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>

namespace velmora {

namespace {

// A message entry as the inbox shows it: its CR LF pairs become the box's line breaks.
QString entryText(const QByteArray& entry) {
    return fromAnsi(entry).replace(latin1("\r\n"), latin1("\n"));
}

} // namespace

// The found messages, newest first: sender, arrival and first line, each plain text. Nothing
// found is one row that says so and cannot be chosen.
class FoundMessages : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setEntries(QList<QByteArray> entries) {
        beginResetModel();
        entries_ = std::move(entries);
        endResetModel();
    }
    // The entry shown in `row`, or none.
    QByteArray entry(int row) const { return entries_.value(row); }
    bool nothingFound() const { return entries_.isEmpty(); }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : std::max<int>(int(entries_.size()), 1);
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 3;
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        // Readable in the text colour, but never a choice.
        return nothingFound() ? Qt::ItemIsEnabled : QAbstractTableModel::flags(index);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole) return {};
        if (nothingFound()) return index.column() == 0 ? latin1("No message found") : QString();
        const EntryParts parts = entryParts(entries_[index.row()]);
        switch (index.column()) {
        case 0:
            return fromAnsi(parts.sender);
        case 1:
            return fromAnsi(arrivalShown(parts.arrival));
        default:
            return fromAnsi(firstTextLine(parts));
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        const char* captions[] = {"From", "When", "Message"};
        return latin1(captions[section]);
    }

private:
    QList<QByteArray> entries_;
};

MessagesPage::MessagesPage(Core& core, PageHost& host, QWidget* parent)
    : BuiltWhenShown(parent), core_(core), host_(host), history_(core.history()),
      envelope_(picture("envelope")) {
    setObjectName(latin1("messagesPage"));
    connect(&history_, &MessageHistory::messageAccepted, this, &MessagesPage::messageArrived);
    connect(&history_, &MessageHistory::historyLoaded, this, [this] {
        if (!history_.entries().isEmpty()) showHistoryEntry();
        refreshMessageView();
    });
}

void MessagesPage::build() {
    auto* outer = columnLayout(this);
    auto* group = new QGroupBox(latin1("Message"));
    outer->addWidget(group);
    auto* l = columnLayout(group);
    findBox_ = named(new QLineEdit, "findBox");
    findBox_->setPlaceholderText(latin1("Find a message (Ctrl+F)"));
    findBox_->setAccessibleName(latin1("Find a message"));
    // The clear button is shown only over a word, and its picture comes from the icon theme,
    // whose lookup is a good part of the start: it is added with the first letter typed.
    connect(
        findBox_, &QLineEdit::textChanged, findBox_,
        [box = findBox_] { box->setClearButtonEnabled(true); }, Qt::SingleShotConnection);
    l->addWidget(findBox_);
    messageBox_ = named(new QPlainTextEdit, "messageBox");
    messageBox_->setReadOnly(true);
    messageBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    messageBox_->setFocusPolicy(Qt::ClickFocus);
    view_ = new QStackedWidget;
    view_->addWidget(messageBox_);
    l->addWidget(view_, 1);
    buttons_ = new QWidget;
    auto* row = rowLayout();
    buttons_->setLayout(row);
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
    l->addWidget(buttons_);
    // The page's own choice of focus when it comes into view with it (the tab set asks).
    setFocusProxy(messageBox_);

    // Only while the page is shown, wherever in the window the focus is.
    new QShortcut(QKeySequence::Find, this, this, &MessagesPage::onFindRequested);
    connect(findBox_, &QLineEdit::textChanged, this, &MessagesPage::runFind);
    findBox_->installEventFilter(this);

    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        // Focus moves within the window only; none at all means that the window lost it (to
        // another program).
        if (!now || now->window() != window()) return;
        if (old == messageBox_ && now != messageBox_) onMessageBoxLeft();
    });
    // The entry the history shows, as it would have been shown had the page been there.
    showHistoryEntry();
    refreshMessageView();
}

MessagesPage::~MessagesPage() = default;

void MessagesPage::buildFoundList() {
    if (foundList_) return;
    found_ = new FoundMessages(this);
    foundList_ = named(new QTreeView, "foundList");
    foundList_->setAccessibleName(latin1("Messages found"));
    foundList_->setModel(found_);
    foundList_->setRootIsDecorated(false);
    foundList_->setUniformRowHeights(true); // thousands of rows stay quick
    foundList_->setAllColumnsShowFocus(true);
    foundList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    foundList_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    const QFontMetrics metrics(foundList_->font());
    foundList_->header()->resizeSection(0, metrics.averageCharWidth() * 14);
    foundList_->header()->resizeSection(1, metrics.horizontalAdvance(latin1("Wed 12:59 PM")) + 12);
    view_->addWidget(foundList_);
    connect(foundList_, &QAbstractItemView::activated, this, &MessagesPage::onFoundChosen);
    connect(foundList_, &QAbstractItemView::clicked, this, &MessagesPage::onFoundChosen);
    foundList_->installEventFilter(this);
}

void MessagesPage::messageArrived(const QByteArray& source, const QByteArray& entry) {
    const bool writing = userWriting_ && userWriting_();
    // Somebody looking through the found list keeps it, and the new message joins it.
    const bool finding = foundShown();
    if (!sameAddress(source, core_.own().address) && !writing && !finding) {
        host_.showPage(PageId::Messages); // built by now, if it was not yet
        // The message text, not the first button, takes the keys: a Space typed on would
        // otherwise press that button.
        messageBox_->setFocus();
    }
    // Out of view and never shown, the page stays unbuilt: the history holds the message.
    if (messageBox_) messageBox_->setPlainText(entryText(entry));
    refreshMessageView();
    if (finding) runFind();
    // Not remembered: the next page change or a button of this page puts the status back.
    host_.showTrayPicture(envelope_);
    host_.bringIntoView();
    if (core_.options().newMessageSound) playNewMessageSound();
}

bool MessagesPage::showEntry(const QByteArray& entry) {
    showFound(false);
    const bool kept = history_.showEntry(entry);
    if (kept) showHistoryEntry();
    refreshMessageView();
    return kept;
}

void MessagesPage::showHistoryEntry() {
    if (messageBox_) messageBox_->setPlainText(entryText(history_.shown()));
}

void MessagesPage::refreshMessageView() {
    history_.refreshMessageView();
    if (replyButton_) replyButton_->setEnabled(history_.canReply());
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

void MessagesPage::onFindRequested() {
    findBox_->setFocus(Qt::ShortcutFocusReason);
    findBox_->selectAll();
    runFind();
}

void MessagesPage::runFind() {
    const QString query = findBox_->text();
    if (query.trimmed().isEmpty()) {
        showFound(false);
        return;
    }
    buildFoundList();
    QList<QByteArray> entries;
    for (const qsizetype at : search().find(history_.entries(), query))
        entries.append(history_.entries()[at]);
    found_->setEntries(std::move(entries));
    foundList_->setFirstColumnSpanned(0, {}, found_->nothingFound());
    // Enter in the find box takes the newest.
    if (!found_->nothingFound()) foundList_->setCurrentIndex(found_->index(0, 0));
    showFound(true);
}

void MessagesPage::onFoundChosen(const QModelIndex& index) {
    if (!foundShown()) return;
    const QByteArray entry = found_->entry(index.row());
    if (entry.isNull()) return;
    iconToNormal();
    showEntry(entry);
    messageBox_->setFocus();
}

void MessagesPage::leaveFind() {
    findBox_->clear();
    messageBox_->setFocus();
}

bool MessagesPage::foundShown() const {
    return foundList_ && view_->currentWidget() == foundList_;
}

void MessagesPage::showFound(bool shown) {
    if (!view_) return;
    view_->setCurrentWidget(shown ? static_cast<QWidget*>(foundList_) : messageBox_);
    buttons_->setEnabled(!shown);
}

bool MessagesPage::eventFilter(QObject* watched, QEvent* event) {
    // Folded while the person reaches for the first key, not when they type it.
    if (watched == findBox_ && event->type() == QEvent::FocusIn)
        search().prepare(history_.entries());
    if (event->type() != QEvent::KeyPress || (watched != findBox_ && watched != foundList_))
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape) {
        leaveFind();
        return true;
    }
    if (watched != findBox_ || !foundShown()) return false;
    if (key == Qt::Key_Down) {
        foundList_->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        onFoundChosen(foundList_->currentIndex());
        return true;
    }
    return false;
}

void MessagesPage::hideEvent(QHideEvent* event) {
    // Coming back to the page, or to the window, shows the message again.
    showFound(false);
    QWidget::hideEvent(event);
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

MessageSearch& MessagesPage::search() {
    // Its folding table is made for the first search, not at the start.
    if (!search_) search_ = std::make_unique<MessageSearch>();
    return *search_;
}

MediaLibrary& MessagesPage::media() {
    if (!media_) media_ = std::make_unique<MediaLibrary>();
    return *media_;
}

} // namespace velmora
