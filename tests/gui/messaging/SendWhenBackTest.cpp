// "Send when <name> is back" on the Compose page, clicked as a person does: the outbox's list,
// Cancel, and the notices of a message that went out and was delivered.

#include "core/net/AnsiText.h"
#include "support/WindowUser.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::Q;
using velmora::test::sep;
using velmora::test::WindowUser;

namespace {

void arrive(WindowUser& h, const QByteArray& datagram, const QByteArray& source) {
    h.window->core().dispatchDatagram(datagram, source);
}

} // namespace

TEST(ComposePage, SendWhenBackKeepsTheMessageUntilThePersonIsBackOrItIsCancelled) {
    WindowUser h;
    h.sent.clear();
    const Outbox& outbox = h.window->core().outbox();
    arrive(h, "arAnn & Co\xF7 Out  (off-line)", "10.0.0.7");
    arrive(h, "agCay\xF7 In", "10.0.0.9");
    h.row("10.0.0.7");
    auto* button = h.find<QPushButton>("sendWhenBackButton");
    auto* box = h.find<QPlainTextEdit>("composeBox");
    ASSERT_TRUE(button->isVisible());
    EXPECT_EQ(button->text(), Q("Send when Ann && Co is back")); // the "&" shown, no shortcut
    EXPECT_FALSE(h.find<QPushButton>("sendButton")->isEnabled());

    // With only the off-line line in the box, the click makes room for the message.
    h.click(button);
    EXPECT_EQ(box->toPlainText(), QString());
    EXPECT_EQ(QApplication::focusWidget()->objectName(), Q("composeBox"));
    EXPECT_TRUE(outbox.waiting().isEmpty());

    // Typed, put in the outbox, listed, and cancelled: nothing goes out when Ann is back.
    h.input.type(Q("Lunch?"));
    h.click(button);
    ASSERT_EQ(outbox.waiting().size(), 1);
    EXPECT_EQ(outbox.waiting()[0].body, "Lunch?\r\n");
    EXPECT_EQ(box->toPlainText(), QString());
    auto* list = h.find<QListWidget>("outboxList"); // made with the first waiting message
    auto* notice = h.find<QLabel>("outboxNotice");
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(list->item(0)->text(), Q("To Ann & Co, waiting since 9:05 AM on Mon: Lunch?"));
    h.click(list, 0);
    h.click("cancelWaitingButton");
    EXPECT_TRUE(outbox.waiting().isEmpty());
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(notice->text(), Q("The message to Ann & Co was cancelled."));

    // Typed below the off-line line, it goes out once Ann's copy is back, and her receipt
    // tells that it was delivered.
    h.tab("Status");
    h.row("10.0.0.7");
    h.click(box);
    h.input.key(Qt::Key_End, Qt::ControlModifier);
    h.input.key(Qt::Key_Return);
    h.input.type(Q("Cake?"));
    h.click(button);
    EXPECT_EQ(outbox.waiting().size(), 1);
    EXPECT_TRUE(h.sent.isEmpty());
    arrive(h, "agAnn & Co\xF7 In", "10.0.0.7");
    EXPECT_EQ(h.sent,
              QList<QByteArray>{"m10.0.0.7" + sep() + "Cake?\r\n - - - From OPERATOR (10.0.0.5)"});
    EXPECT_EQ(notice->text(), Q("Sent to Ann & Co at 9:05 AM on Mon."));
    arrive(h, "vl10.0.0.5" + sep() + "Ann & Co", "10.0.0.7");
    EXPECT_EQ(notice->text(), Q("Delivered to Ann & Co at 9:05 AM on Mon."));
    EXPECT_EQ(box->toPlainText(), Q("Message received by: Ann & Co  \n"));

    // Somebody on-line needs no outbox.
    h.tab("Status");
    h.row("10.0.0.9");
    EXPECT_FALSE(button->isVisible());
}

// Messages still waiting when the program last ended are listed, and can be cancelled, from the
// start.
TEST(ComposePage, MessagesWaitingFromTheLastRunAreListed) {
    WindowUser h("[VLXOutbox]\ncnt=1\n0=10.0.0.7 2026-12-07T09:05:00Z Ann Lunch%3F%0D%0A\n");
    h.tab("Compose");
    auto* list = h.find<QListWidget>("outboxList");
    ASSERT_TRUE(list && list->isVisible());
    EXPECT_EQ(list->item(0)->text(), Q("To Ann, waiting since 9:05 AM on Mon: Lunch?"));
}
