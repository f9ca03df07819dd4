// Presence: what a copy sends, and when, to keep every roster current without a server.

#include "core/net/Datagram.h"
#include "core/net/TimeStamp.h"
#include "support/CoreHarness.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::CoreHarness;
using velmora::test::sep;
using velmora::test::stamp;

namespace {

int countOfKind(const QList<QByteArray>& sent, datagram::Kind kind) {
    int n = 0;
    for (const QByteArray& d : sent)
        n += datagram::kindOf(d) == kind;
    return n;
}

} // namespace

TEST(Presence, StartUpAnnouncesInThenAsksEveryoneAndAnswersItsOwnRequest) {
    CoreHarness h;
    Core& core = h.make();
    core.startUp();
    core.finishStartUp();
    ASSERT_EQ(h.sent.size(), 2);
    EXPECT_EQ(h.sent[0], "agOPERATOR" + sep() + " In" + stamp());
    EXPECT_EQ(h.sent[1], "r OPERATOR");
    EXPECT_FALSE(core.presence().reannounceFlag());

    // The own refresh request comes back; the next second answers it once.
    core.dispatchDatagram(h.sent[1], "10.0.0.5");
    core.everySecond();
    core.everySecond();
    ASSERT_EQ(h.sent.size(), 3);
    EXPECT_EQ(h.sent[2], "agOPERATOR" + sep() + " In" + stamp());
}

TEST(Presence, StartUpWithoutStampOptionsSendsNoStamp) {
    CoreHarness h;
    Core& core = h.make();
    core.startUp();
    core.changeOptions([](Options& o) { o.stampChanges = o.stampStartAndEnd = false; });
    core.finishStartUp();
    EXPECT_EQ(h.sent.value(0), "agOPERATOR" + sep() + " In");
    EXPECT_TRUE(core.own().stamp.isEmpty());
}

TEST(Presence, RefreshRequestsWithinOneSecondGiveOneAnswer) {
    CoreHarness h;
    Core& core = h.started();
    core.dispatchDatagram("r Ann", "10.0.0.7");
    core.dispatchDatagram("r Bob", "10.0.0.8");
    core.everySecond();
    core.everySecond();
    EXPECT_EQ(countOfKind(h.sent, datagram::Kind::StatusAnnouncement), 1);
}

TEST(Presence, AnswerCarriesTheStampAnotherUserGaveMe) {
    CoreHarness h("10.0.0.5");
    Core& core = h.started();
    core.changeOptions([](Options& o) { o.stampChanges = false; });
    core.dispatchDatagram("zy10.0.0.5" + sep() + "OPERATOR" + sep() + " Meeting ( 2:00 PM on Tue)",
                          "10.0.0.8");
    h.clock.advance(3600 * 1000);
    core.dispatchDatagram("r Ann", "10.0.0.7");
    core.everySecond();
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_EQ(h.sent[0], "ayOPERATOR" + sep() + " Meeting ( 2:00 PM on Tue)");
}

TEST(Presence, ResendMyStatusFollowsTheStampOption) {
    CoreHarness h;
    Core& core = h.started();
    const QByteArray oldStamp = core.own().stamp;
    ASSERT_FALSE(oldStamp.isEmpty());

    core.changeOptions([](Options& o) { o.stampChanges = false; });
    core.presence().resendMyStatus();
    EXPECT_EQ(h.sent.value(0), "agOPERATOR" + sep() + " In");
    EXPECT_EQ(core.own().stamp, oldStamp);

    core.changeOptions([](Options& o) { o.stampChanges = true; });
    h.clock.advance(60 * 60 * 1000 + 60 * 1000); // 10:06
    core.presence().resendMyStatus();
    EXPECT_EQ(h.sent.value(1), "agOPERATOR" + sep() + " In ( 10:06 AM on Mon)");
}

TEST(Presence, RosterResetRebuildsFromTheOwnStatusAndAsksAgain) {
    CoreHarness h("10.0.0.5");
    Core& core = h.started();
    core.dispatchDatagram("agAnn" + sep() + " In", "10.0.0.7");
    core.dispatchDatagram("agAnn" + sep() + " In", "10.0.0.7");
    core.presence().announceOwnStatus(StatusCode::Remark, "At lunch", {});
    h.sent.clear();

    core.dispatchDatagram("7 Ann", "10.0.0.7");
    ASSERT_EQ(core.roster().count(), 1);
    EXPECT_TRUE(h.entry(0).startsWith("10.0.0.5=OPERATOR" + sep() + "yAt lunch"));
    // Nothing but the refresh request goes out; the marks stay.
    EXPECT_EQ(h.sent, QList<QByteArray>{"r OPERATOR"});
    EXPECT_TRUE(core.roster().seen().test(1));

    core.presence().refreshStatusList();
    EXPECT_EQ(h.sent.value(1), "7 OPERATOR");
}

