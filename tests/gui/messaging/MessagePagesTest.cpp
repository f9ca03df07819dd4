// The Messages and Compose pages as a user meets them: choosing a recipient, sending, what an
// arriving message and its receipts show, what waits behind a tab's mark, a message without a
// receipt, Reply, walking the history, the input limit, printing and the built-in sound.

#include "core/messaging/ChimeWave.h"
#include "core/net/AnsiText.h"
#include "gui/controls/TrayIcon.h"
#include "gui/messaging/MediaLibrary.h"
#include "gui/messaging/MessagePrinter.h"
#include "gui/messaging/NewMessageSound.h"
#include "gui/messaging/VisibleLines.h"
#include "gui/window/MessageAlerts.h"
#include "support/WindowUser.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

using namespace velmora;
using velmora::test::ModalAnswer;
using velmora::test::Q;
using velmora::test::sep;
using velmora::test::WindowUser;

namespace {

struct Pages {
    WindowUser h;
    ComposePage& compose = h.window->composePage();
    MessagesPage& messages = h.window->messagesPage();
    QPlainTextEdit* msgOut = h.glance("Compose").find<QPlainTextEdit>("composeBox");
    QPushButton* sendButton = h.find<QPushButton>("sendButton");
    QPushButton* sendMsg = h.find<QPushButton>("sendToAllButton");
    QGroupBox* msgTo = h.find<QGroupBox>("recipientGroup");
    QLabel* receiptNote = h.find<QLabel>("receiptNote");
    QLabel* charactersLeft = h.find<QLabel>("charactersLeft");
    int plays = 0;

    explicit Pages(const QByteArray& settings = {}) : h(settings) {
        messages.setSoundPlayer([this] { ++plays; });
        h.sent.clear();
    }
    // The Messages page's controls, there once a person has seen the page.
    QPlainTextEdit* inMsgs() const { return h.find<QPlainTextEdit>("messageBox"); }
    QPushButton* replyButton() const { return h.find<QPushButton>("replyButton"); }
    QWidget* current() const { return h.window->pages().currentPage(); }
    QWidget* page(const char* name) const { return h.window->page(name); }
    QString focus() const {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    }
    void click(const char* button) { h.click(button); }
    // Lines typed into the focus widget, each but the last ended with Enter.
    void typeLines(std::initializer_list<const char*> lines) {
        bool first = true;
        for (const char* line : lines) {
            if (!std::exchange(first, false)) h.input.key(Qt::Key_Return);
            h.input.type(Q(line));
        }
    }
    void arrive(const QByteArray& datagram, const QByteArray& source) {
        h.window->core().dispatchDatagram(datagram, source);
    }
};

QImage picture(const QIcon& icon) {
    return icon.pixmap(QSize(16, 16)).toImage();
}

} // namespace

