// Finding a message with the keyboard alone: Ctrl+F, a word, the arrow keys and Enter land on
// the message, and Previous and Next go on from there; Escape puts the message back.

#include "support/WindowUser.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::Q;
using velmora::test::WindowUser;

TEST(MessageFind, AWordTypedAfterCtrlFListsTheMessagesAndEnterShowsTheChosenOne) {
    WindowUser h;
    Core& core = h.window->core();
    core.dispatchDatagram("MLunch at noon?\r\n - - - From Ann (10.0.0.7)", "10.0.0.7");
    core.dispatchDatagram("MCaf\xE9 closed\r\n - - - From \xC9mile (10.0.0.8)", "10.0.0.8");
    core.dispatchDatagram("M\r\ncafe tomorrow\r\n - - - From Bob (10.0.0.9)", "10.0.0.9");
    auto* messageBox = h.find<QPlainTextEdit>("messageBox");
    QAbstractItemView* list = nullptr; // made at the first search
    auto focus = [] { return QApplication::focusWidget()->objectName(); };
    auto row = [&list](int r) {
        QStringList cells;
        for (int c = 0; c < 3; ++c)
            cells << list->model()->index(r, c).data().toString();
        return cells.join(QLatin1Char('|'));
    };
    ASSERT_EQ(focus(), Q("messageBox"));

    h.input.key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(focus(), Q("findBox"));
    h.input.type(Q("CAFÉ"));
    EXPECT_TRUE(h.find<QLineEdit>("findBox")->isClearButtonEnabled());
    list = h.find<QAbstractItemView>("foundList");
    ASSERT_TRUE(list && list->isVisible());
    EXPECT_FALSE(messageBox->isVisible());
    EXPECT_FALSE(h.find<QPushButton>("eraseMessageButton")->isEnabled());
    ASSERT_EQ(list->model()->rowCount(), 2);
    EXPECT_EQ(row(0), Q("Bob|Mon 9:05 AM|cafe tomorrow"));
    EXPECT_EQ(row(1), Q("Émile|Mon 9:05 AM|Café closed"));

    // Down into the list, Down to the older one, Enter: that message, where Next goes on.
    h.input.key(Qt::Key_Down);
    h.input.key(Qt::Key_Down);
    h.input.key(Qt::Key_Return);
    EXPECT_EQ(focus(), Q("messageBox"));
    EXPECT_TRUE(messageBox->toPlainText().startsWith(Q("Café closed\n")));
    EXPECT_EQ(core.history().position(), 1);
    h.click("nextButton");
    EXPECT_TRUE(messageBox->toPlainText().startsWith(Q("Lunch at noon?\n")));

    // Ctrl+F again brings the list back for a new word; nothing found says so; Escape leaves.
    h.input.key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(list->isVisible());
    h.input.type(Q("tea"));
    ASSERT_EQ(list->model()->rowCount(), 1);
    EXPECT_EQ(row(0), Q("No message found||"));
    h.input.key(Qt::Key_Return);
    EXPECT_EQ(focus(), Q("findBox"));
    h.input.key(Qt::Key_Escape);
    EXPECT_EQ(focus(), Q("messageBox"));
    EXPECT_EQ(h.find<QLineEdit>("findBox")->text(), QString());
    EXPECT_TRUE(messageBox->toPlainText().startsWith(Q("Lunch at noon?\n")));
    EXPECT_TRUE(h.find<QPushButton>("eraseMessageButton")->isEnabled());
}