TEST(Presence, RelayPassesOnSilentPeopleFromTheThirdTick) {
    CoreHarness h("10.0.0.5");
    Core& core = h.started();
    // Ann is heard twice (marked seen), Bob once (appended, never marked).
    core.dispatchDatagram("arAnn" + sep() + " Out  (off-line)", "10.0.0.7");
    core.dispatchDatagram("arAnn" + sep() + " Out  (off-line)", "10.0.0.7");
    core.dispatchDatagram("agBob" + sep() + " In", "10.0.0.8");
    core.dispatchDatagram("r X", "10.0.0.9"); // empties the answered set, restarts the scan
    h.sent.clear();

    core.everyTenSeconds();
    core.everyTenSeconds();
    EXPECT_TRUE(h.sent.isEmpty());
    EXPECT_EQ(core.presence().relayScanPosition(), 0);

    // Three scan steps: the own entry (replaced by the own start-up announcement, so seen),
    // Ann, and Bob, who was never heard twice and is not passed on.
    for (int i = 0; i < 3; ++i)
        core.everyTenSeconds();
    EXPECT_EQ(h.sent.count("zr10.0.0.7" + sep() + "Ann" + sep() + " Out  (off-line)"), 1);
    EXPECT_EQ(h.sent.count("zg10.0.0.5" + sep() + "OPERATOR" + sep() + " In" + stamp()), 1);
    EXPECT_EQ(countOfKind(h.sent, datagram::Kind::ProxyAnnouncement), 2);
    EXPECT_EQ(core.presence().relayDelayCounter(), 5);
}

TEST(Presence, RelayWrapsAndNeverTouchesPositionsFrom208) {
    CoreHarness h("10.0.0.5");
    Core& core = h.started();
    for (int i = 1; i < 300; ++i) {
        const QByteArray d = "ayP" + QByteArray::number(i) + sep() + " Away";
        const QByteArray from = "10.1." + QByteArray::number(i / 200) + "." + QByteArray::number(i);
        core.dispatchDatagram(d, from);
        core.dispatchDatagram(d, from);
    }
    core.dispatchDatagram("r X", "10.0.0.9");
    h.sent.clear();
    for (int i = 0; i < 2 + 301 * 2; ++i)
        core.everyTenSeconds();
    // Every marked person once per pass, twice in two passes; nobody from position 208 on.
    EXPECT_EQ(countOfKind(h.sent, datagram::Kind::ProxyAnnouncement), 2 * 208);
    for (const QByteArray& d : h.sent) {
        const int number =
            d.mid(d.indexOf(kSep) + 2, d.lastIndexOf(kSep) - d.indexOf(kSep) - 2).toInt();
        EXPECT_LT(number, 208) << d.constData();
    }
}

TEST(Presence, SubnetBroadcastCommandValidatesAndRestoresTheSetting) {
    CoreHarness h;
    Core& core = h.started();
    for (const char* bad :
         {"10.0.0.25", "10..0.255", "1.2.3.4.255", "a.b.c.255", "1.2.255", "10.0.0.0255x"})
        EXPECT_FALSE(core.presence().sendBroadcastProposal(bad)) << bad;
    EXPECT_TRUE(h.sent.isEmpty());
    EXPECT_TRUE(core.presence().sendBroadcastProposal("10.0.255.255"));
    EXPECT_EQ(h.sent, QList<QByteArray>{"b 10.0.255.255"});
    EXPECT_EQ(core.presence().broadcastAddress(), "255.255.255.255");
}

TEST(Presence, LastWordsAtExit) {
    struct Case {
        StatusCode code;
        QByteArray text;
        bool delBusyIn;
        QByteArray expected;
    };
    const QList<Case> cases = {
        {StatusCode::Busy, "Busy - In but unavailable", true,
         "arOPERATOR" + sep() + " Out  (off-line)"},
        {StatusCode::Busy, "Busy - In but unavailable", false,
         "afOPERATOR" + sep() + " Busy - In but unavailable (off-line)"},
        {StatusCode::Remark, "At lunch", true, "ayOPERATOR" + sep() + " At lunch (off-line)"},
    };
    for (const Case& c : cases) {
        CoreHarness h;
        Core& core = h.started();
        core.changeOptions([&](Options& o) {
            o.stampChanges = o.stampStartAndEnd = false;
            o.exitAsOut = c.delBusyIn;
        });
        core.presence().announceOwnStatus(c.code, c.text, {.send = false});
        core.shutDown();
        EXPECT_EQ(h.sent, QList<QByteArray>{c.expected});
    }
}

