#pragma once
// The Messages and Compose pages of the main window: choosing a recipient, composing and
// sending, received messages with their history, receipts, the envelope and the sound.

#include <QByteArray>
#include <QIcon>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class QAction;
class QGroupBox;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace velmora {

class MainWindow;
class MediaLibrary;
class MessageHistory;
class NewMessageSound;
class Core;

class MessagePages : public QObject {
    Q_OBJECT
public:
    // What a user may type or paste into the compose box; text the program puts there (a
    // quoted reply, the receipt list) is not limited.
    static constexpr int kComposeInputLimit = 350;

    // Finds the pages' controls in `form` by their names and connects them.
    explicit MessagePages(MainWindow& form);
    ~MessagePages() override;

    // Makes the person the recipient of the Compose page. `viaMenu` is true for the right
    // click that opens the person menu, false for a plain click on the name.
    void selectRecipient(const QByteArray& address, const QByteArray& name, bool offLine,
                         bool viaMenu);

    // Compose page.
    void onSendClicked();
    void onSendToAllClicked();
    // Sends the compose box's lines as they are shown, after `prefix` ("M", or "m" + address
    // and separator).
    void sendComposedMessage(const QByteArray& prefix);
    void onEraseComposeClicked();
    void onPasteClicked();
    void onComposeEntered();

    // Messages page.
    void refreshMessageView();
    void onPreviousClicked(); // Previous
    void onNextClicked();     // Next
    void onEraseMessageClicked();
    void onCopyMessageClicked();
    void onPrintClicked();
    void onReplyClicked();
    void onMessageBoxLeft();
    void onNewMessageSoundClicked();

    // The recipient as the next "Send" addresses it: address and separator, or empty.
    const QByteArray& recipientAddress() const { return recipient_; }
    // True while the compose box lists receipts (its lime background).
    bool receiptListShown() const;
    // The lines of a text box as it shows them, a wrapped line counting as several; a last
    // empty line does not count.
    static QStringList visibleLines(QPlainTextEdit* box);
    // Replaces what a new message plays (the sound of the data folder or the built-in chime).
    void setSoundPlayer(std::function<void()> play) { playSound_ = std::move(play); }

private:
    void messageArrived(const QByteArray& source, const QByteArray& entry);
    void receiptArrived(const QByteArray& name);
    void showHistoryEntry();
    void setComposeLime(bool lime);
    void setComposeText(const QString& text);
    void limitComposeInput();
    int composeLength() const;
    void iconToNormal();
    void playNewMessageSound();
    MediaLibrary& media();

    MainWindow& form_;
    Core& core_;
    MessageHistory& history_;
    QPlainTextEdit* messageBox_;
    QPlainTextEdit* composeBox_;
    QGroupBox* recipientGroup_;
    QPushButton* sendToAllButton_;
    QPushButton* sendButton_;
    QPushButton* replyButton_;
    QAction* sendMessageAction_;
    QWidget* composePage_;
    QIcon envelope_;
    QByteArray recipient_;
    std::unique_ptr<MediaLibrary> media_;
    std::unique_ptr<NewMessageSound> sound_;
    std::function<void()> playSound_;
    // Set while the program itself changes the compose box, which the input limit spares.
    bool programEdit_ = false;
    int composeLength_ = 0;
};

} // namespace velmora
