// The Messages and Compose pages as a user meets them: choosing a recipient, sending, what an
// arriving message and its receipts show, Reply, walking the history, the input limit,
// printing and the built-in sound.

#include "gui/messaging/MessagePages.h"
#include "gui/controls/TrayIcon.h"
#include "core/messaging/ChimeWave.h"
#include "gui/messaging/MediaLibrary.h"
#include "gui/messaging/MessagePrinter.h"
#include "gui/messaging/NewMessageSound.h"
#include "core/net/AnsiText.h"
#include "support/WindowHarness.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <vector>

using namespace velmora;
using velmora::test::FormHarness;

namespace {

QString Q(const char* text) {
    return QString::fromLatin1(text);
}

QByteArray Sep() {
    return QByteArray(1, kSep);
}

// Answers the next modal message box with `button` as soon as it is up, and keeps its text and
// position. Gives up after a few seconds, so that a test never waits for ever.
struct TModalAnswer {
    QString text;
    QPoint position;
    bool seen = false;

    void Next(QMessageBox::StandardButton button) {
        auto* timer = new QTimer;
        timer->setInterval(10);
        auto tries = std::make_shared<int>(0);
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, tries, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box && ++*tries < 500) return;
            if (box) {
                seen = true;
                text = box->text();
                position = box->pos();
                box->button(button)->click();
            }
            timer->stop();
            timer->deleteLater();
        });
        timer->start();
    }
};

struct Pages {
    FormHarness h;
    TMessagePages& pages = h.form->MessagePages();
    QPlainTextEdit* MsgOut = h.Find<QPlainTextEdit>("MsgOut");
    QPlainTextEdit* InMsgs = h.Find<QPlainTextEdit>("InMsgs");
    QPushButton* Send1Msg = h.Find<QPushButton>("Send1Msg");
    QPushButton* SendMsg = h.Find<QPushButton>("SendMsg");
    QPushButton* Reply1 = h.Find<QPushButton>("Reply1");
    QGroupBox* MsgTo = h.Find<QGroupBox>("MsgTo");
    int plays = 0;

    explicit Pages(const QByteArray& settings = {}) : h(settings) {
        pages.SetSoundPlayer([this] { ++plays; });
        h.sent.clear();
    }
    QWidget* Current() const { return h.form->PageControl1().CurrentPage(); }
    QWidget* Page(const char* name) const { return h.form->Page(name); }
    void Click(const char* button) { h.Find<QPushButton>(button)->click(); }
    void Arrive(const QByteArray& datagram, const QByteArray& source) {
        h.form->Core().DispatchDatagram(datagram, source);
    }
};

QImage Picture(const QIcon& icon) {
    return icon.pixmap(QSize(16, 16)).toImage();
}

} // namespace

