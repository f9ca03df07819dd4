// The wire format as a receiver sees it: every kind through dispatchDatagram.

#include "core/net/Datagram.h"
#include "support/CoreHarness.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::CoreHarness;
using velmora::test::sep;
using velmora::test::stamp;

TEST(DatagramFormat, BuildersLayOutFieldsInOrder) {
    EXPECT_EQ(datagram::statusAnnouncement(StatusCode::Busy, "Ann", "Busy"),
              "afAnn" + sep() + " Busy");
    EXPECT_EQ(datagram::proxyAnnouncement(StatusCode::Out, "10.0.0.7", "Bob" + sep() + " Out"),
              "zr10.0.0.7" + sep() + "Bob" + sep() + " Out");
    EXPECT_EQ(datagram::receipt("10.0.0.5", "Cay"), "vl10.0.0.5" + sep() + "Cay");
    EXPECT_EQ(datagram::addressedMessage("10.0.0.9", "hi\r\n",
                                         datagram::messageTrailer("Ann", "10.0.0.5")),
              "m10.0.0.9" + sep() + "hi\r\n - - - From Ann (10.0.0.5)");
    EXPECT_EQ(datagram::refreshRequest("Ann"), "r Ann");
    EXPECT_EQ(datagram::rosterResetCommand("Ann"), "7 Ann");
}

TEST(DatagramFormat, StatusAnnouncementParsing) {
    // The name must be at least one character: the separator at position 4 or later.
    EXPECT_FALSE(datagram::parseStatusAnnouncement("ag" + sep() + " In"));
    EXPECT_FALSE(datagram::parseStatusAnnouncement("agAnn In"));
    const auto a = datagram::parseStatusAnnouncement("agA" + sep() + " \t In \x01\r\n");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->name, "A");
    EXPECT_EQ(a->status, "In");

    // At most 999 characters after the separator count, blanks around them removed.
    const auto longOne =
        datagram::parseStatusAnnouncement("agAnn" + sep() + " " + QByteArray(1200, 'x'));
    ASSERT_TRUE(longOne);
    EXPECT_EQ(longOne->status.size(), 998); // the leading blank was one of the 999
}

TEST(DatagramFormat, NameNormalisation) {
    EXPECT_EQ(datagram::normaliseName("Sales/East \\ Ann"), "Ann");
    EXPECT_EQ(datagram::normaliseName("a/b\\c"), "a/b\\c");  // "\" only one after "/"
    EXPECT_EQ(datagram::normaliseName("a/bc\\ Dee"), "Dee"); // two positions after "/"
    EXPECT_EQ(datagram::normaliseName("a\\b/c"), "a\\b/c");  // "\" before the "/"
    EXPECT_EQ(datagram::normaliseName("No slash \\ here"), "No slash \\ here");
    EXPECT_EQ(datagram::normaliseName("x/yyy\\"), ""); // nothing after the "\"
}

TEST(DatagramFormat, ReceiptAndMessageFields) {
    const auto r = datagram::parseReceipt("vl10.0.0.5" + sep() + "Cay");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->address, "10.0.0.5");
    EXPECT_EQ(r->name, "Cay  ");
    EXPECT_FALSE(datagram::parseReceipt("vl10.0.0.5"));
    EXPECT_EQ(datagram::messageShownText("Mhello - - - From A (1.2.3.4)"),
              "hello - - - From A (1.2.3.4)");
    EXPECT_EQ(datagram::messageShownText("m1.2.3.4" + sep() + "x" + sep() + "y"),
              "x" + sep() + "y");
    EXPECT_EQ(datagram::discussionLine("dAnn > hi"), "Ann > hi");
}

TEST(Dispatch, StatusAnnouncementUpdatesTheSourcesEntry) {
    CoreHarness h;
    Core& core = h.started();
    core.dispatchDatagram("agAnn" + sep() + " In", "10.0.0.7");
    EXPECT_EQ(h.entry(1), "10.0.0.7=Ann" + sep() + "gIn");
    // Without a name nothing changes.
    core.dispatchDatagram("ag" + sep() + " Out", "10.0.0.7");
    EXPECT_EQ(h.entry(1), "10.0.0.7=Ann" + sep() + "gIn");
    EXPECT_EQ(core.roster().count(), 2);
    EXPECT_TRUE(h.sent.isEmpty());
}

