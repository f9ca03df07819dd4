// The wire format as a receiver sees it: every kind through DispatchDatagram.

#include "core/net/Datagram.h"
#include "support/CoreHarness.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::CoreHarness;
using velmora::test::Sep;

TEST(DatagramFormat, BuildersLayOutFieldsInOrder) {
    EXPECT_EQ(datagram::StatusAnnouncement('f', "Ann", "Busy"), "afAnn" + Sep() + " Busy");
    EXPECT_EQ(datagram::ProxyAnnouncement('r', "10.0.0.7", "Bob" + Sep() + " Out"),
              "zr10.0.0.7" + Sep() + "Bob" + Sep() + " Out");
    EXPECT_EQ(datagram::Receipt("10.0.0.5", "Cay"), "vl10.0.0.5" + Sep() + "Cay");
    EXPECT_EQ(datagram::AddressedMessage("10.0.0.9", "hi\r\n",
                                         datagram::MessageTrailer("Ann", "10.0.0.5")),
              "m10.0.0.9" + Sep() + "hi\r\n - - - From Ann (10.0.0.5)");
    EXPECT_EQ(datagram::RefreshRequest("Ann"), "r Ann");
    EXPECT_EQ(datagram::RosterResetCommand("Ann"), "7 Ann");
}

TEST(DatagramFormat, StatusAnnouncementParsing) {
    // The name must be at least one character: the separator at position 4 or later.
    EXPECT_FALSE(datagram::ParseStatusAnnouncement("ag" + Sep() + " In"));
    EXPECT_FALSE(datagram::ParseStatusAnnouncement("agAnn In"));
    const auto a = datagram::ParseStatusAnnouncement("agA" + Sep() + " \t In \x01\r\n");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->name, "A");
    EXPECT_EQ(a->status, "In");

    // At most 999 characters after the separator count, blanks around them removed.
    const auto longOne =
        datagram::ParseStatusAnnouncement("agAnn" + Sep() + " " + QByteArray(1200, 'x'));
    ASSERT_TRUE(longOne);
    EXPECT_EQ(longOne->status.size(), 998); // the leading blank was one of the 999
}

TEST(DatagramFormat, NameNormalisation) {
    EXPECT_EQ(datagram::NormaliseName("Sales/East \\ Ann"), "Ann");
    EXPECT_EQ(datagram::NormaliseName("a/b\\c"), "a/b\\c");  // "\" only one after "/"
    EXPECT_EQ(datagram::NormaliseName("a/bc\\ Dee"), "Dee"); // two positions after "/"
    EXPECT_EQ(datagram::NormaliseName("a\\b/c"), "a\\b/c");  // "\" before the "/"
    EXPECT_EQ(datagram::NormaliseName("No slash \\ here"), "No slash \\ here");
    EXPECT_EQ(datagram::NormaliseName("x/yyy\\"), ""); // nothing after the "\"
}

TEST(DatagramFormat, ReceiptAndMessageFields) {
    const auto r = datagram::ParseReceipt("vl10.0.0.5" + Sep() + "Cay");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->address, "10.0.0.5");
    EXPECT_EQ(r->name, "Cay  ");
    EXPECT_FALSE(datagram::ParseReceipt("vl10.0.0.5"));
    EXPECT_EQ(datagram::MessageShownText("Mhello - - - From A (1.2.3.4)"),
              "hello - - - From A (1.2.3.4)");
    EXPECT_EQ(datagram::MessageShownText("m1.2.3.4" + Sep() + "x" + Sep() + "y"),
              "x" + Sep() + "y");
    EXPECT_EQ(datagram::DiscussionLine("dAnn > hi"), "Ann > hi");
}

TEST(Dispatch, StatusAnnouncementUpdatesTheSourcesEntry) {
    CoreHarness h;
    TVelmoraCore& core = h.Started();
    core.DispatchDatagram("agAnn" + Sep() + " In", "10.0.0.7");
    EXPECT_EQ(h.Entry(1), "10.0.0.7=Ann" + Sep() + "gIn");
    // Without a name nothing changes.
    core.DispatchDatagram("ag" + Sep() + " Out", "10.0.0.7");
    EXPECT_EQ(h.Entry(1), "10.0.0.7=Ann" + Sep() + "gIn");
    EXPECT_EQ(core.Roster().Count(), 2);
    EXPECT_TRUE(h.sent.isEmpty());
}

TEST(Dispatch, ProxyAnnouncementUpdatesTheTargetOnly) {
    CoreHarness h;
    TVelmoraCore& core = h.Started();
    core.DispatchDatagram("agBob" + Sep() + " In", "10.0.0.7");
    core.DispatchDatagram("zr10.0.0.7" + Sep() + "Bob" + Sep() + " Out", "10.0.0.8");
    EXPECT_EQ(h.Entry(1), "10.0.0.7=Bob" + Sep() + "rOut");
    EXPECT_EQ(core.Roster().FindAddress("10.0.0.8"), -1);
    // Without any separator the proxy is ignored.
    core.DispatchDatagram("zg10.0.0.7 Bob In", "10.0.0.8");
    EXPECT_EQ(h.Entry(1), "10.0.0.7=Bob" + Sep() + "rOut");
}

