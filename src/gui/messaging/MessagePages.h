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

class TForm1;
class TMediaLibrary;
class TMessageHistory;
class TNewMessageSound;
class TVelmoraCore;

class TMessagePages : public QObject {
    Q_OBJECT
public:
    // What a user may type or paste into the compose box; text the program puts there (a
    // quoted reply, the receipt list) is not limited.
    static constexpr int kComposeInputLimit = 350;

    // Finds the pages' controls in `form` by their names and connects them.
    explicit TMessagePages(TForm1& form);
    ~TMessagePages() override;

    // Makes the person the recipient of the Compose page. `viaMenu` is true for the right
    // click that opens the person menu, false for a plain click on the name.
    void SelectRecipient(const QByteArray& address, const QByteArray& name, bool offLine,
                         bool viaMenu);

    // Compose page.
    void Send1MsgClick();
    void SendMsgClick();
    // Sends the compose box's lines as they are shown, after `prefix` ("M", or "m" + address
    // and separator).
    void SendComposedMessage(const QByteArray& prefix);
    void ComposeClear1Click();
    void BitBtn1Click();
    void ComposeEnter();

    // Messages page.
    void RefreshMessageView();
    void BitBtn2Click(); // Previous
    void BitBtn3Click(); // Next
    void ClearMsgClick();
    void MsgPasteClick();
    void MsgPrt1Click();
    void Reply1Click();
    void InMsgsExit();
    void NewMsgSndClick();

    // The recipient as the next "Send" addresses it: address and separator, or empty.
    const QByteArray& RecipientAddress() const { return recipient_; }
    // True while the compose box lists receipts (its lime background).
    bool ReceiptListShown() const;
    // The lines of a text box as it shows them, a wrapped line counting as several; a last
    // empty line does not count.
    static QStringList VisibleLines(QPlainTextEdit* box);
    // Replaces what a new message plays (the sound of the data folder or the built-in chime).
    void SetSoundPlayer(std::function<void()> play) { playSound_ = std::move(play); }

private:
    void MessageArrived(const QByteArray& source, const QByteArray& entry);
    void ReceiptArrived(const QByteArray& name);
    void ShowHistoryEntry();
    void SetComposeLime(bool lime);
    void SetComposeText(const QString& text);
    void LimitComposeInput();
    int ComposeLength() const;
    void IconToNormal();
    void PlayNewMessageSound();
    TMediaLibrary& Media();

    TForm1& form_;
    TVelmoraCore& core_;
    TMessageHistory& history_;
    QPlainTextEdit* InMsgs_;
    QPlainTextEdit* MsgOut_;
    QGroupBox* MsgTo_;
    QPushButton* SendMsg_;
    QPushButton* Send1Msg_;
    QPushButton* Reply1_;
    QAction* mnSendMsg_;
    QWidget* composePage_;
    QIcon envelope_;
    QByteArray recipient_;
    std::unique_ptr<TMediaLibrary> media_;
    std::unique_ptr<TNewMessageSound> sound_;
    std::function<void()> playSound_;
    // Set while the program itself changes the compose box, which the input limit spares.
    bool programEdit_ = false;
    int composeLength_ = 0;
};

} // namespace velmora
