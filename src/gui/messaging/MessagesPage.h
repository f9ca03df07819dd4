#pragma once
// The Messages page: received messages one at a time with their history (Previous, Next,
// Erase), Copy, Print and Reply; a new message brings the window forward with the envelope in
// the tray and the new-message sound. Ctrl+F finds messages by a word of their text or sender:
// the list of what was found takes the place of the message until one is chosen. Its controls
// are made when it is first shown; until then the shown entry lives in the history alone.

#include "core/messaging/MessageHistory.h"
#include "gui/controls/BuiltWhenShown.h"

#include <QIcon>
#include <functional>
#include <memory>

class QLineEdit;
class QModelIndex;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTreeView;

namespace velmora {

class Core;
class FoundMessages;
class MediaLibrary;
class MessageSearch;
class NewMessageSound;
class PageHost;

class MessagesPage : public BuiltWhenShown {
    Q_OBJECT
public:
    MessagesPage(Core& core, PageHost& host, QWidget* parent = nullptr);
    ~MessagesPage() override;

    void refreshMessageView();
    void onPreviousClicked();
    void onNextClicked();
    void onEraseMessageClicked();
    void onCopyMessageClicked();
    void onPrintClicked();
    void onReplyClicked();
    void onMessageBoxLeft();
    // Ctrl+F: the find box takes the keys, its text selected, and what it finds shows again.
    void onFindRequested();
    // A message of the found list, clicked or Enter, is shown as Previous and Next show one.
    void onFoundChosen(const QModelIndex& index);
    // Escape in the find box or the list: the query goes and the message shows again.
    void leaveFind();
    // Shows history entry `entry` (the newest such); false when it is no longer kept.
    bool showEntry(const QByteArray& entry);
    // Replaces what a new message plays (the sound of the data folder or the built-in chime).
    void setSoundPlayer(std::function<void()> play) { playSound_ = std::move(play); }
    // Tells whether the user is writing a message: a new one then leaves the page and the
    // keyboard focus where they are, so that no keystroke goes astray.
    void setUserWriting(std::function<bool()> writing) { userWriting_ = std::move(writing); }

Q_SIGNALS:
    // "Reply": the Compose page takes over with the sender and the shown message.
    void replyRequested(const ReplyTarget& target, const QString& message);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void build() override;
    void runFind();
    // The found list and its model, made at the first search.
    void buildFoundList();
    bool foundShown() const;
    // The found list in the message's place, the buttons that act on the shown message off.
    void showFound(bool shown);
    void messageArrived(const QByteArray& source, const QByteArray& entry);
    void showHistoryEntry();
    void iconToNormal();
    void playNewMessageSound();
    MessageSearch& search();
    MediaLibrary& media();

    Core& core_;
    PageHost& host_;
    MessageHistory& history_;
    QPlainTextEdit* messageBox_ = nullptr;
    QPushButton* replyButton_ = nullptr;
    QLineEdit* findBox_ = nullptr;
    QStackedWidget* view_ = nullptr;
    QTreeView* foundList_ = nullptr;
    QWidget* buttons_ = nullptr;
    FoundMessages* found_ = nullptr;
    std::unique_ptr<MessageSearch> search_;
    QIcon envelope_;
    std::unique_ptr<MediaLibrary> media_;
    std::unique_ptr<NewMessageSound> sound_;
    std::function<void()> playSound_;
    std::function<bool()> userWriting_;
};

} // namespace velmora
