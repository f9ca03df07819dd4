// Presence: what a copy sends, and when, to keep every roster current without a server.

#include "core/net/Datagram.h"
#include "support/CoreHarness.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::CoreHarness;
using velmora::test::Sep;

namespace {

QByteArray Stamp() {
    return " ( 9:05 AM on Mon)";
}

int CountStartingWith(const QList<QByteArray>& sent, char kind) {
    int n = 0;
    for (const QByteArray& d : sent)
        n += d.startsWith(kind);
    return n;
}

} // namespace

TEST(Presence, StartUpAnnouncesInThenAsksEveryoneAndAnswersItsOwnRequest) {
    CoreHarness h;
    TVelmoraCore& core = h.Make();
    core.FormCreate();
    core.DeferredStartup();
    ASSERT_EQ(h.sent.size(), 2);
    EXPECT_EQ(h.sent[0], "agOPERATOR" + Sep() + " In" + Stamp());
    EXPECT_EQ(h.sent[1], "r OPERATOR");
    EXPECT_FALSE(core.Presence().ReannounceFlag());

    // The own refresh request comes back; the next second answers it once.
    core.DispatchDatagram(h.sent[1], "10.0.0.5");
    core.Timer2Timer();
    core.Timer2Timer();
    ASSERT_EQ(h.sent.size(), 3);
    EXPECT_EQ(h.sent[2], "agOPERATOR" + Sep() + " In" + Stamp());
}

TEST(Presence, StartUpWithoutStampOptionsSendsNoStamp) {
    CoreHarness h;
    TVelmoraCore& core = h.Make();
    core.FormCreate();
    core.Options().ShwTime = false;
    core.Options().TimeStrEnd = false;
    core.DeferredStartup();
    EXPECT_EQ(h.sent.value(0), "agOPERATOR" + Sep() + " In");
    EXPECT_TRUE(core.Own().stamp.isEmpty());
}

TEST(Presence, RefreshRequestsWithinOneSecondGiveOneAnswer) {
    CoreHarness h;
    TVelmoraCore& core = h.Started();
    core.DispatchDatagram("r Ann", "10.0.0.7");
    core.DispatchDatagram("r Bob", "10.0.0.8");
    core.Timer2Timer();
    core.Timer2Timer();
    EXPECT_EQ(CountStartingWith(h.sent, 'a'), 1);
}

TEST(Presence, AnswerCarriesTheStampAnotherUserGaveMe) {
    CoreHarness h("10.0.0.5");
    TVelmoraCore& core = h.Started();
    core.Options().ShwTime = false;
    core.DispatchDatagram("zy10.0.0.5" + Sep() + "OPERATOR" + Sep() + " Meeting ( 2:00 PM on Tue)",
                          "10.0.0.8");
    h.clock.Advance(3600 * 1000);
    core.DispatchDatagram("r Ann", "10.0.0.7");
    core.Timer2Timer();
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_EQ(h.sent[0], "ayOPERATOR" + Sep() + " Meeting ( 2:00 PM on Tue)");
}

TEST(Presence, ResendMyStatusFollowsTheStampOption) {
    CoreHarness h;
    TVelmoraCore& core = h.Started();
    const QByteArray oldStamp = core.Own().stamp;
    ASSERT_FALSE(oldStamp.isEmpty());

    core.Options().ShwTime = false;
    core.Presence().ResendMyStatus();
    EXPECT_EQ(h.sent.value(0), "agOPERATOR" + Sep() + " In");
    EXPECT_EQ(core.Own().stamp, oldStamp);

    core.Options().ShwTime = true;
    h.clock.Advance(60 * 60 * 1000 + 60 * 1000); // 10:06
    core.Presence().ResendMyStatus();
    EXPECT_EQ(h.sent.value(1), "agOPERATOR" + Sep() + " In ( 10:06 AM on Mon)");
}

