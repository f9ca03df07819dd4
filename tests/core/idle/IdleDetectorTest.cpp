// Idle detection: when the user is shown idle, what counts as input, how the return is
// announced, and the Idle Timeout box.

#include "core/idle/IdleDetector.h"
#include "support/CoreHarness.h"

#include <QFile>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::CoreHarness;
using velmora::test::sep;
using velmora::test::stamp;

namespace {

// Counts how often the detector looks at the input.
class CountingInput : public ReportedInput {
public:
    QPoint cursorPos() override {
        ++reads;
        return ReportedInput::cursorPos();
    }
    int reads = 0;
};

// A started copy that is "Out to lunch" (red), with the Idle Timeout box at `box` minutes.
struct IdleCopy {
    explicit IdleCopy(const QByteArray& box = "1")
        : core(h.started()), idle(core.presence(), core.own(), input) {
        core.presence().announceOwnStatus(StatusCode::Out, "Out to lunch",
                                          {.stamp = true, .renewStamp = true});
        h.sent.clear();
        idle.applyIdleBox(box);
    }
    // One second passes.
    void tick() {
        h.clock.advance(1000);
        idle.tick();
    }
    // Ticks until the detector has looked at the input once more; returns how many it took.
    int tickThroughCheck() {
        const int before = input.reads;
        int n = 0;
        while (input.reads == before && n < 1000) {
            tick();
            ++n;
        }
        return n;
    }
    // Ticks until something is sent; returns how many it took.
    int tickUntilSent() {
        const qsizetype before = h.sent.size();
        int n = 0;
        while (h.sent.size() == before && n < 1000) {
            tick();
            ++n;
        }
        return n;
    }

    CoreHarness h;
    Core& core;
    CountingInput input;
    IdleDetector idle;
};

} // namespace

TEST(Idle, ShownIdleSixtyOneSecondsAfterTheLastSampleWithInputKeepingTheText) {
    IdleCopy c("1");
    c.input.reportKeyOrButton();
    c.tickThroughCheck();
    ASSERT_EQ(c.idle.idleCounter(), 0);
    const QDateTime sampled = c.h.clock.now();

    EXPECT_EQ(c.tickUntilSent(), 61);
    EXPECT_EQ(sampled.secsTo(c.h.clock.now()), 61);
    // The old time stamp goes along: going idle is not a change the user made.
    EXPECT_EQ(c.h.sent, QList<QByteArray>{"asOPERATOR" + sep() + " Out to lunch" + stamp()});
    EXPECT_EQ(c.core.own().code, StatusCode::Idle);
    EXPECT_EQ(c.core.own().text, "Out to lunch");
    EXPECT_EQ(c.core.own().stamp, stamp());
    EXPECT_EQ(c.idle.rememberedCode(), StatusCode::Out);
    EXPECT_TRUE(c.idle.isIdle());

    // Staying away says nothing more.
    for (int i = 0; i < 300; ++i)
        c.tick();
    EXPECT_EQ(c.h.sent.size(), 1);
}

TEST(Idle, ReturnReannouncesTheRememberedColourWithinOneTickAndCountsAgainFromZero) {
    IdleCopy c("1");
    c.tickUntilSent();
    c.h.sent.clear();

    c.input.reportKeyOrButton();
    c.tick();
    EXPECT_EQ(c.h.sent, QList<QByteArray>{"arOPERATOR" + sep() + " Out to lunch" + stamp()});
    EXPECT_EQ(c.core.own().code, StatusCode::Out);
    EXPECT_EQ(c.idle.idleCounter(), 0);
    EXPECT_FALSE(c.idle.isIdle());

    c.h.sent.clear();
    EXPECT_EQ(c.tickUntilSent(), 61);
    EXPECT_EQ(c.h.sent.value(0), "asOPERATOR" + sep() + " Out to lunch" + stamp());
}

TEST(Idle, CursorCountsWhenItMovesMoreThanTwoPixelsAcrossOrAtAllUpOrDown) {
    IdleCopy c("1");
    c.input.moveCursor({100, 100});
    c.tickUntilSent();
    c.h.sent.clear();

    // Idle: every tick looks at the cursor, each time against the previous position.
    for (int x : {101, 103, 101, 99}) {
        c.input.moveCursor({x, 100});
        c.tick();
    }
    EXPECT_TRUE(c.h.sent.isEmpty());
    EXPECT_TRUE(c.idle.isIdle());

    c.input.moveCursor({99, 101});
    c.tick();
    EXPECT_EQ(c.h.sent.size(), 1);
    EXPECT_FALSE(c.idle.isIdle());

    c.tickUntilSent();
    c.input.moveCursor({96, 101});
    c.tick();
    EXPECT_FALSE(c.idle.isIdle());
}