TEST(MessagePages, ChoosingARecipientPreparesTheComposePage) {
    Pages p;
    p.arrive("arAnn & Co\xF7 Out  (off-line)", "10.0.0.7");
    p.arrive("arBob\xF7 Out <shut down>", "10.0.0.8");
    p.arrive("agCay\xF7 In", "10.0.0.9");
    EXPECT_FALSE(p.sendButton->isEnabled());
    EXPECT_FALSE(p.msgOut->isReadOnly()); // nobody chosen: text for everybody
    EXPECT_EQ(p.msgTo->title(), Q("To everybody"));

    // A click on an off-line person: blocked text, "Send" disabled, on the Compose page.
    p.h.row("10.0.0.7");
    EXPECT_EQ(p.current(), p.page("composePage"));
    EXPECT_EQ(p.msgOut->toPlainText(),
              Q("You can not send a message because Ann & Co is off-line."));
    EXPECT_FALSE(p.sendButton->isEnabled());
    EXPECT_TRUE(p.sendMsg->isEnabled());
    EXPECT_FALSE(p.msgOut->isReadOnly());
    EXPECT_EQ(p.msgTo->title(), Q("To Ann && Co")); // the "&" shown, not a shortcut
    EXPECT_EQ(p.msgOut->placeholderText(), QString());
    EXPECT_EQ(p.compose.recipientAddress(), "10.0.0.7" + sep());

    // The person menu of an off-line person: its item disabled, but "Send" enabled and the
    // Status page kept.
    p.h.tab("Status");
    p.h.row("10.0.0.8", Qt::RightButton);
    EXPECT_EQ(p.current(), p.page("statusPage"));
    EXPECT_FALSE(
        p.h.window->menus().personMenu->findChild<QAction*>(Q("sendMessageAction"))->isEnabled());
    p.h.input.key(Qt::Key_Escape);
    EXPECT_TRUE(p.sendButton->isEnabled());
    EXPECT_EQ(p.msgOut->toPlainText(), QString());
    EXPECT_EQ(p.compose.recipientAddress(), "10.0.0.8" + sep());

    // With the Compose tab hidden a click sets the recipient and stays on the Status page.
    p.h.tab("Options");
    p.click("hideMessagingBox");
    p.h.tab("Status");
    p.h.row("10.0.0.9");
    EXPECT_EQ(p.current(), p.page("statusPage"));
    EXPECT_EQ(p.msgTo->title(), Q("To Cay"));
    EXPECT_TRUE(p.sendButton->isEnabled());
}

TEST(MessagePages, SendAndSendToAllSendTheLinesAsShown) {
    Pages p;
    p.arrive("agAnn\xF7 In", "10.0.0.7");
    p.h.row("10.0.0.7");
    p.typeLines({"first", " ", "third"});
    p.click("sendButton");
    ASSERT_EQ(p.h.sent.size(), 1);
    EXPECT_EQ(p.h.sent[0],
              "m10.0.0.7" + sep() + "first\r\n\r\nthird\r\n - - - From OPERATOR (10.0.0.5)");
    EXPECT_EQ(p.msgOut->toPlainText(), Q("Waiting for confirmation of receipt."));
    EXPECT_FALSE(p.msgOut->isReadOnly());
    EXPECT_TRUE(p.sendButton->isEnabled());

    // Send to All asks first, at the window's top-left corner; Cancel sends nothing.
    ModalAnswer answer;
    answer.next(QMessageBox::Cancel);
    p.click("sendToAllButton");
    ASSERT_TRUE(answer.seen);
    EXPECT_EQ(answer.text, Q("Send the message to:\nall on-line programs?"));
    EXPECT_EQ(answer.position, p.h.window->frameGeometry().topLeft());
    EXPECT_EQ(p.h.sent.size(), 1);
    EXPECT_EQ(p.msgOut->toPlainText(), Q("Waiting for confirmation of receipt."));

    // A line longer than the box is wide goes out as the lines the box shows.
    QStringList words;
    for (int i = 0; i < 40; ++i)
        words << Q("word%1").arg(i);
    p.h.click(p.msgOut);
    p.h.retype(words.join(QLatin1Char(' ')));
    const QStringList shown = visibleLines(p.msgOut);
    ASSERT_GT(shown.size(), 1);
    EXPECT_EQ(shown.join(QString()), words.join(QLatin1Char(' ')));
    answer.next(QMessageBox::Ok);
    p.click("sendToAllButton");
    ASSERT_EQ(p.h.sent.size(), 2);
    EXPECT_EQ(p.h.sent[1],
              "M" + toAnsi(shown.join(Q("\r\n"))) + "\r\n - - - From OPERATOR (10.0.0.5)");
}

