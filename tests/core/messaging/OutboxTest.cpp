// The outbox: its stored form and limits, and when a waiting message goes out, once, through a
// core without a network.

#include "core/messaging/Outbox.h"
#include "core/net/Datagram.h"
#include "support/Announcements.h"
#include "support/CoreHarness.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::ann;
using velmora::test::CoreHarness;
using velmora::test::sep;

namespace {

const QDateTime kMonday(QDate(2026, 12, 7), QTime(9, 5), Qt::UTC);

WaitingMessage waiting(const QByteArray& name, const QByteArray& body) {
    return {"10.0.0.7", name, kMonday, body};
}

} // namespace

TEST(Outbox, StoredMessagesReadBackWithinTheLimits) {
    const QByteArray kHi = "Hi\r\n";
    const struct {
        const char* what;
        QList<std::pair<QByteArray, QByteArray>> stored; // VLXOutbox as the file holds it
        QList<WaitingMessage> expected;
    } cases[] = {
        {"no section", {}, {}},
        {"written by a save",
         {{"cnt", "1"},
          {"0", "10.0.0.7 2026-12-07T09:05:00Z Ann%20%26%20Co%F7 a%F7%20b%0D%0A%0D%0A"}},
         {waiting("Ann & Co\xf7", "a\xf7 b\r\n\r\n")}},
        {"unreadable rows skipped",
         {{"cnt", "4"},
          {"0", "10.0.0.7 2026-12-07T09:05:00Z Ann"},
          {"1", "10.0.0.7 yesterday Ann Hi%0D%0A"},
          {"2", "10.0.0.7 2026-12-07T09:05:00Z Ann "},
          {"3", "10.0.0.7 2026-12-07T09:05:00Z Bob Hi%0D%0A"}},
         {waiting("Bob", kHi)}},
        {"a count that is no number",
         {{"cnt", "x"}, {"0", "10.0.0.7 2026-12-07T09:05:00Z A B"}},
         {}},
        {"a body cut to the message limit",
         {{"cnt", "1"}, {"0", "10.0.0.7 2026-12-07T09:05:00Z A " + QByteArray(400, 'x')}},
         {waiting("A", QByteArray(kMessageBodyLimit, 'x'))}},
    };
    for (const auto& c : cases) {
        Profile profile;
        profile.appendSettings("VLXOutbox", c.stored);
        EXPECT_EQ(readOutbox(profile, Outbox::kLimit, Outbox::kByteLimit), c.expected) << c.what;
        // What is read is written back the same way.
        Profile again;
        writeOutbox(again, c.expected);
        EXPECT_EQ(readOutbox(again, Outbox::kLimit, Outbox::kByteLimit), c.expected) << c.what;
    }

    // Count and bytes: the first ones that fit are kept.
    QList<WaitingMessage> many(5, waiting("Ann", QByteArray(300, 'x')));
    Profile profile;
    writeOutbox(profile, many);
    EXPECT_EQ(readOutbox(profile, 3, 100000).size(), 3);
    EXPECT_EQ(readOutbox(profile, 10, 1000).size(), 3);
    writeOutbox(profile, {});
    EXPECT_FALSE(profile.sectionNames().contains("VLXOutbox"));
}

TEST(Outbox, AWaitingMessageGoesOutOnceWhenItsPersonIsBack) {
    const QByteArray toAnn = "m10.0.0.7" + sep() + "Lunch?\r\n - - - From OPERATOR (10.0.0.5)";
    const QByteArray back = ann("Ann", StatusCode::In, "In");
    const QByteArray away = ann("Ann", StatusCode::Out, "Out (off-line)");
    const struct {
        const char* what;
        QByteArray source;
        QList<QByteArray> announcements; // dispatched from `source`, in order
        qint64 waitedMs;
        int sends;
        bool expired;
    } cases[] = {
        {"still off-line",
         "10.0.0.7",
         {away, ann("Ann", StatusCode::Out, "Out <shut down>")},
         0,
         0,
         false},
        {"back, twice in a row", "10.0.0.7", {back, back}, 0, 1, false},
        {"back at a new address under the name", "10.0.0.9", {back}, 0, 1, false},
        {"somebody else back", "10.0.0.8", {ann("Bob", StatusCode::In, "In")}, 0, 0, false},
        {"relayed by another copy",
         "10.0.0.8",
         {datagram::proxyAnnouncement(StatusCode::In, "10.0.0.7", "Ann" + sep() + " In")},
         0,
         0,
         false},
        {"back within the week", "10.0.0.7", {back}, Outbox::kMaxWaitMs - 1, 1, false},
        {"the week over", "10.0.0.7", {back}, Outbox::kMaxWaitMs, 0, true},
    };
    for (const auto& c : cases) {
        CoreHarness h("10.0.0.5");
        Core& core = h.started();
        core.dispatchDatagram(away, "10.0.0.7");
        ASSERT_TRUE(core.outbox().add("10.0.0.7", "Ann", "Lunch?\r\n")) << c.what;
        QSignalSpy expired(&core.outbox(), &Outbox::expired);
        h.clock.advance(c.waitedMs);
        core.everyTenSeconds();
        h.sent.clear();
        for (const QByteArray& a : c.announcements)
            core.dispatchDatagram(a, c.source);
        const QByteArray expected =
            c.source == "10.0.0.9" ? QByteArray(toAnn).replace("10.0.0.7", "10.0.0.9") : toAnn;
        EXPECT_EQ(h.sent.count(expected), c.sends) << c.what;
        EXPECT_EQ(core.outbox().waiting().size(), c.sends || c.expired ? 0 : 1) << c.what;
        EXPECT_EQ(expired.size(), c.expired ? 1 : 0) << c.what;
    }
}

TEST(Outbox, TheReceiptFromThePersonTellsTheDeliveryAndAFullOutboxTakesNoMore) {
    CoreHarness h("10.0.0.5");
    Core& core = h.started();
    Outbox& outbox = core.outbox();
    QSignalSpy delivered(&outbox, &Outbox::delivered);
    EXPECT_FALSE(outbox.add("10.0.0.7", "Ann", " \r\n")); // nothing to send
    ASSERT_TRUE(outbox.add("10.0.0.7", "Ann", "Lunch?\r\n"));
    core.dispatchDatagram(ann("Ann", StatusCode::In, "In"), "10.0.0.7");
    const QByteArray receipt = "vl10.0.0.5" + sep() + "Ann";
    core.dispatchDatagram(receipt, "10.0.0.8"); // somebody else's
    EXPECT_EQ(delivered.size(), 0);
    core.dispatchDatagram(receipt, "10.0.0.7");
    core.dispatchDatagram(receipt, "10.0.0.7"); // told once
    ASSERT_EQ(delivered.size(), 1);
    EXPECT_EQ(delivered[0][0].toByteArray(), "Ann");

    for (int i = 0; i < Outbox::kLimit; ++i)
        outbox.add("10.0.0.9", "Cay", "x\r\n");
    EXPECT_FALSE(outbox.add("10.0.0.9", "Cay", "x\r\n"));
    outbox.cancel(0);
    EXPECT_EQ(outbox.waiting().size(), Outbox::kLimit - 1);
}