TEST(MessagePages, ChoosingARecipientPreparesTheComposePage) {
    Pages p;
    EXPECT_FALSE(p.Send1Msg->isEnabled());
    EXPECT_TRUE(p.MsgOut->isReadOnly());
    EXPECT_EQ(p.MsgTo->title(), Q("Select Recipient on Status Screen"));

    // A click on an off-line person: blocked text, "Send" disabled, on the Compose page.
    p.pages.SelectRecipient("10.0.0.7", "Ann & Co", true, false);
    EXPECT_EQ(p.Current(), p.Page("Compose"));
    EXPECT_EQ(p.MsgOut->toPlainText(),
              Q("You can not send a message because Ann & Co is off-line."));
    EXPECT_FALSE(p.Send1Msg->isEnabled());
    EXPECT_TRUE(p.SendMsg->isEnabled());
    EXPECT_FALSE(p.MsgOut->isReadOnly());
    EXPECT_EQ(p.MsgTo->title(), Q("To Ann && Co")); // the "&" shown, not a shortcut
    EXPECT_EQ(p.pages.RecipientAddress(), "10.0.0.7" + Sep());

    // The person menu of an off-line person: its item disabled, but "Send" enabled and the
    // Status page kept.
    p.h.form->SelectTab(p.Page("Status1"));
    p.pages.SelectRecipient("10.0.0.8", "Bob", true, true);
    EXPECT_EQ(p.Current(), p.Page("Status1"));
    EXPECT_FALSE(p.h.form->PopupMenu2().findChild<QAction*>(Q("mnSendMsg"))->isEnabled());
    EXPECT_TRUE(p.Send1Msg->isEnabled());
    EXPECT_EQ(p.MsgOut->toPlainText(), QString());
    EXPECT_EQ(p.pages.RecipientAddress(), "10.0.0.8" + Sep());

    // With the Compose tab hidden a click sets the recipient and stays on the Status page.
    p.h.Find<QCheckBox>("HideMsgSys")->click();
    p.h.form->SelectTab(p.Page("Status1"));
    p.pages.SelectRecipient("10.0.0.9", "Cay", false, false);
    EXPECT_EQ(p.Current(), p.Page("Status1"));
    EXPECT_EQ(p.MsgTo->title(), Q("To Cay"));
    EXPECT_TRUE(p.Send1Msg->isEnabled());
}

TEST(MessagePages, SendAndSendToAllSendTheLinesAsShown) {
    Pages p;
    p.pages.SelectRecipient("10.0.0.7", "Ann", false, false);
    p.MsgOut->setPlainText(Q("first\n \nthird"));
    p.Click("Send1Msg");
    ASSERT_EQ(p.h.sent.size(), 1);
    EXPECT_EQ(p.h.sent[0],
              "m10.0.0.7" + Sep() + "first\r\n\r\nthird\r\n - - - From OPERATOR (10.0.0.5)");
    EXPECT_EQ(p.MsgOut->toPlainText(), Q("Waiting for confirmation of receipt."));
    EXPECT_FALSE(p.MsgOut->isReadOnly());
    EXPECT_TRUE(p.Send1Msg->isEnabled());

    // Send to All asks first, at the window's top-left corner; Cancel sends nothing.
    TModalAnswer answer;
    answer.Next(QMessageBox::Cancel);
    p.Click("SendMsg");
    ASSERT_TRUE(answer.seen);
    EXPECT_EQ(answer.text, Q("Send the message to:\nall on-line programs?"));
    EXPECT_EQ(answer.position, p.h.form->frameGeometry().topLeft());
    EXPECT_EQ(p.h.sent.size(), 1);
    EXPECT_EQ(p.MsgOut->toPlainText(), Q("Waiting for confirmation of receipt."));

    // A line longer than the box is wide goes out as the lines the box shows.
    QStringList words;
    for (int i = 0; i < 40; ++i)
        words << Q("word%1").arg(i);
    p.MsgOut->setPlainText(words.join(QLatin1Char(' ')));
    const QStringList shown = TMessagePages::VisibleLines(p.MsgOut);
    ASSERT_GT(shown.size(), 1);
    EXPECT_EQ(shown.join(QString()), words.join(QLatin1Char(' ')));
    answer.Next(QMessageBox::Ok);
    p.Click("SendMsg");
    ASSERT_EQ(p.h.sent.size(), 2);
    EXPECT_EQ(p.h.sent[1],
              "M" + ToAnsi(shown.join(Q("\r\n"))) + "\r\n - - - From OPERATOR (10.0.0.5)");
}