TEST(MessagePages, ArrivalShowsTheMessageAndReceiptsListNewestFirstOnLime) {
    Pages p;
    TrayIcon& tray = p.h.window->trayIcon();
    const QImage envelope = picture(QIcon(Q(":/pictures/envelope.png")));
    const QImage status = picture(p.h.window->rememberedStatusPicture());
    ASSERT_NE(envelope, status);

    p.arrive("Mhello\r\n - - - From Ann (10.0.0.7)", "10.0.0.7");
    EXPECT_EQ(p.current(), p.page("messagesPage"));
    EXPECT_EQ(p.inMsgs()->toPlainText(),
              Q("hello\n - - - From Ann (10.0.0.7)\n at 9:05 AM on Mon \n "));
    EXPECT_TRUE(p.replyButton()->isEnabled());
    EXPECT_EQ(picture(tray.icon()), envelope);
    EXPECT_EQ(p.plays, 1);
    EXPECT_EQ(p.h.sent, (QList<QByteArray>{"vl10.0.0.7" + sep() + "OPERATOR"}));
    // Leaving the inbox puts the status picture back.
    p.h.click(p.inMsgs());
    EXPECT_EQ(picture(tray.icon()), envelope);
    p.h.input.key(Qt::Key_Tab);
    EXPECT_EQ(picture(tray.icon()), status);

    // A message to all from this copy itself: shown, but the page stays; no sound when off.
    p.h.tab("Options");
    p.click("newMessageSoundBox");
    p.h.tab("Status");
    p.arrive("Mmine - - - From OPERATOR (10.0.0.5)", "10.0.0.5");
    EXPECT_EQ(p.current(), p.page("statusPage"));
    EXPECT_TRUE(p.inMsgs()->toPlainText().startsWith(Q("mine")));
    EXPECT_EQ(p.plays, 1);

    // Receipts replace the waiting text, then stack newest first on lime.
    p.arrive("agAnn\xF7 In", "10.0.0.7");
    p.h.row("10.0.0.7");
    p.h.input.type(Q("hi"));
    p.click("sendButton");
    ASSERT_EQ(p.msgOut->toPlainText(), Q("Waiting for confirmation of receipt."));
    p.arrive("vl10.0.0.5" + sep() + "ANN", "10.0.0.7");
    p.arrive("vl10.0.0.5" + sep() + "BOB", "10.0.0.8");
    p.arrive("vl10.0.0.6" + sep() + "CAY", "10.0.0.9"); // another sender's
    EXPECT_EQ(p.msgOut->toPlainText(),
              Q("Message received by: BOB  \nMessage received by: ANN  \n"));
    EXPECT_TRUE(p.compose.receiptListShown());
    EXPECT_EQ(p.msgOut->palette().color(QPalette::Base), QColor(0, 255, 0));
    // A page change ends the list; the next receipt starts a new one.
    p.h.tab("Status");
    EXPECT_FALSE(p.compose.receiptListShown());
    p.arrive("vl10.0.0.5" + sep() + "DAN", "10.0.0.4");
    EXPECT_EQ(p.msgOut->toPlainText(), Q("Message received by: DAN  \n"));
}

// A message arriving while the user writes leaves the page and the focus where they are, and
// otherwise takes the focus on its text; what arrives out of view marks its tab until looked at.
TEST(MessagePages, WhatArrivesOutOfViewMarksItsTabUntilLookedAt) {
    const struct {
        const char* page;  // opened by its tab; none: the Status page as it starts
        const char* field; // clicked there; none: where the tab put the focus
        const char* typed;
        QByteArray datagram;
        const char* focus; // afterwards; empty: where it was
        const char* tab;   // the marked tab, looked at in the end
        const char* mark;
    } rows[] = {
        {"Compose", nullptr, "The report is", "Mready?", "composeBox", "Messages", "1 new message"},
        {"Compose", nullptr, "", "Mready?", "messageBox", "Messages", ""},
        {"Discuss", "discussionEntry", "I'll bring", "Mready?", "", "Messages", "1 new message"},
        {"Status", "remarkBox", "Back at", "Mready?", "", "Messages", "1 new message"},
        {nullptr, nullptr, "", "dAnn > cake", "", "Discuss", "1 new line"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.page ? row.page : "") + " " + row.datagram.constData());
        Pages p;
        TabbedPages& pages = p.h.window->pages();
        if (row.page) p.h.tab(row.page);
        if (row.field) p.click(row.field);
        p.h.input.type(Q(row.typed));
        const QString before = p.focus();
        QWidget* pageBefore = p.current();
        p.arrive(row.datagram, "10.0.0.7");
        EXPECT_EQ(p.focus(), *row.focus ? Q(row.focus) : before);
        if (!*row.focus) {
            EXPECT_EQ(p.current(), pageBefore);
        }
        EXPECT_EQ(pages.tabMark(p.page("messagesPage")) + pages.tabMark(p.page("discussPage")),
                  Q(row.mark));
        p.h.tab(row.tab);
        EXPECT_EQ(pages.tabMark(p.current()), QString());
    }
}