TEST(Idle, ChecksEveryTenthSecondWhileActiveAndEverySecondWhileIdle) {
    IdleCopy c("1");
    QSignalSpy repaint(&c.idle, &IdleDetector::statusListRepaintDue);
    for (int i = 0; i < 9; ++i)
        c.tick();
    EXPECT_EQ(c.input.reads, 0);
    EXPECT_EQ(repaint.count(), 0);
    c.tick();
    EXPECT_EQ(c.input.reads, 1);
    EXPECT_EQ(repaint.count(), 1);

    // A key pressed just after a check is still seen by the next one.
    c.tick();
    c.input.reportKeyOrButton();
    EXPECT_EQ(c.tickThroughCheck(), 9);
    EXPECT_EQ(c.idle.idleCounter(), 0);
    EXPECT_EQ(c.input.reads, 2);

    c.tickUntilSent();
    const int reads = c.input.reads;
    for (int i = 0; i < 5; ++i)
        c.tick();
    EXPECT_EQ(c.input.reads, reads + 5);
    EXPECT_EQ(repaint.count(), 1);
}

TEST(Idle, BoxAtZeroNeverGoesIdleButTheTickStillAnswersRefreshRequests) {
    IdleCopy c("0");
    QSignalSpy repaint(&c.idle, &IdleDetector::statusListRepaintDue);
    for (int i = 0; i < 3000; ++i)
        c.tick();
    EXPECT_TRUE(c.h.sent.isEmpty());
    EXPECT_FALSE(c.idle.isIdle());
    EXPECT_EQ(c.input.reads, 0);
    EXPECT_EQ(repaint.count(), 0);

    c.core.dispatchDatagram("r Ann", "10.0.0.7");
    c.tick();
    c.tick();
    EXPECT_EQ(c.h.sent, QList<QByteArray>{"arOPERATOR" + sep() + " Out to lunch" + stamp()});
}

TEST(Idle, StatusChosenWhileIdleComesBackInItsOwnColour) {
    IdleCopy c("1");
    c.tickUntilSent();
    c.core.presence().announceOwnStatus(StatusCode::Remark, "Meeting",
                                        {.stamp = true, .renewStamp = true});
    c.h.sent.clear();

    c.input.reportKeyOrButton(); // the click that chose it
    c.tick();
    ASSERT_EQ(c.h.sent.size(), 1);
    EXPECT_EQ(c.h.sent[0], "ayOPERATOR" + sep() + " Meeting ( 9:06 AM on Mon)");

    // The colour from before going idle does not come back on a later return either.
    c.tickUntilSent();
    c.input.reportKeyOrButton();
    c.tick();
    EXPECT_TRUE(c.h.sent.last().startsWith("ay"));
}

TEST(Idle, AnnouncementThatCannotBeSentNeitherStopsTheTickNorLosesTheColour) {
    Roster roster;
    OwnStatus own{"10.0.0.5", "OPERATOR", "OPERATOR", StatusCode::Out, "Out", {}};
    Options options;
    ManualClock clock(QDateTime(QDate(2026, 12, 7), QTime(9, 5)));
    bool networkDown = true;
    QList<QByteArray> sent;
    Presence presence({roster, own, options, clock, QLocale(QLocale::English),
                       [](const QByteArray&, const QByteArray&) {},
                       [&](const QByteArray& d) {
                           if (networkDown)
                               return SendResult{SendResult::Outcome::Lost,
                                                 QStringLiteral("Network is unreachable")};
                           sent.append(d);
                           return SendResult{};
                       },
                       [] {}});
    ReportedInput input;
    IdleDetector idle(presence, own, input);
    idle.applyIdleBox("1");

    for (int i = 0; i < 200; ++i)
        idle.tick();
    EXPECT_TRUE(idle.isIdle());
    EXPECT_EQ(own.code, StatusCode::Idle);

    networkDown = false;
    input.reportKeyOrButton();
    idle.tick();
    EXPECT_EQ(sent, QList<QByteArray>{"arOPERATOR" + sep() + " Out"});
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
        const IdleBox box = IdleDetector::idleBoxRule(k.text, 300);
        EXPECT_EQ(box.shown, k.shown) << k.text.constData();
        EXPECT_EQ(box.limit, k.limit) << k.text.constData();
    }

    // At start-up the stored text goes through the same rule and is shown as applied.
    CoreHarness h;
    Core& core = h.started();
    ReportedInput input;
    IdleDetector idle(core.presence(), core.own(), input);
    EXPECT_EQ(idle.idleLimit(), 900);
    EXPECT_EQ(idle.applyIdleBox("abc"), "15");
    EXPECT_EQ(idle.idleLimit(), 900);
    EXPECT_EQ(idle.applyIdleBox("1a2"), "12");
    EXPECT_EQ(idle.idleLimit(), 720);
}

