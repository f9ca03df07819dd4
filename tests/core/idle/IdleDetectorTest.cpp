// Idle detection: when the user is shown idle, what counts as input, how the return is
// announced, and the Idle Timeout box.

#include "core/idle/IdleDetector.h"
#include "support/CoreHarness.h"

#include <QFile>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::CoreHarness;
using velmora::test::Sep;

namespace {

QByteArray Stamp() {
    return " ( 9:05 AM on Mon)";
}

// Counts how often the detector looks at the input.
class CountingInput : public TReportedInput {
public:
    QPoint CursorPos() override {
        ++reads;
        return TReportedInput::CursorPos();
    }
    int reads = 0;
};

// A started copy that is "Out to lunch" (red), with the Idle Timeout box at `box` minutes.
struct IdleCopy {
    explicit IdleCopy(const QByteArray& box = "1")
        : core(h.Started()), idle(core.Presence(), core.Own(), core.Options(), input) {
        core.Presence().AnnounceOwnStatus('r', "Out to lunch", true, true, true);
        h.sent.clear();
        core.Options().idle = box;
        idle.ApplyIdleBox();
    }
    // One second passes.
    void Tick() {
        h.clock.Advance(1000);
        idle.Tick();
    }
    // Ticks until the detector has looked at the input once more; returns how many it took.
    int TickThroughCheck() {
        const int before = input.reads;
        int n = 0;
        while (input.reads == before && n < 1000) {
            Tick();
            ++n;
        }
        return n;
    }
    // Ticks until something is sent; returns how many it took.
    int TickUntilSent() {
        const qsizetype before = h.sent.size();
        int n = 0;
        while (h.sent.size() == before && n < 1000) {
            Tick();
            ++n;
        }
        return n;
    }

    CoreHarness h;
    TVelmoraCore& core;
    CountingInput input;
    TIdleDetector idle;
};

} // namespace

TEST(Idle, ShownIdleSixtyOneSecondsAfterTheLastSampleWithInputKeepingTheText) {
    IdleCopy c("1");
    c.input.ReportKeyOrButton();
    c.TickThroughCheck();
    ASSERT_EQ(c.idle.IdleCounter(), 0);
    const QDateTime sampled = c.h.clock.Now();

    EXPECT_EQ(c.TickUntilSent(), 61);
    EXPECT_EQ(sampled.secsTo(c.h.clock.Now()), 61);
    // The old time stamp goes along: going idle is not a change the user made.
    EXPECT_EQ(c.h.sent, QList<QByteArray>{"asOPERATOR" + Sep() + " Out to lunch" + Stamp()});
    EXPECT_EQ(c.core.Own().code, 's');
    EXPECT_EQ(c.core.Own().text, "Out to lunch");
    EXPECT_EQ(c.core.Own().stamp, Stamp());
    EXPECT_EQ(c.idle.RememberedCode(), 'r');
    EXPECT_TRUE(c.idle.IsIdle());

    // Staying away says nothing more.
    for (int i = 0; i < 300; ++i)
        c.Tick();
    EXPECT_EQ(c.h.sent.size(), 1);
}

TEST(Idle, ReturnReannouncesTheRememberedColourWithinOneTickAndCountsAgainFromZero) {
    IdleCopy c("1");
    c.TickUntilSent();
    c.h.sent.clear();

    c.input.ReportKeyOrButton();
    c.Tick();
    EXPECT_EQ(c.h.sent, QList<QByteArray>{"arOPERATOR" + Sep() + " Out to lunch" + Stamp()});
    EXPECT_EQ(c.core.Own().code, 'r');
    EXPECT_EQ(c.idle.IdleCounter(), 0);
    EXPECT_FALSE(c.idle.IsIdle());

    c.h.sent.clear();
    EXPECT_EQ(c.TickUntilSent(), 61);
    EXPECT_EQ(c.h.sent.value(0), "asOPERATOR" + Sep() + " Out to lunch" + Stamp());
}

TEST(Idle, CursorCountsWhenItMovesMoreThanTwoPixelsAcrossOrAtAllUpOrDown) {
    IdleCopy c("1");
    c.input.MoveCursor({100, 100});
    c.TickUntilSent();
    c.h.sent.clear();

    // Idle: every tick looks at the cursor, each time against the previous position.
    for (int x : {101, 103, 101, 99}) {
        c.input.MoveCursor({x, 100});
        c.Tick();
    }
    EXPECT_TRUE(c.h.sent.isEmpty());
    EXPECT_TRUE(c.idle.IsIdle());

    c.input.MoveCursor({99, 101});
    c.Tick();
    EXPECT_EQ(c.h.sent.size(), 1);
    EXPECT_FALSE(c.idle.IsIdle());

    c.TickUntilSent();
    c.input.MoveCursor({96, 101});
    c.Tick();
    EXPECT_FALSE(c.idle.IsIdle());
}

TEST(Idle, ChecksEveryTenthSecondWhileActiveAndEverySecondWhileIdle) {
    IdleCopy c("1");
    QSignalSpy repaint(&c.idle, &TIdleDetector::statusListRepaintDue);
    for (int i = 0; i < 9; ++i)
        c.Tick();
    EXPECT_EQ(c.input.reads, 0);
    EXPECT_EQ(repaint.count(), 0);
    c.Tick();
    EXPECT_EQ(c.input.reads, 1);
    EXPECT_EQ(repaint.count(), 1);

    // A key pressed just after a check is still seen by the next one.
    c.Tick();
    c.input.ReportKeyOrButton();
    EXPECT_EQ(c.TickThroughCheck(), 9);
    EXPECT_EQ(c.idle.IdleCounter(), 0);
    EXPECT_EQ(c.input.reads, 2);

    c.TickUntilSent();
    const int reads = c.input.reads;
    for (int i = 0; i < 5; ++i)
        c.Tick();
    EXPECT_EQ(c.input.reads, reads + 5);
    EXPECT_EQ(repaint.count(), 1);
}

