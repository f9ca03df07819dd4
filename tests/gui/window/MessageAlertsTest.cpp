// A message that could not bring the window forward (on Wayland the program cannot activate its
// own window) is announced by a desktop notification on a private
// session bus; its "Show" and "Reply" open the message; the tray's tooltip counts the unread
// messages until the Messages page is seen.

#include "gui/window/MessageAlerts.h"
#include "gui/controls/TrayIcon.h"
#include "support/PrivateBus.h"
#include "support/WindowUser.h"

#include <QApplication>
#include <QDBusMessage>
#include <QGroupBox>
#include <QJsonArray>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace velmora::test {
namespace {

// Waits until `done` holds or a few seconds are up; gives what it held last.
template <class F> bool waitFor(F done) {
    for (int i = 0; i < 500 && !done(); ++i)
        QTest::qWait(10);
    return done();
}

TEST(MessageAlerts, AMessageOutOfViewIsNotifiedAndOpenedFromTheNotification) {
    const struct {
        const char* settings;
        const char* action; // what the user picks in the notification; none: it is off
        const char* page;
    } rows[] = {
        {"[VLX]\r\nmsgSnd=0\r\n", "show", "messagesPage"},
        {"[VLX]\r\nmsgSnd=0\r\n", "reply", "composePage"},
        {"[VLX]\r\nmsgSnd=0\r\nmsgNtfy=0\r\n", nullptr, "messagesPage"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.action ? row.action : "off");
        PrivateBus bus;
        const QString log = bus.file("notifications.log");
        bus.startServices({"--notifications", log.toStdString()});
        WindowUser u(row.settings);
        u.window->alerts().useBus(bus.connection());
        // As on Wayland, the program cannot make its own window the active one.
        u.window->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
        u.window->show();
        TrayIcon& tray = u.window->trayIcon();
        Core& core = u.window->core();

        core.dispatchDatagram("Ma <b> & c\r\nmore\r\n - - - From Ann (10.0.0.7)", "10.0.0.7");
        EXPECT_EQ(tray.hint(), Q("Dazuviz Velmora \u2014 1 new message"));
        core.dispatchDatagram("Mlater\r\n - - - From Bob (10.0.0.8)", "10.0.0.8");
        EXPECT_EQ(tray.hint(), Q("Dazuviz Velmora \u2014 2 new messages"));
        EXPECT_EQ(u.window->pages().currentPage(), u.window->page("messagesPage"));

        if (!row.action) {
            QTest::qWait(2 * MessageAlerts::kSettleMs);
            EXPECT_TRUE(PrivateBus::records(log).empty());
            continue;
        }
        ASSERT_TRUE(waitFor([&] { return PrivateBus::records(log).size() == 2; }));
        const QJsonObject first = PrivateBus::records(log).front();
        EXPECT_EQ(first[Q("app_name")].toString(), Q("Dazuviz Velmora"));
        EXPECT_EQ(first[Q("summary")].toString(), Q("Ann"));
        EXPECT_EQ(first[Q("body")].toString(), Q("a &lt;b&gt; &amp; c"));
        EXPECT_EQ(first[Q("actions")].toArray(),
                  QJsonArray({Q("show"), Q("Show"), Q("reply"), Q("Reply")}));
        EXPECT_EQ(PrivateBus::records(log).back()[Q("summary")].toString(), Q("Bob"));

        // The user picks the action in Ann's notification while the window shows Bob's.
        u.tab("Status");
        QDBusMessage invoke = QDBusMessage::createMethodCall(
            Q("org.freedesktop.Notifications"), Q("/org/freedesktop/Notifications"),
            Q("org.velmora.Test"), Q("InvokeAction"));
        invoke << uint(first[Q("id")].toInt()) << Q(row.action);
        bus.connection().call(invoke);
        ASSERT_TRUE(
            waitFor([&] { return u.window->pages().currentPage() == u.window->page(row.page); }));
        EXPECT_TRUE(u.find<QPlainTextEdit>("messageBox")->toPlainText().startsWith(Q("a <b> & c")));
        if (QByteArray(row.action) == "reply") {
            EXPECT_EQ(u.find<QGroupBox>("recipientGroup")->title(), Q("Reply to Ann"));
        }
        EXPECT_EQ(tray.hint(), Q("Dazuviz Velmora \u2014 2 new messages"));

        // The window manager makes the window active on the Messages page: both are seen.
        u.tab("Messages");
        QApplication::setActiveWindow(u.window.get());
        EXPECT_TRUE(waitFor([&] { return tray.hint() == Q("Dazuviz Velmora"); }));
    }
}

// A flood of messages counts in full but gives only a few notifications at a time.
TEST(MessageAlerts, AFloodOfMessagesGivesOnlyAFewNotifications) {
    PrivateBus bus;
    const QString log = bus.file("notifications.log");
    bus.startServices({"--notifications", log.toStdString()});
    WindowUser u("[VLX]\r\nmsgSnd=0\r\n");
    u.window->alerts().useBus(bus.connection());
    u.window->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    u.window->show();
    for (int i = 0; i < 40; ++i)
        u.window->core().dispatchDatagram(
            "Mflood " + QByteArray::number(i) + "\r\n - - - From Eve (10.0.0.9)", "10.0.0.9");
    EXPECT_EQ(u.window->alerts().unread(), 40);
    QTest::qWait(3 * MessageAlerts::kSettleMs);
    EXPECT_EQ(PrivateBus::records(log).size(), std::size_t(MessageAlerts::kMostPending));
}

} // namespace
} // namespace velmora::test