TEST(MessagePages, ArrivalShowsTheMessageAndReceiptsListNewestFirstOnLime) {
    Pages p;
    TTrayIcon& tray = p.h.form->TrayIcon1();
    const QImage envelope = Picture(QIcon(Q(":/pictures/envelope.png")));
    const QImage status = Picture(p.h.form->RememberedStatusPicture());
    ASSERT_NE(envelope, status);
    p.h.form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(p.h.form.get()));

    p.Arrive("Mhello\r\n - - - From Ann (10.0.0.7)", "10.0.0.7");
    EXPECT_EQ(p.Current(), p.Page("msgs"));
    EXPECT_EQ(p.InMsgs->toPlainText(),
              Q("hello\n - - - From Ann (10.0.0.7)\n at 9:05 AM on Mon \n "));
    EXPECT_TRUE(p.Reply1->isEnabled());
    EXPECT_EQ(Picture(tray.Icon()), envelope);
    EXPECT_EQ(p.plays, 1);
    EXPECT_EQ(p.h.sent, (QList<QByteArray>{"vl10.0.0.7" + Sep() + "OPERATOR"}));
    // Leaving the inbox puts the status picture back.
    p.InMsgs->setFocus();
    p.h.Find<QPushButton>("BitBtn2")->setFocus();
    EXPECT_EQ(Picture(tray.Icon()), status);

    // A message to all from this copy itself: shown, but the page stays; no sound when off.
    p.h.form->SelectTab(p.Page("Status1"));
    p.h.Find<QCheckBox>("NewMsgSnd")->setChecked(false);
    p.Arrive("Mmine - - - From OPERATOR (10.0.0.5)", "10.0.0.5");
    EXPECT_EQ(p.Current(), p.Page("Status1"));
    EXPECT_TRUE(p.InMsgs->toPlainText().startsWith(Q("mine")));
    EXPECT_EQ(p.plays, 1);

    // Receipts replace the waiting text, then stack newest first on lime.
    p.MsgOut->setPlainText(Q("Waiting for confirmation of receipt."));
    p.Arrive("vl10.0.0.5" + Sep() + "ANN", "10.0.0.7");
    p.Arrive("vl10.0.0.5" + Sep() + "BOB", "10.0.0.8");
    p.Arrive("vl10.0.0.6" + Sep() + "CAY", "10.0.0.9"); // another sender's
    EXPECT_EQ(p.MsgOut->toPlainText(),
              Q("Message received by: BOB  \nMessage received by: ANN  \n"));
    EXPECT_TRUE(p.pages.ReceiptListShown());
    EXPECT_EQ(p.MsgOut->palette().color(QPalette::Base), QColor(0, 255, 0));
    // A page change ends the list; the next receipt starts a new one.
    p.h.form->SelectTab(p.Page("Compose"));
    EXPECT_FALSE(p.pages.ReceiptListShown());
    p.Arrive("vl10.0.0.5" + Sep() + "DAN", "10.0.0.4");
    EXPECT_EQ(p.MsgOut->toPlainText(), Q("Message received by: DAN  \n"));
}

TEST(MessagePages, ReplyQuotesTheShownMessageToItsSender) {
    Pages p;
    p.Arrive("Mlunch at noon?\r\n - - - From Ann Lee (10.0.0.7)", "10.0.0.7");
    p.Arrive("Mno sender here", "10.0.0.8");
    EXPECT_FALSE(p.Reply1->isEnabled());
    p.Click("BitBtn3"); // Next: the older one, which can be answered
    ASSERT_TRUE(p.Reply1->isEnabled());
    p.Arrive("vl10.0.0.5" + Sep() + "ANN", "10.0.0.7"); // a receipt list on lime
    ASSERT_TRUE(p.pages.ReceiptListShown());

    p.Click("Reply1");
    EXPECT_EQ(p.Current(), p.Page("Compose"));
    EXPECT_EQ(p.pages.RecipientAddress(), "10.0.0.7" + Sep());
    EXPECT_EQ(p.MsgTo->title(), Q("Reply to Ann Lee"));
    EXPECT_FALSE(p.pages.ReceiptListShown());
    EXPECT_TRUE(p.Send1Msg->isEnabled());
    EXPECT_FALSE(p.MsgOut->isReadOnly());
    EXPECT_EQ(p.MsgOut->toPlainText(), Q("\nIn reply to:\n> lunch at noon?\n"
                                         ">  - - - From Ann Lee (10.0.0.7)\n"
                                         ">  at 9:05 AM on Mon \n>  "));
    // The caret waits on the empty first line.
    EXPECT_EQ(p.MsgOut->textCursor().blockNumber(), 0);

    // The reply goes to Ann, quote included.
    p.Click("Send1Msg");
    ASSERT_FALSE(p.h.sent.isEmpty());
    EXPECT_TRUE(p.h.sent.last().startsWith("m10.0.0.7" + Sep() + "\r\nIn reply to:\r\n> lunch"));
}