TEST(Idle, BoxAtZeroNeverGoesIdleButTheTickStillAnswersRefreshRequests) {
    IdleCopy c("0");
    QSignalSpy repaint(&c.idle, &TIdleDetector::statusListRepaintDue);
    for (int i = 0; i < 3000; ++i)
        c.Tick();
    EXPECT_TRUE(c.h.sent.isEmpty());
    EXPECT_FALSE(c.idle.IsIdle());
    EXPECT_EQ(c.input.reads, 0);
    EXPECT_EQ(repaint.count(), 0);

    c.core.DispatchDatagram("r Ann", "10.0.0.7");
    c.Tick();
    c.Tick();
    EXPECT_EQ(c.h.sent, QList<QByteArray>{"arOPERATOR" + Sep() + " Out to lunch" + Stamp()});
}

TEST(Idle, StatusChosenWhileIdleComesBackInItsOwnColour) {
    IdleCopy c("1");
    c.TickUntilSent();
    c.core.Presence().AnnounceOwnStatus('y', "Meeting", true, true, true);
    c.h.sent.clear();

    c.input.ReportKeyOrButton(); // the click that chose it
    c.Tick();
    ASSERT_EQ(c.h.sent.size(), 1);
    EXPECT_EQ(c.h.sent[0], "ayOPERATOR" + Sep() + " Meeting ( 9:06 AM on Mon)");

    // The colour from before going idle does not come back on a later return either.
    c.TickUntilSent();
    c.input.ReportKeyOrButton();
    c.Tick();
    EXPECT_TRUE(c.h.sent.last().startsWith("ay"));
}

TEST(Idle, AnnouncementThatCannotBeSentNeitherStopsTheTickNorLosesTheColour) {
    TRoster roster;
    TOwnStatus own{"10.0.0.5", "OPERATOR", "OPERATOR", 'r', "Out", {}};
    TOptions options;
    TManualClock clock(QDateTime(QDate(2026, 12, 7), QTime(9, 5)));
    bool networkDown = true;
    QList<QByteArray> sent;
    TPresence presence({roster, own, options, clock, QLocale(QLocale::English),
                        [](const QByteArray&, const QByteArray&) {},
                        [&](const QByteArray& d) {
                            if (networkDown) throw EUDPError("Network is unreachable");
                            sent.append(d);
                        },
                        [] {}});
    TReportedInput input;
    TIdleDetector idle(presence, own, options, input);
    options.idle = "1";
    idle.ApplyIdleBox();

    for (int i = 0; i < 200; ++i)
        idle.Tick();
    EXPECT_TRUE(idle.IsIdle());
    EXPECT_EQ(own.code, 's');

    networkDown = false;
    input.ReportKeyOrButton();
    idle.Tick();
    EXPECT_EQ(sent, QList<QByteArray>{"arOPERATOR" + Sep() + " Out"});
}

TEST(Idle, BoxKeepsItsDigitsAndTurnsThemIntoSeconds) {
    struct Case {
        QByteArray text;
        QByteArray shown;
        int limit;
    };
    const Case cases[] = {
        {"1a2", "12", 720},
        {"0", "0", 0},
        {" 15 min", "15", 900},
        {"abc", "5", 300}, // no digit: the current limit stays and is shown
        {"", "5", 300},
        {"35791394", "35791394", 2147483640},
        {"35791395", "35791395", 900}, // more seconds than the limit holds
        {"99999999999999999999", "99999999999999999999", 900},
    };
    for (const Case& k : cases) {
        const TIdleBox box = TIdleDetector::IdleBoxRule(k.text, 300);
        EXPECT_EQ(box.shown, k.shown) << k.text.constData();
        EXPECT_EQ(box.limit, k.limit) << k.text.constData();
    }

    // At start-up the stored text goes through the same rule and is shown as applied.
    CoreHarness h;
    TVelmoraCore& core = h.Started();
    TReportedInput input;
    TIdleDetector idle(core.Presence(), core.Own(), core.Options(), input);
    EXPECT_EQ(idle.IdleLimit(), 900);
    core.Options().idle = "abc";
    idle.ApplyIdleBox();
    EXPECT_EQ(core.Options().idle, "15");
    EXPECT_EQ(idle.IdleLimit(), 900);
    core.Options().idle = "1a2";
    idle.ApplyIdleBox();
    EXPECT_EQ(core.Options().idle, "12");
    EXPECT_EQ(idle.IdleLimit(), 720);
}

TEST(Idle, CoreTickReadsTheConfiguredInputAndTheStoredBoxAppliesAtStart) {
    CoreHarness h;
    TReportedInput input;
    h.config.input = &input;
    {
        QFile f(h.config.settingsPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[VLX]\nidle=1\n");
    }
    input.ReportKeyOrButton(); // before start: discarded, not the first input
    TVelmoraCore& core = h.Started();
    EXPECT_EQ(core.Idle().IdleLimit(), 60);
    for (int i = 0; i < 61; ++i)
        core.Timer2Timer();
    ASSERT_FALSE(h.sent.isEmpty());
    EXPECT_EQ(h.sent.last().left(1), "a");
    EXPECT_EQ(h.sent.last().mid(1, 1), "s");
    input.ReportKeyOrButton();
    core.Timer2Timer();
    EXPECT_EQ(h.sent.last().mid(1, 1), "g");
}