TEST(Dispatch, ProxyAnnouncementUpdatesTheTargetOnly) {
    CoreHarness h;
    Core& core = h.started();
    core.dispatchDatagram("agBob" + sep() + " In", "10.0.0.7");
    core.dispatchDatagram("zr10.0.0.7" + sep() + "Bob" + sep() + " Out", "10.0.0.8");
    EXPECT_EQ(h.entry(1), "10.0.0.7=Bob" + sep() + "rOut");
    EXPECT_EQ(core.roster().findAddress("10.0.0.8"), -1);
    // Without any separator the proxy is ignored.
    core.dispatchDatagram("zg10.0.0.7 Bob In", "10.0.0.8");
    EXPECT_EQ(h.entry(1), "10.0.0.7=Bob" + sep() + "rOut");
}

TEST(Dispatch, ProxyForTheOwnAddressBecomesTheOwnStatusWithoutSending) {
    CoreHarness h("10.0.0.5");
    Core& core = h.started();
    QSignalSpy takenOver(&core, &Core::ownStatusTakenOver);

    core.dispatchDatagram("zy10.0.0.5" + sep() + "OPERATOR" + sep() + " At lunch ( 1:15 PM on Mon)",
                          "10.0.0.8");
    EXPECT_EQ(core.own().code, StatusCode::Remark);
    EXPECT_EQ(core.own().text, "At lunch");
    EXPECT_EQ(core.own().stamp, " ( 1:15 PM on Mon)");
    EXPECT_EQ(h.entry(0), "10.0.0.5=OPERATOR" + sep() + "yAt lunch ( 1:15 PM on Mon)");
    EXPECT_EQ(takenOver.count(), 1);
    EXPECT_TRUE(h.sent.isEmpty());

    core.dispatchDatagram("zg10.0.0.5" + sep() + "OPERATOR" + sep() + " In", "10.0.0.8");
    EXPECT_EQ(core.own().code, StatusCode::In);
    EXPECT_EQ(core.own().text, "In");
    EXPECT_TRUE(core.own().stamp.isEmpty());

    // An address that merely starts with the own one is somebody else.
    core.dispatchDatagram("zr10.0.0.50" + sep() + "Eve" + sep() + " Out", "10.0.0.8");
    EXPECT_EQ(core.own().code, StatusCode::In);
}

TEST(Dispatch, AChangeFromAnotherCopyIsToldOnceAndCanBeUndone) {
    CoreHarness h("10.0.0.5");
    Core& core = h.started();
    QSignalSpy told(&core, &Core::ownStatusSetByOther);
    core.dispatchDatagram("agBob" + sep() + " In", "10.0.0.7");
    const QByteArray out = "zr10.0.0.5" + sep() + "OPERATOR" + sep() + " Out";
    core.dispatchDatagram(out, "10.0.0.8");
    core.dispatchDatagram(out, "10.0.0.8"); // the same change again changes nothing
    core.dispatchDatagram("zr10.0.0.7" + sep() + "Bob" + sep() + " Out", "10.0.0.8");
    EXPECT_EQ(told.count(), 1);
    ASSERT_TRUE(core.takeover());
    EXPECT_EQ(core.takeover()->text, "In");
    EXPECT_EQ(core.takeover()->takenText, "Out");
    EXPECT_EQ(core.takeover()->by.address, "10.0.0.8");

    // Who set a row's status, until the person's own copy says something else.
    EXPECT_EQ(core.statusSetBy("10.0.0.7")->address, "10.0.0.8");
    EXPECT_EQ(core.statusSetBy("10.0.0.5")->at, h.clock.now());
    core.dispatchDatagram("agBob" + sep() + " In", "10.0.0.7");
    EXPECT_FALSE(core.statusSetBy("10.0.0.7"));

    EXPECT_TRUE(core.undoTakeover());
    EXPECT_FALSE(core.undoTakeover());
    EXPECT_EQ(h.sent, QList<QByteArray>{"agOPERATOR" + sep() + " In" + stamp()});
    EXPECT_FALSE(core.statusSetBy("10.0.0.5"));
    // The user's own change through this copy's change page is nothing to tell.
    core.dispatchDatagram(out, "10.0.0.5");
    EXPECT_EQ(told.count(), 1);
}