TEST(Dispatch, ProxyForTheOwnAddressBecomesTheOwnStatusWithoutSending) {
    CoreHarness h("10.0.0.5");
    TVelmoraCore& core = h.Started();
    QSignalSpy takenOver(&core, &TVelmoraCore::ownStatusTakenOver);

    core.DispatchDatagram("zy10.0.0.5" + Sep() + "OPERATOR" + Sep() + " At lunch ( 1:15 PM on Mon)",
                          "10.0.0.8");
    EXPECT_EQ(core.Own().code, 'y');
    EXPECT_EQ(core.Own().text, "At lunch");
    EXPECT_EQ(core.Own().stamp, " ( 1:15 PM on Mon)");
    EXPECT_EQ(h.Entry(0), "10.0.0.5=OPERATOR" + Sep() + "yAt lunch ( 1:15 PM on Mon)");
    EXPECT_EQ(takenOver.count(), 1);
    EXPECT_TRUE(h.sent.isEmpty());

    core.DispatchDatagram("zg10.0.0.5" + Sep() + "OPERATOR" + Sep() + " In", "10.0.0.8");
    EXPECT_EQ(core.Own().code, 'g');
    EXPECT_EQ(core.Own().text, "In");
    EXPECT_TRUE(core.Own().stamp.isEmpty());

    // An address that merely starts with the own one is somebody else.
    core.DispatchDatagram("zr10.0.0.50" + Sep() + "Eve" + Sep() + " Out", "10.0.0.8");
    EXPECT_EQ(core.Own().code, 'g');
}

TEST(Dispatch, OwnAnnouncementNeverCountsAsAddressedToMe) {
    CoreHarness h("10.0.0.5");
    TVelmoraCore& core = h.Started();
    QSignalSpy takenOver(&core, &TVelmoraCore::ownStatusTakenOver);
    core.Presence().AnnounceOwnStatus('f', "Busy - In but unavailable", true, false, false);
    EXPECT_EQ(takenOver.count(), 0);
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_EQ(h.sent[0], "afOPERATOR" + Sep() + " Busy - In but unavailable");
}

TEST(Dispatch, SmallKinds) {
    CoreHarness h("10.0.0.5");
    TVelmoraCore& core = h.Started();
    QSignalSpy intoView(&core, &TVelmoraCore::bringIntoViewRequested);

    core.DispatchDatagram("q whatever", "10.0.0.7");
    core.DispatchDatagram("", "10.0.0.7");
    EXPECT_TRUE(h.sent.isEmpty());

    core.DispatchDatagram("b 10.0.0.255", "10.0.0.7");
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_EQ(h.sent[0], "B 10.0.0.255");

    core.DispatchDatagram("B 10.1.255.255", "10.0.0.7");
    EXPECT_EQ(core.Presence().BroadcastAddress(), "10.1.255.255");

    core.DispatchDatagram("x", "10.0.0.7");
    EXPECT_EQ(intoView.count(), 0);
    core.DispatchDatagram("xanything", "10.0.0.5");
    EXPECT_EQ(intoView.count(), 1);
}

TEST(Dispatch, AddressedMessagesReachOnlyTheirTarget) {
    CoreHarness h("10.0.0.90");
    TVelmoraCore& core = h.Started();
    QSignalSpy messages(&core, &TVelmoraCore::messageDatagramArrived);
    core.DispatchDatagram("m10.0.0.9" + Sep() + "hi - - - From A (10.0.0.7)", "10.0.0.7");
    core.DispatchDatagram("m10.0.0.9 no separator", "10.0.0.7");
    EXPECT_EQ(messages.count(), 0);
    core.DispatchDatagram("m10.0.0.90" + Sep() + "hi - - - From A (10.0.0.7)", "10.0.0.7");
    core.DispatchDatagram("Mto all - - - From A (10.0.0.7)", "10.0.0.7");
    EXPECT_EQ(messages.count(), 2);
}

TEST(Dispatch, ClosingDropsReceivedDatagrams) {
    CoreHarness h;
    TVelmoraCore& core = h.Started();
    const QByteArray d = "agAnn" + Sep() + " In";
    core.SetClosing();
    core.wSocketListenUDPData(nullptr, d.constData(), int(d.size()), "10.0.0.7", 55555);
    EXPECT_EQ(core.Roster().Count(), 1);
}

TEST(Dispatch, ArbitraryBytesNeverCrash) {
    CoreHarness h;
    TVelmoraCore& core = h.Started();
    QRandomGenerator rng(20261208);
    QList<QByteArray> inputs = {QByteArray(),
                                QByteArray(1, 'z'),
                                QByteArray(1, 'a'),
                                QByteArray(65000, kSep),
                                "z" + QByteArray(64999, kSep),
                                "a" + QByteArray(64999, kSep),
                                "vl" + QByteArray(3, kSep),
                                "zg" + Sep(),
                                "ag" + Sep(),
                                "m" + Sep()};
    for (int i = 0; i < 3000; ++i) {
        QByteArray d(qsizetype(rng.bounded(i < 2900 ? 40 : 65000)), Qt::Uninitialized);
        for (char& c : d) {
            const quint32 r = rng.bounded(6);
            c = r == 0 ? kSep : r == 1 ? "azmMvdr7bBx"[rng.bounded(11)] : char(rng.bounded(256));
        }
        inputs.append(d);
    }
    for (const QByteArray& d : inputs) {
        core.wSocketListenUDPData(nullptr, d.constData(), int(d.size()), "10.0.0.7", 55555);
        core.wSocketListenUDPData(nullptr, d.constData(), int(d.size()), "10.0.0.5", 55555);
    }
    // Whatever arrived, the own entry is still there and every entry has its separator.
    ASSERT_GE(core.Roster().Count(), 1);
    for (const QByteArray& e : core.Roster().Entries())
        EXPECT_TRUE(e.contains(kSep));
}