TEST(Presence, RosterResetRebuildsFromTheOwnStatusAndAsksAgain) {
    CoreHarness h("10.0.0.5");
    TVelmoraCore& core = h.Started();
    core.DispatchDatagram("agAnn" + Sep() + " In", "10.0.0.7");
    core.DispatchDatagram("agAnn" + Sep() + " In", "10.0.0.7");
    core.Presence().AnnounceOwnStatus('y', "At lunch", true, false, false);
    h.sent.clear();

    core.DispatchDatagram("7 Ann", "10.0.0.7");
    ASSERT_EQ(core.Roster().Count(), 1);
    EXPECT_TRUE(h.Entry(0).startsWith("10.0.0.5=OPERATOR" + Sep() + "yAt lunch"));
    // Nothing but the refresh request goes out; the marks stay.
    EXPECT_EQ(h.sent, QList<QByteArray>{"r OPERATOR"});
    EXPECT_TRUE(core.Roster().Seen().test(1));

    core.Presence().RefreshStatusList();
    EXPECT_EQ(h.sent.value(1), "7 OPERATOR");
}

TEST(Presence, RelayPassesOnSilentPeopleFromTheThirdTick) {
    CoreHarness h("10.0.0.5");
    TVelmoraCore& core = h.Started();
    // Ann is heard twice (marked seen), Bob once (appended, never marked).
    core.DispatchDatagram("arAnn" + Sep() + " Out  (off-line)", "10.0.0.7");
    core.DispatchDatagram("arAnn" + Sep() + " Out  (off-line)", "10.0.0.7");
    core.DispatchDatagram("agBob" + Sep() + " In", "10.0.0.8");
    core.DispatchDatagram("r X", "10.0.0.9"); // empties the answered set, restarts the scan
    h.sent.clear();

    core.Timer1Timer();
    core.Timer1Timer();
    EXPECT_TRUE(h.sent.isEmpty());
    EXPECT_EQ(core.Presence().RelayScanPosition(), 0);

    // Three scan steps: the own entry (replaced by the own start-up announcement, so seen),
    // Ann, and Bob, who was never heard twice and is not passed on.
    for (int i = 0; i < 3; ++i)
        core.Timer1Timer();
    EXPECT_EQ(h.sent.count("zr10.0.0.7" + Sep() + "Ann" + Sep() + " Out  (off-line)"), 1);
    EXPECT_EQ(h.sent.count("zg10.0.0.5" + Sep() + "OPERATOR" + Sep() + " In" + Stamp()), 1);
    EXPECT_EQ(CountStartingWith(h.sent, 'z'), 2);
    EXPECT_EQ(core.Presence().RelayDelayCounter(), 5);
}

TEST(Presence, RelayWrapsAndNeverTouchesPositionsFrom208) {
    CoreHarness h("10.0.0.5");
    TVelmoraCore& core = h.Started();
    for (int i = 1; i < 300; ++i) {
        const QByteArray d = "ayP" + QByteArray::number(i) + Sep() + " Away";
        const QByteArray from = "10.1." + QByteArray::number(i / 200) + "." + QByteArray::number(i);
        core.DispatchDatagram(d, from);
        core.DispatchDatagram(d, from);
    }
    core.DispatchDatagram("r X", "10.0.0.9");
    h.sent.clear();
    for (int i = 0; i < 2 + 301 * 2; ++i)
        core.Timer1Timer();
    // Every marked person once per pass, twice in two passes; nobody from position 208 on.
    EXPECT_EQ(CountStartingWith(h.sent, 'z'), 2 * 208);
    for (const QByteArray& d : h.sent) {
        const int number =
            d.mid(d.indexOf(kSep) + 2, d.lastIndexOf(kSep) - d.indexOf(kSep) - 2).toInt();
        EXPECT_LT(number, 208) << d.constData();
    }
}

TEST(Presence, SubnetBroadcastCommandValidatesAndRestoresTheSetting) {
    CoreHarness h;
    TVelmoraCore& core = h.Started();
    for (const char* bad :
         {"10.0.0.25", "10..0.255", "1.2.3.4.255", "a.b.c.255", "1.2.255", "10.0.0.0255x"})
        EXPECT_FALSE(core.Presence().SendBroadcastProposal(bad)) << bad;
    EXPECT_TRUE(h.sent.isEmpty());
    EXPECT_TRUE(core.Presence().SendBroadcastProposal("10.0.255.255"));
    EXPECT_EQ(h.sent, QList<QByteArray>{"b 10.0.255.255"});
    EXPECT_EQ(core.Presence().BroadcastAddress(), "255.255.255.255");
}