TEST(Idle, CoreTickReadsTheConfiguredInputAndTheStoredBoxAppliesAtStart) {
    CoreHarness h;
    ReportedInput input;
    h.config.input = &input;
    {
        QFile f(h.config.settingsPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[VLX]\nidle=1\n");
    }
    input.reportKeyOrButton(); // before start: discarded, not the first input
    Core& core = h.started();
    EXPECT_EQ(core.idle().idleLimit(), 60);
    for (int i = 0; i < 61; ++i)
        core.everySecond();
    ASSERT_FALSE(h.sent.isEmpty());
    EXPECT_EQ(h.sent.last().left(1), "a");
    EXPECT_EQ(h.sent.last().mid(1, 1), "s");
    input.reportKeyOrButton();
    core.everySecond();
    EXPECT_EQ(h.sent.last().mid(1, 1), "g");
}

TEST(Idle, ALockedScreenIsIdleAtOnceAndItsUnlockIsTheReturn) {
    const QByteArray in = "agOPERATOR" + sep() + " In" + stamp();
    const QByteArray idle = "asOPERATOR" + sep() + " In" + stamp();
    const struct {
        bool option; // "Idle when the screen locks"
        bool asleep; // locked while the computer sleeps
        QList<QByteArray> locked, unlocked;
    } rows[] = {
        {true, false, {idle}, {in}},
        {false, false, {}, {}},
        // Said after the wake's own announcement and request.
        {true, true, {in, "r OPERATOR", idle}, {in}},
    };
    for (const auto& row : rows) {
        CoreHarness h;
        Core& core = h.started();
        core.changeOptions([&](Options& o) { o.idleOnLock = row.option; });
        if (row.asleep) {
            core.goToSleep();
            h.sent.clear();
        }
        core.setScreenLocked(true);
        if (row.asleep) core.wakeUp();
        core.reportedInput().reportKeyOrButton(); // the password typed at the lock screen
        for (int i = 0; i < 12; ++i)
            core.everySecond();
        EXPECT_EQ(h.sent, row.locked);
        h.sent.clear();
        core.setScreenLocked(false);
        EXPECT_EQ(h.sent, row.unlocked);
    }
}

TEST(Idle, PacedTimerDoesWhatATickEverySecondDoesWithFewerWakeUps) {
    enum class Act { Input, Lock, Unlock, Refresh, Box0, Box1 };
    struct Event {
        int atMs; // between ticks: tick n comes at n * 1000
        Act act;
    };
    const struct {
        const char* scenario;
        QByteArray box;
        QList<Event> events;
        int wakeUps; // over the 200 seconds
    } rows[] = {
        {"active, then away and back",
         "1",
         {{5500, Act::Input}, {33500, Act::Input}, {64500, Act::Input}, {150500, Act::Input}},
         39},
        {"screen locked, the password typed, unlocked",
         "1",
         {{12500, Act::Lock}, {14500, Act::Input}, {40300, Act::Unlock}, {41500, Act::Input}},
         101},
        {"refresh requests between wake-ups, one while idle",
         "1",
         {{3500, Act::Refresh},
          {27200, Act::Refresh},
          {27900, Act::Refresh},
          {131700, Act::Refresh}},
         148},
        {"no idle limit, then one given and taken away",
         "0",
         {{15500, Act::Refresh}, {42500, Act::Box1}, {150500, Act::Box0}},
         66},
    };
    for (const auto& row : rows) {
        // Each copy's effects by tick number: what it sent, when it looked at the input, the
        // repaint after start.
        const auto run = [&](bool paced, int* wakeUps) {
            CoreHarness h;
            CountingInput input;
            h.config.input = &input;
            h.config.tickTimer = paced;
            Core& core = h.started();
            core.changeOptions([](Options& o) { o.idleOnLock = true; });
            core.applyIdleBox(row.box);
            QStringList effects;
            int tick = 0;
            const auto note = [&](const QString& what) {
                effects << QStringLiteral("%1 %2").arg(tick).arg(what);
            };
            QObject::connect(&core.idle(), &IdleDetector::statusListRepaintDue,
                             [&] { note(QStringLiteral("repaint")); });
            QObject::connect(&core, &Core::datagramSent,
                             [&](const QByteArray& d) { note(QString::fromLatin1(d.left(2))); });
            qint64 nowMs = 0;
            const auto moveTo = [&](qint64 ms) {
                h.clock.advance(ms - nowMs);
                nowMs = ms;
            };
            auto event = row.events.begin();
            for (tick = 1; tick <= 200; ++tick) {
                for (; event != row.events.end() && event->atMs < tick * 1000; ++event) {
                    moveTo(event->atMs);
                    switch (event->act) {
                    case Act::Input:
                        input.reportKeyOrButton();
                        break;
                    case Act::Lock:
                        core.setScreenLocked(true);
                        break;
                    case Act::Unlock:
                        core.setScreenLocked(false);
                        break;
                    case Act::Refresh:
                        core.dispatchDatagram("r Ann", "10.0.0.7");
                        break;
                    case Act::Box0:
                        core.applyIdleBox("0");
                        break;
                    case Act::Box1:
                        core.applyIdleBox("1");
                        break;
                    }
                }
                moveTo(tick * 1000);
                const int reads = input.reads;
                if (!paced) {
                    if (tick % 10 == 0) core.everyTenSeconds();
                    core.everySecond();
                } else if (core.nextTickDueMs() == h.clock.steadyMs()) {
                    ++*wakeUps;
                    core.onTickDue();
                }
                if (input.reads != reads) note(QStringLiteral("input"));
            }
            return effects;
        };
        int wakeUps = 0;
        int unused = 0;
        EXPECT_EQ(run(true, &wakeUps), run(false, &unused)) << row.scenario;
        EXPECT_EQ(wakeUps, row.wakeUps) << row.scenario;
    }
}