TEST(Dispatch, OwnAnnouncementNeverCountsAsAddressedToMe) {
    CoreHarness h("10.0.0.5");
    Core& core = h.started();
    QSignalSpy takenOver(&core, &Core::ownStatusTakenOver);
    core.presence().announceOwnStatus(StatusCode::Busy, "Busy - In but unavailable", {});
    EXPECT_EQ(takenOver.count(), 0);
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_EQ(h.sent[0], "afOPERATOR" + sep() + " Busy - In but unavailable");
}

TEST(Dispatch, SmallKinds) {
    CoreHarness h("10.0.0.5");
    Core& core = h.started();
    QSignalSpy intoView(&core, &Core::bringIntoViewRequested);

    core.dispatchDatagram("q whatever", "10.0.0.7");
    core.dispatchDatagram("", "10.0.0.7");
    EXPECT_TRUE(h.sent.isEmpty());

    core.dispatchDatagram("b 10.0.0.255", "10.0.0.7");
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_EQ(h.sent[0], "B 10.0.0.255");

    core.dispatchDatagram("B 10.1.255.255", "10.0.0.7");
    EXPECT_EQ(core.presence().broadcastAddress(), "10.1.255.255");

    core.dispatchDatagram("x", "10.0.0.7");
    EXPECT_EQ(intoView.count(), 0);
    core.dispatchDatagram("xanything", "10.0.0.5");
    EXPECT_EQ(intoView.count(), 1);
}

TEST(Dispatch, AddressedMessagesReachOnlyTheirTarget) {
    CoreHarness h("10.0.0.90");
    Core& core = h.started();
    QSignalSpy messages(&core, &Core::messageDatagramArrived);
    core.dispatchDatagram("m10.0.0.9" + sep() + "hi - - - From A (10.0.0.7)", "10.0.0.7");
    core.dispatchDatagram("m10.0.0.9 no separator", "10.0.0.7");
    EXPECT_EQ(messages.count(), 0);
    core.dispatchDatagram("m10.0.0.90" + sep() + "hi - - - From A (10.0.0.7)", "10.0.0.7");
    core.dispatchDatagram("Mto all - - - From A (10.0.0.7)", "10.0.0.7");
    EXPECT_EQ(messages.count(), 2);
}

TEST(Dispatch, ClosingDropsReceivedDatagrams) {
    CoreHarness h;
    Core& core = h.started();
    const QByteArray d = "agAnn" + sep() + " In";
    core.setClosing();
    core.onDatagramReceived(nullptr, d.constData(), int(d.size()), "10.0.0.7", 55555);
    EXPECT_EQ(core.roster().count(), 1);
}

TEST(Dispatch, ArbitraryBytesNeverCrash) {
    CoreHarness h;
    Core& core = h.started();
    QRandomGenerator rng(20261208);
    QList<QByteArray> inputs = {QByteArray(),
                                QByteArray(1, 'z'),
                                QByteArray(1, 'a'),
                                QByteArray(65000, kSep),
                                "z" + QByteArray(64999, kSep),
                                "a" + QByteArray(64999, kSep),
                                "vl" + QByteArray(3, kSep),
                                "zg" + sep(),
                                "ag" + sep(),
                                "m" + sep()};
    for (int i = 0; i < 3000; ++i) {
        QByteArray d(qsizetype(rng.bounded(i < 2900 ? 40 : 65000)), Qt::Uninitialized);
        for (char& c : d) {
            const quint32 r = rng.bounded(6);
            c = r == 0 ? kSep : r == 1 ? "azmMvdr7bBx"[rng.bounded(11)] : char(rng.bounded(256));
        }
        inputs.append(d);
    }
    for (const QByteArray& d : inputs) {
        core.onDatagramReceived(nullptr, d.constData(), int(d.size()), "10.0.0.7", 55555);
        core.onDatagramReceived(nullptr, d.constData(), int(d.size()), "10.0.0.5", 55555);
    }
    // Whatever arrived, the own entry is still there and every entry has its separator.
    ASSERT_GE(core.roster().count(), 1);
    for (const QByteArray& e : core.roster().entries())
        EXPECT_TRUE(e.contains(kSep));
}