// A message without receipt after the wait says so and comes back to be sent again; a late
// receipt is counted above the box, leaves the text being written alone and shows after Erase.
TEST(MessagePages, AMessageWithoutReceiptComesBackAndALateReceiptIsCounted) {
    const struct {
        const char* button;
        const char* typedAfter; // after the waiting line, before the wait is over
        const char* note;
        const char* box; // with "!" typed after the wait
        const char* tally;
    } rows[] = {
        {"sendButton", "", "No receipt yet from Ann & Co", "lunch?!", "Received"},
        {"sendToAllButton", " and cake", "No receipt yet from anybody", "lunch? and cake!",
         "Received by 1 of 1 on-line"},
    };
    ModalAnswer answer;
    for (const auto& row : rows) {
        Pages p;
        p.compose.setReceiptWait(50);
        p.arrive("agAnn & Co\xF7 In", "10.0.0.7");
        p.h.row("10.0.0.7");
        p.h.input.type(Q("lunch?"));
        if (p.h.find<QPushButton>(row.button) == p.sendMsg) answer.next(QMessageBox::Ok);
        p.click(row.button);
        p.h.click(p.msgOut);
        p.h.input.type(Q(row.typedAfter));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !p.receiptNote->text().isEmpty(); }, 5000));
        EXPECT_EQ(p.receiptNote->text(), Q(row.note));
        QLabel* tally = p.h.find<QLabel>("receiptTally");
        EXPECT_EQ(tally->accessibleDescription(), Q("Not confirmed yet: Ann & Co"));
        p.h.input.type(Q("!"));
        p.arrive("vl10.0.0.5" + sep() + "ANN", "10.0.0.7");
        EXPECT_EQ(p.msgOut->toPlainText(), Q(row.box));
        EXPECT_EQ(tally->text(), Q(row.tally));
        EXPECT_EQ(p.receiptNote->text(), QString());
        p.click("eraseComposeButton");
        EXPECT_EQ(p.msgOut->toPlainText(), Q("Message received by: ANN  \n"));
    }
}

TEST(MessagePages, TheReceiptListKeepsItsNewestFiveHundredLines) {
    Pages p;
    p.h.window->core().history().sendMessage("M", {"lunch?"});
    for (int i = 0; i < 510; ++i)
        p.arrive("vl10.0.0.5" + sep() + QByteArray::number(i), "10.0.0.7");
    const QStringList lines = p.msgOut->toPlainText().split(QLatin1Char('\n'));
    EXPECT_EQ(lines.size(), 501); // the last one empty
    EXPECT_EQ(lines.value(0), Q("Message received by: 509  "));
    EXPECT_EQ(lines.value(499), Q("Message received by: 10  "));
}