TEST(MessagePages, CopyAndEraseWorkOnTheShownEntry) {
    Pages p;
    p.Arrive("Mone (10.0.0.7)", "10.0.0.7");
    p.Arrive("Mtwo (10.0.0.8)", "10.0.0.8");
    p.Click("BitBtn3");
    EXPECT_TRUE(p.InMsgs->toPlainText().startsWith(Q("one (10.0.0.7)\n")));

    // Copy puts the whole text on the clipboard and leaves nothing selected.
    p.Click("MsgPaste");
    EXPECT_EQ(QApplication::clipboard()->text(), p.InMsgs->toPlainText());
    EXPECT_FALSE(p.InMsgs->textCursor().hasSelection());

    // Erasing the older entry shows the newer one; erasing the only one leaves nothing.
    p.Click("ClearMsg");
    EXPECT_TRUE(p.InMsgs->toPlainText().startsWith(Q("two (10.0.0.8)\n")));
    EXPECT_TRUE(p.Reply1->isEnabled());
    p.Click("ClearMsg");
    EXPECT_TRUE(p.h.form->Core().Messages().isEmpty());
    EXPECT_EQ(p.InMsgs->toPlainText(), QString());
    EXPECT_FALSE(p.Reply1->isEnabled());
}

TEST(MessagePages, HistoryComesBackInOrderAfterARestart) {
    QByteArray saved;
    {
        Pages first;
        first.Arrive("Molder - - - From Ann (10.0.0.7)", "10.0.0.7");
        first.Arrive("Mnewer", "10.0.0.8");
        first.h.form.reset(); // the end of the program saves
        QFile f(first.h.config.settingsPath);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        saved = f.readAll();
    }
    Pages second(saved);
    EXPECT_EQ(second.h.form->Core().Messages().size(), 2);
    EXPECT_TRUE(second.InMsgs->toPlainText().startsWith(Q("newer\n")));
    EXPECT_FALSE(second.Reply1->isEnabled());
    second.Click("BitBtn3");
    EXPECT_TRUE(second.InMsgs->toPlainText().startsWith(Q("older - - - From Ann (10.0.0.7)\n")));
    EXPECT_TRUE(second.Reply1->isEnabled());
}

TEST(MessagePages, TypingAndPastingStopAt350CharactersButProgramTextDoesNot) {
    Pages p;
    // Read-only at start: Paste does nothing.
    QApplication::clipboard()->setText(QString(400, QLatin1Char('p')));
    const QString instructions = p.MsgOut->toPlainText();
    p.Click("BitBtn1");
    EXPECT_EQ(p.MsgOut->toPlainText(), instructions);

    p.pages.SelectRecipient("10.0.0.7", "Ann", false, false);
    QTest::keyClicks(p.MsgOut, QString(345, QLatin1Char('k')));
    QTest::keyClick(p.MsgOut, Qt::Key_Return); // a line break counts as CR LF
    QTest::keyClicks(p.MsgOut, Q("abcdef"));
    EXPECT_EQ(p.MsgOut->toPlainText(), QString(345, QLatin1Char('k')) + Q("\nabc"));

    p.Click("ComposeClear1");
    p.Click("BitBtn1");
    EXPECT_EQ(p.MsgOut->toPlainText(), QString(350, QLatin1Char('p')));

    // A quoted reply may be longer; typing into it adds nothing, deleting still works.
    p.Arrive("M" + QByteArray(380, 'q') + " - - - From Ann (10.0.0.7)", "10.0.0.7");
    p.Click("Reply1");
    const QString reply = p.MsgOut->toPlainText();
    EXPECT_GT(reply.size(), 380);
    QTest::keyClicks(p.MsgOut, Q("more"));
    EXPECT_EQ(p.MsgOut->toPlainText(), reply);
    QTest::keyClick(p.MsgOut, Qt::Key_Delete);
    EXPECT_EQ(p.MsgOut->toPlainText().size(), reply.size() - 1);
}