TEST(Presence, LastWordsAtExit) {
    struct Case {
        char code;
        QByteArray text;
        bool delBusyIn;
        QByteArray expected;
    };
    const QList<Case> cases = {
        {'f', "Busy - In but unavailable", true, "arOPERATOR" + Sep() + " Out  (off-line)"},
        {'f', "Busy - In but unavailable", false,
         "afOPERATOR" + Sep() + " Busy - In but unavailable (off-line)"},
        {'y', "At lunch", true, "ayOPERATOR" + Sep() + " At lunch (off-line)"},
    };
    for (const Case& c : cases) {
        CoreHarness h;
        TVelmoraCore& core = h.Started();
        core.Options().ShwTime = core.Options().TimeStrEnd = false;
        core.Options().DelbsyIn = c.delBusyIn;
        core.Presence().AnnounceOwnStatus(c.code, c.text, false, false, false);
        core.FormDestroy();
        EXPECT_EQ(h.sent, QList<QByteArray>{c.expected});
    }
}

TEST(Presence, LogOffAnnouncesOnceAndSaves) {
    {
        CoreHarness h;
        TVelmoraCore& core = h.Started();
        core.Options().ShwTime = core.Options().TimeStrEnd = false;
        core.WMQueryEndSession();
        core.FormDestroy(); // the teardown that follows sends nothing more
        EXPECT_EQ(h.sent, QList<QByteArray>{"arOPERATOR" + Sep() + " Out <shut down>"});
        EXPECT_TRUE(QFile::exists(h.config.settingsPath));
    }
    {
        CoreHarness h;
        TVelmoraCore& core = h.Started();
        core.Options().ShwTime = core.Options().TimeStrEnd = false;
        core.Options().shtdwnOut = false;
        core.Options().DelbsyIn = false;
        core.WMQueryEndSession();
        core.FormDestroy();
        EXPECT_EQ(h.sent, QList<QByteArray>{"arOPERATOR" + Sep() + " Out (off-line)"});
        EXPECT_TRUE(core.Closing());
    }
}

TEST(TimeStamp, TwelveAndTwentyFourHourForms) {
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QDate monday(2026, 12, 7);
    EXPECT_EQ(FormatTimeStamp(QDateTime(monday, QTime(9, 5)), en), " ( 9:05 AM on Mon)");
    EXPECT_EQ(FormatTimeStamp(QDateTime(monday, QTime(0, 30)), en), " ( 12:30 AM on Mon)");
    EXPECT_EQ(FormatTimeStamp(QDateTime(monday.addDays(5), QTime(12, 0)), en),
              " ( 12:00 PM on Sat)");
    EXPECT_EQ(FormatShortTimeStamp(QDateTime(monday, QTime(23, 59)), en), " ( 11:59 PM)");
    EXPECT_EQ(FormatTimeStamp(QDateTime(monday, QTime(0, 7)), en, true), " ( 0:07 on Mon)");
    EXPECT_EQ(TimeStampStart("In ( 9:05 AM on Mon)"), 2);
    EXPECT_EQ(TimeStampStart("In ( 9:05 AM on Mon) x"), -1);
}

TEST(Presence, TheTwentyFourHourChoiceStampsAndIsKept) {
    CoreHarness h;
    TVelmoraCore& core = h.Started();
    core.Options().clock24 = true;
    h.clock.Set(QDateTime(QDate(2026, 12, 7), QTime(17, 4)));
    core.Presence().ResendMyStatus();
    EXPECT_EQ(h.sent.value(0), "agOPERATOR" + Sep() + " In ( 17:04 on Mon)");
    core.SaveAllSettings();

    CoreHarness again;
    again.config.settingsPath = h.config.settingsPath;
    again.Make().FormCreate();
    EXPECT_TRUE(again.core->Options().clock24);
}
