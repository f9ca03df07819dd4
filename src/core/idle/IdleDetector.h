#pragma once
// Idle detection and the one-second tick: after the Idle Timeout without keyboard or mouse
// input the user is announced in the Idle colour (StatusCode::Idle) with the status text
// unchanged, and the first input afterwards announces the user back. Time is counted in ticks,
// so tests drive it by calling tick() and inject the input through an InputSource. Most ticks
// only count; quietTicks() tells how many come before one that does more, so that the caller
// can sleep through them and count them afterwards with skipQuietTicks().

#include "core/presence/Presence.h"

#include <QByteArray>
#include <QObject>
#include <QPoint>
#include <optional>
#include <utility>

namespace velmora {

// Where the user's input is read from: the X server on a desktop, the program's own windows
// elsewhere, a script in tests.
class InputSource {
public:
    virtual ~InputSource() = default;
    // The mouse cursor in screen pixels.
    virtual QPoint cursorPos() = 0;
    // Whether any key or mouse button went down since the previous call. It may let pending
    // window events run.
    virtual bool inputSinceLastCheck() = 0;
};

// Input that someone reports: the program's own windows where no input service of the desktop
// can be asked, and tests.
class ReportedInput : public InputSource {
public:
    QPoint cursorPos() override { return cursor_; }
    bool inputSinceLastCheck() override { return std::exchange(pressed_, false); }

    void moveCursor(QPoint to) { cursor_ = to; }
    void reportKeyOrButton() { pressed_ = true; }

private:
    QPoint cursor_;
    bool pressed_ = false;
};

// What leaving the Idle Timeout box does with its text.
struct IdleBox {
    QByteArray shown; // what the box shows afterwards
    int limit = 0;    // the idle limit in seconds; 0 turns detection off
};

class IdleDetector : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultLimit = 900; // 15 minutes

    IdleDetector(Presence& presence, const OwnStatus& own, InputSource& input,
                 QObject* parent = nullptr);

    // The box's digits in minutes; the current limit stays when the text has no digit, and a
    // number too large to convert gives the default.
    static IdleBox idleBoxRule(const QByteArray& text, int currentLimit);
    // Applies the Idle Timeout box's text (leaving the box, Enter in it, and once at start-up
    // after the settings are read); gives what the box shows afterwards.
    QByteArray applyIdleBox(const QByteArray& text);

    // The one-second tick: the repaint after start, the answer to refresh requests, going
    // idle, and the input check that spots the user's return.
    void tick();
    // How many of the coming ticks, up to `atMost`, do nothing but count: no repaint, no
    // answer, no announcement, no look at the input.
    int quietTicks(int atMost) const;
    // Counts `n` ticks that quietTicks() said are quiet, as tick() would.
    void skipQuietTicks(int n);

    // The screen was locked or unlocked. A lock is the surest sign that the user left: the
    // idle announcement goes out at once. While locked, input (typing the password) does not
    // bring the user back; the unlock does, as input.
    void setScreenLocked(bool locked);
    bool screenLocked() const { return locked_; }

    int idleLimit() const { return limit_; }
    qint64 idleCounter() const { return counter_; }
    StatusCode rememberedCode() const { return remembered_; }
    bool isIdle() const { return idle_; }

Q_SIGNALS:
    // Once, about ten seconds after start, so that the status list is drawn with everything
    // that arrived meanwhile.
    void statusListRepaintDue();

private:
    // The two counters every tick moves on.
    struct Count {
        qint64 counter = 0;
        int sub = 0;
    };
    // What a tick that starts from a count does besides counting.
    struct Due {
        bool repaint = false;
        bool goIdle = false;
        bool inputCheck = false;
        bool any() const { return repaint || goIdle || inputCheck; }
    };
    // The count after one more tick, and whether that tick gets as far as the input check.
    struct Step {
        Count after;
        bool checkReached = false;
    };
    Step counted(Count from) const;
    // The one place that decides what the tick starting from `from` does.
    Due dueFrom(Count from) const;
    Count count() const { return {counter_, subCounter_}; }
    void setCount(Count c) {
        counter_ = c.counter;
        subCounter_ = c.sub;
    }
    bool inputDetected();
    void goIdle(AnnounceOptions how);
    // Input after the user was idle: the colour held before comes back.
    void comeBack(AnnounceOptions how);
    void announce(StatusCode code, AnnounceOptions how);

    Presence& presence_;
    const OwnStatus& own_;
    InputSource& input_;
    int limit_ = kDefaultLimit;
    qint64 counter_ = 0; // seconds since the last check that saw input, up to limit + 2
    int subCounter_ = 0; // spreads the checks to every tenth tick while the user is active
    StatusCode remembered_ = StatusCode::WhiteRemark;
    // Set by the idle announcement and cleared by the return, rather than read off the counter,
    // so that a limit changed while idle neither announces idle twice nor misses the return.
    bool idle_ = false;
    bool locked_ = false;
    bool repaintPending_ = true;
    std::optional<QPoint> lastCursor_;
};

} // namespace velmora