TEST(MessagePages, ReplyQuotesTheShownMessageToItsSender) {
    Pages p;
    p.arrive("Mlunch at noon?\r\n - - - From Ann Lee (10.0.0.7)", "10.0.0.7");
    p.arrive("Mno sender here", "10.0.0.8");
    EXPECT_FALSE(p.replyButton()->isEnabled());
    p.click("nextButton"); // Next: the older one, which can be answered
    ASSERT_TRUE(p.replyButton()->isEnabled());
    p.h.window->core().history().sendMessage("M", {"lunch?"});
    p.arrive("vl10.0.0.5" + sep() + "ANN", "10.0.0.7"); // a receipt list on lime
    ASSERT_TRUE(p.compose.receiptListShown());

    p.click("replyButton");
    EXPECT_EQ(p.current(), p.page("composePage"));
    EXPECT_EQ(p.compose.recipientAddress(), "10.0.0.7" + sep());
    EXPECT_EQ(p.msgTo->title(), Q("Reply to Ann Lee"));
    EXPECT_FALSE(p.compose.receiptListShown());
    EXPECT_TRUE(p.sendButton->isEnabled());
    EXPECT_FALSE(p.msgOut->isReadOnly());
    EXPECT_EQ(p.msgOut->toPlainText(), Q("\nIn reply to:\n> lunch at noon?\n"
                                         ">  - - - From Ann Lee (10.0.0.7)\n"
                                         ">  at 9:05 AM on Mon \n>  "));
    // The caret waits on the empty first line.
    EXPECT_EQ(p.msgOut->textCursor().blockNumber(), 0);

    // The reply goes to Ann, quote included.
    p.click("sendButton");
    ASSERT_FALSE(p.h.sent.isEmpty());
    EXPECT_TRUE(p.h.sent.last().startsWith("m10.0.0.7" + sep() + "\r\nIn reply to:\r\n> lunch"));
}

TEST(MessagePages, CopyAndEraseWorkOnTheShownEntry) {
    Pages p;
    p.arrive("Mone (10.0.0.7)", "10.0.0.7");
    p.arrive("Mtwo (10.0.0.8)", "10.0.0.8");
    p.click("nextButton");
    EXPECT_TRUE(p.inMsgs()->toPlainText().startsWith(Q("one (10.0.0.7)\n")));

    // Copy puts the whole text on the clipboard and leaves nothing selected.
    p.click("copyButton");
    EXPECT_EQ(QApplication::clipboard()->text(), p.inMsgs()->toPlainText());
    EXPECT_FALSE(p.inMsgs()->textCursor().hasSelection());

    // Erasing the older entry shows the newer one; erasing the only one leaves nothing.
    p.click("eraseMessageButton");
    EXPECT_TRUE(p.inMsgs()->toPlainText().startsWith(Q("two (10.0.0.8)\n")));
    EXPECT_TRUE(p.replyButton()->isEnabled());
    p.click("eraseMessageButton");
    EXPECT_TRUE(p.h.window->core().messages().isEmpty());
    EXPECT_EQ(p.inMsgs()->toPlainText(), QString());
    EXPECT_FALSE(p.replyButton()->isEnabled());
}

TEST(MessagePages, HistoryComesBackInOrderAfterARestart) {
    QByteArray saved;
    {
        Pages first;
        first.arrive("Molder - - - From Ann (10.0.0.7)", "10.0.0.7");
        first.arrive("Mnewer", "10.0.0.8");
        first.h.window.reset(); // the end of the program saves
        QFile f(first.h.config.settingsPath);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        saved = f.readAll();
    }
    Pages second(saved);
    EXPECT_EQ(second.h.window->core().messages().size(), 2);
    second.h.tab("Messages");
    EXPECT_TRUE(second.inMsgs()->toPlainText().startsWith(Q("newer\n")));
    EXPECT_FALSE(second.replyButton()->isEnabled());
    second.click("nextButton");
    EXPECT_TRUE(second.inMsgs()->toPlainText().startsWith(Q("older - - - From Ann (10.0.0.7)\n")));
    EXPECT_TRUE(second.replyButton()->isEnabled());
}