TEST(Presence, LogOffAnnouncesOnceAndSaves) {
    {
        CoreHarness h;
        Core& core = h.started();
        core.changeOptions([](Options& o) { o.stampChanges = o.stampStartAndEnd = false; });
        core.logOff();
        core.shutDown(); // the teardown that follows sends nothing more
        EXPECT_EQ(h.sent, QList<QByteArray>{"arOPERATOR" + sep() + " Out <shut down>"});
        EXPECT_TRUE(QFile::exists(h.config.settingsPath));
    }
    {
        CoreHarness h;
        Core& core = h.started();
        core.changeOptions([](Options& o) {
            o.stampChanges = o.stampStartAndEnd = false;
            o.outOnPowerDown = o.exitAsOut = false;
        });
        core.logOff();
        core.shutDown();
        EXPECT_EQ(h.sent, QList<QByteArray>{"arOPERATOR" + sep() + " Out (off-line)"});
        EXPECT_TRUE(core.closing());
    }
}

TEST(Presence, SleepSaysTheLogOffsLastWordAndTheWakeTakesItBack) {
    const struct {
        bool stamps;
        bool outOnPowerDown;
        QByteArray lastWord;
    } rows[] = {
        {false, true, "arOPERATOR" + sep() + " Out <shut down>"},
        {true, false, "arOPERATOR" + sep() + " Out (off-line) ( 10:30 AM on Mon)"},
    };
    for (const auto& row : rows) {
        CoreHarness h;
        Core& core = h.started();
        core.changeOptions([&](Options& o) {
            o.stampChanges = o.stampStartAndEnd = row.stamps;
            o.outOnPowerDown = row.outOnPowerDown;
        });
        core.presence().announceOwnStatus(StatusCode::Remark, "At lunch", {.send = false});
        h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(10, 30)));
        EXPECT_TRUE(core.goToSleep());
        EXPECT_FALSE(core.goToSleep()); // a second sleep before the wake says nothing more
        EXPECT_EQ(h.sent, QList<QByteArray>{row.lastWord});
        EXPECT_TRUE(QFile::exists(h.config.settingsPath));
        h.sent.clear();
        core.wakeUp();
        core.wakeUp();
        // The status and stamp held before the sleep, as a re-announcement gives them.
        EXPECT_EQ(h.sent,
                  (QList<QByteArray>{"ayOPERATOR" + sep() + " At lunch" + stamp(), "r OPERATOR"}));
        EXPECT_FALSE(core.closing());
    }
}

TEST(TimeStamp, TwelveAndTwentyFourHourForms) {
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QDate monday(2026, 12, 7);
    EXPECT_EQ(formatTimeStamp(QDateTime(monday, QTime(9, 5)), en), " ( 9:05 AM on Mon)");
    EXPECT_EQ(formatTimeStamp(QDateTime(monday, QTime(0, 30)), en), " ( 12:30 AM on Mon)");
    EXPECT_EQ(formatTimeStamp(QDateTime(monday.addDays(5), QTime(12, 0)), en),
              " ( 12:00 PM on Sat)");
    EXPECT_EQ(formatShortTimeStamp(QDateTime(monday, QTime(23, 59)), en), " ( 11:59 PM)");
    EXPECT_EQ(formatTimeStamp(QDateTime(monday, QTime(0, 7)), en, true), " ( 0:07 on Mon)");
    EXPECT_EQ(timeStampStart("In ( 9:05 AM on Mon)"), 2);
    EXPECT_EQ(timeStampStart("In ( 9:05 AM on Mon) x"), -1);
}

TEST(Presence, TheTwentyFourHourChoiceStampsAndIsKept) {
    CoreHarness h;
    Core& core = h.started();
    core.changeOptions([](Options& o) { o.use24HourClock = true; });
    h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(17, 4)));
    core.presence().resendMyStatus();
    EXPECT_EQ(h.sent.value(0), "agOPERATOR" + sep() + " In ( 17:04 on Mon)");
    core.saveAllSettings();

    CoreHarness again;
    again.config.settingsPath = h.config.settingsPath;
    again.make().startUp();
    EXPECT_TRUE(again.core->options().use24HourClock);
}
