// The network that laptops and offices really have: the address changes, datagrams come back
// from other interfaces, sending fails for a while, and other copies send what they like.

#include "core/net/Datagram.h"
#include "core/net/OwnAddress.h"
#include "support/CoreHarness.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::CoreHarness;
using velmora::test::sep;

TEST(NetworkChange, ANewAddressIsFollowedAnnouncedAndAnsweredOn) {
    CoreHarness h;
    QByteArray address = "10.0.0.5";
    h.config.lookUpOwnAddress = [&address] { return address; };
    Core& core = h.started();
    core.everyTenSeconds();
    EXPECT_TRUE(h.sent.isEmpty()); // unchanged: nothing to say

    address = "10.9.9.9";
    core.everyTenSeconds();
    EXPECT_EQ(core.own().address, "10.9.9.9");
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_TRUE(h.sent[0].startsWith("agOPERATOR" + sep())) << h.sent[0].constData();
    // The own row now stands under the new address, and messages to it are confirmed.
    EXPECT_TRUE(core.roster().entries()[0].startsWith("10.9.9.9=OPERATOR"));
    h.sent.clear();
    core.dispatchDatagram("m10.9.9.9" + sep() + "hello - - - From Ann (10.0.0.7)", "10.0.0.7");
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_TRUE(h.sent[0].startsWith("vl10.0.0.7" + sep()));
}

TEST(NetworkChange, OwnDatagramsFromAnotherInterfaceKeepTheOwnRow) {
    CoreHarness h;
    h.config.lookUpLocalAddresses = [] { return QList<QByteArray>{"10.0.0.5", "172.17.0.1"}; };
    Core& core = h.started();
    const QByteArray echo = "afOPERATOR" + sep() + " Busy - In but unavailable";
    core.onDatagramReceived(nullptr, echo.constData(), int(echo.size()), "172.17.0.1", 55555);
    ASSERT_EQ(core.roster().count(), 1);
    EXPECT_TRUE(core.roster().entries()[0].startsWith("10.0.0.5=OPERATOR" + sep() + "f"));
}

TEST(NetworkChange, AFailingSendIsToldOnceAndItsEndToo) {
    CoreHarness h;
    h.config.remotePort = 0; // refused by the kernel before anything leaves
    Core& core = h.make();
    QSignalSpy failed(&core, &Core::datagramSendFailed);
    QSignalSpy lost(&core, &Core::connectionLost);
    QSignalSpy restored(&core, &Core::connectionRestored);
    core.startUp();
    core.finishStartUp(); // the "In" announcement and the refresh request
    EXPECT_GE(failed.count(), 2);
    ASSERT_EQ(lost.count(), 1);
    EXPECT_FALSE(lost[0][0].toString().isEmpty());
    core.sender().setRemotePort(9);
    core.presence().resendMyStatus();
    core.presence().resendMyStatus();
    EXPECT_EQ(restored.count(), 1);
    EXPECT_EQ(lost.count(), 1);
}

TEST(NetworkChange, ASendSaysWhatBecameOfTheDatagram) {
    const struct {
        quint16 port;
        int size;
        SendResult::Outcome outcome;
        const char* reason; // empty: any text of the system's
        int failedSignals;
    } cases[] = {
        {9, 10, SendResult::Outcome::Sent, "", 0},
        {9, 70000, SendResult::Outcome::Refused, "Package Size Too Big: 70000", 0},
        {0, 10, SendResult::Outcome::Lost, "", 1}, // the kernel refuses port 0
    };
    for (const auto& c : cases) {
        CoreHarness h;
        h.config.remotePort = c.port;
        Core& core = h.make();
        QSignalSpy failed(&core, &Core::datagramSendFailed);
        const SendResult result = core.sendDatagram(QByteArray(c.size, 'x'));
        EXPECT_EQ(result.outcome, c.outcome) << c.size;
        if (*c.reason) {
            EXPECT_EQ(result.reason, QString::fromLatin1(c.reason));
        }
        EXPECT_EQ(result.reason.isEmpty(), result.sent());
        EXPECT_EQ(failed.count(), c.failedSignals);
        EXPECT_EQ(h.sent.size(), result.sent() ? 1 : 0);
    }
}

TEST(NetworkChange, OnlyProperBroadcastAddressesArePassedOnOrKept) {
    const struct {
        QByteArray address;
        bool proper;
    } cases[] = {{"10.0.0.255", true},
                 {"192.168.1.255", true},
                 {"999.1.1.255", false},
                 {"1.2.3.4255", false},
                 {"10.0.0.25", false},
                 {"10..0.255", false},
                 {QByteArray(64000, '7'), false},
                 {QByteArray("\xF7\x01\x02", 3), false}};
    for (const auto& c : cases) {
        CoreHarness h;
        Core& core = h.started();
        const QByteArray before = core.presence().broadcastAddress();
        core.dispatchDatagram(datagram::broadcastProposal(c.address), "10.0.0.7");
        EXPECT_EQ(h.sent.size(), c.proper ? 1 : 0) << c.address.left(20).constData();
        core.dispatchDatagram("B" + datagram::broadcastProposal(c.address).mid(1), "10.0.0.7");
        EXPECT_EQ(core.presence().broadcastAddress(), c.proper ? c.address : before);
        EXPECT_EQ(isDottedAddress(c.address), c.proper || c.address == "10.0.0.25");
    }
}

TEST(NetworkChange, AddressesReadFromTextAndTheInterfaces) {
    const struct {
        QByteArray text;
        std::optional<quint32> address;
    } cases[] = {{"10.77.0.255", 0x0A4D00FFu},
                 {"0.0.0.0", 0u},
                 {"255.255.255.255", 0xFFFFFFFFu},
                 {"10.0.0", std::nullopt},
                 {"256.1.1.1", std::nullopt},
                 {"", std::nullopt},
                 {"::1", std::nullopt}};
    for (const auto& c : cases) {
        EXPECT_EQ(ipv4FromText(c.text), c.address) << c.text.constData();
        if (c.address) {
            EXPECT_EQ(ipv4Text(*c.address), c.text);
        }
    }
    // Every computer has the loopback: up, with its /8.
    EXPECT_EQ(interfaceCarrying("127.0.0.1").prefixLength, 8);
    EXPECT_TRUE(localAddresses().contains("127.0.0.1"));
}

TEST(NetworkChange, ARelayShowsWhatTheDirectAnnouncementShowed) {
    for (const QByteArray& name : {QByteArray("Ann"), QByteArray("x/yyy\\z/abc\\ Q"),
                                   QByteArray("a/b\\c"), QByteArray(500, 'N')}) {
        const QByteArray status(900, 's');
        CoreHarness heard;
        Core& direct = heard.started();
        direct.dispatchDatagram("ay" + name + sep() + " " + status, "10.0.0.7");
        const QByteArray shown = direct.roster().entries().last();
        // What a relay of that entry makes of it on another copy.
        const RosterFields f = Roster::split(shown);
        const QByteArray relay = datagram::proxyAnnouncement(
            f.code, f.address, Presence::relayedName(f.name) + sep() + " " + f.status);
        CoreHarness other("10.0.0.6");
        Core& relayed = other.started();
        relayed.dispatchDatagram(relay, "10.0.0.8");
        EXPECT_EQ(relayed.roster().entries().last(), shown) << name.left(20).constData();
    }
}