TEST(MessagePages, TypingAndPastingStopAt350CharactersButProgramTextDoesNot) {
    Pages p;
    // With nobody chosen yet, Paste fills the box up to the limit.
    QApplication::clipboard()->setText(QString(400, QLatin1Char('p')));
    p.h.tab("Compose");
    p.click("pasteButton");
    EXPECT_EQ(p.msgOut->toPlainText(), QString(350, QLatin1Char('p')));
    EXPECT_EQ(p.charactersLeft->text(), Q("0 characters left"));

    // The count of what is left shows only near the limit.
    p.arrive("agAnn\xF7 In", "10.0.0.7");
    p.h.tab("Status");
    p.h.row("10.0.0.7");
    p.h.input.type(QString(299, QLatin1Char('k')));
    EXPECT_EQ(p.charactersLeft->text(), QString());
    p.h.input.type(QString(46, QLatin1Char('k')));
    EXPECT_EQ(p.charactersLeft->text(), Q("5 characters left"));
    p.h.input.key(Qt::Key_Return); // a line break counts as CR LF
    p.h.input.type(Q("abcdef"));
    EXPECT_EQ(p.msgOut->toPlainText(), QString(345, QLatin1Char('k')) + Q("\nabc"));
    EXPECT_EQ(p.charactersLeft->text(), Q("0 characters left"));

    // A quoted reply may be longer; typing into it adds nothing, deleting still works.
    p.arrive("M" + QByteArray(380, 'q') + " - - - From Ann (10.0.0.7)", "10.0.0.7");
    p.h.tab("Messages"); // it came while a message was being written
    p.click("replyButton");
    const QString reply = p.msgOut->toPlainText();
    EXPECT_GT(reply.size(), 380);
    p.h.input.type(Q("more"));
    EXPECT_EQ(p.msgOut->toPlainText(), reply);
    p.h.input.key(Qt::Key_Delete);
    EXPECT_EQ(p.msgOut->toPlainText().size(), reply.size() - 1);
}

TEST(MessagePrinter, PrintsTheTitleAndTheLinesInOrder) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(Q("message.pdf"));
    {
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        ASSERT_TRUE(printMessage(printer, {Q("hello there"), Q(" - - - From Ann (10.0.0.7)"),
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
    EXPECT_EQ(resource.readAll(), chimeWave());
}

// Without the module a new message beeps and printing says it is not available, with the
// dialog flag raised while the box is up; nothing crashes.
TEST(MediaLibrary, MissingModuleFallsBackToTheBeepAndAMessageBox) {
    QTemporaryDir dir;
    MediaLibrary media({dir.filePath(Q("libvelmora-media.so"))});
    EXPECT_FALSE(media.load());
    EXPECT_FALSE(media.errorString().isEmpty());
    media.playSound(NewMessageSound::builtInSource());

    ModalAnswer answer;
    answer.next(QMessageBox::Ok);
    std::vector<bool> dialogOpen;
    EXPECT_FALSE(media.printWithDialog(nullptr, {Q("hello")},
                                       [&dialogOpen](bool open) { dialogOpen.push_back(open); }));
    EXPECT_TRUE(answer.seen);
    EXPECT_EQ(answer.text, Q("Printing is not available."));
    EXPECT_EQ(dialogOpen, (std::vector<bool>{true, false}));
    EXPECT_FALSE(media.printToPdf(dir.filePath(Q("message.pdf")), {Q("hello")}));
}

// The module as built: every entry point resolves, a sound starts (or beeps without an
// output device) and printing draws the message page.
TEST(MediaLibrary, BuiltModuleLoadsPlaysAndPrints) {
    MediaLibrary media({Q(VELMORA_MEDIA_MODULE)});
    ASSERT_TRUE(media.load()) << media.errorString().toStdString();
    media.playSound(NewMessageSound::builtInSource());

    QTemporaryDir dir;
    const QString pdf = dir.filePath(Q("message.pdf"));
    ASSERT_TRUE(media.printToPdf(pdf, {Q("hello there")}));
    QProcess text;
    text.start(Q("pdftotext"), {pdf, Q("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_LT(printed.indexOf(Q("Velmora Message")), printed.indexOf(Q("hello there")))
        << printed.toStdString();
    EXPECT_GE(printed.indexOf(Q("Velmora Message")), 0) << printed.toStdString();
}