TEST(MessagePrinter, PrintsTheTitleAndTheLinesInOrder) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(Q("message.pdf"));
    {
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        ASSERT_TRUE(PrintMessage(printer, {Q("hello there"), Q(" - - - From Ann (10.0.0.7)"),
                                           Q(" at 9:05 AM on Mon ")}));
        EXPECT_EQ(printer.docName(), Q("Velmora Message"));
    }
    QProcess text;
    text.start(Q("pdftotext"), {pdf, Q("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    const qsizetype title = printed.indexOf(Q("Velmora Message"));
    const qsizetype first = printed.indexOf(Q("hello there"));
    const qsizetype second = printed.indexOf(Q("From Ann (10.0.0.7)"));
    const qsizetype third = printed.indexOf(Q("at 9:05 AM on Mon"));
    ASSERT_GE(title, 0) << printed.toStdString();
    EXPECT_LT(title, first);
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
}

TEST(NewMessageSound, BuiltInSoundIsTheGeneratedChime) {
    QFile resource(Q(":/sounds/A.wav"));
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    EXPECT_EQ(resource.readAll(), ChimeWave());
}

// Without the module a new message beeps and printing says it is not available, with the
// dialog flag raised while the box is up; nothing crashes.
TEST(MediaLibrary, MissingModuleFallsBackToTheBeepAndAMessageBox) {
    QTemporaryDir dir;
    TMediaLibrary media({dir.filePath(Q("libvelmora-media.so"))});
    EXPECT_FALSE(media.Load());
    EXPECT_FALSE(media.ErrorString().isEmpty());
    media.PlaySound(TNewMessageSound::BuiltInSource());

    TModalAnswer answer;
    answer.Next(QMessageBox::Ok);
    std::vector<bool> dialogOpen;
    EXPECT_FALSE(media.PrintWithDialog(nullptr, {Q("hello")},
                                       [&dialogOpen](bool open) { dialogOpen.push_back(open); }));
    EXPECT_TRUE(answer.seen);
    EXPECT_EQ(answer.text, Q("Printing is not available."));
    EXPECT_EQ(dialogOpen, (std::vector<bool>{true, false}));
    EXPECT_FALSE(media.PrintToPdf(dir.filePath(Q("message.pdf")), {Q("hello")}));
}

// The module as built: every entry point resolves, a sound starts (or beeps without an
// output device) and printing draws the message page.
TEST(MediaLibrary, BuiltModuleLoadsPlaysAndPrints) {
    TMediaLibrary media({Q(VELMORA_MEDIA_MODULE)});
    ASSERT_TRUE(media.Load()) << media.ErrorString().toStdString();
    media.PlaySound(TNewMessageSound::BuiltInSource());

    QTemporaryDir dir;
    const QString pdf = dir.filePath(Q("message.pdf"));
    ASSERT_TRUE(media.PrintToPdf(pdf, {Q("hello there")}));
    QProcess text;
    text.start(Q("pdftotext"), {pdf, Q("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_LT(printed.indexOf(Q("Velmora Message")), printed.indexOf(Q("hello there")))
        << printed.toStdString();
    EXPECT_GE(printed.indexOf(Q("Velmora Message")), 0) << printed.toStdString();
}
