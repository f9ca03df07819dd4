// The core's one timer. Ticks come every second, and most of them only count towards the idle
// limit: the timer wakes the program only for a tick that does more (a repaint, an answer, an
// announcement, a look at the input) or for the ten-second work, and counts the quiet ticks in
// between when it wakes. A change between wake-ups that makes an earlier tick do more (a
// refresh request, the screen lock, a new idle limit) counts the ticks already past and sets the
// timer again.

#include "core/Core.h"

#include <algorithm>

namespace velmora {

namespace {
constexpr qint64 kTickMs = 1000;
constexpr qint64 kTicksApart = 10; // ticks between runs of the ten-second work
// How many ticks the ten-second work may wait for a tick that wakes the program anyway: while
// the user is active, the input checks and the ten-second work then share one wake-up, even
// after a time away has shifted the checks against it.
constexpr qint64 kTenSecondsSlack = kTicksApart - 1;
} // namespace

void Core::everyTenSeconds() {
    followOwnAddress();
    outbox_.dropExpired();
    presence_.relayStep();
}

void Core::everySecond() {
    idle_.tick();
}

QByteArray Core::applyIdleBox(const QByteArray& text) {
    QByteArray shown;
    changeBetweenTicks([&] { shown = idle_.applyIdleBox(text); });
    return shown;
}

void Core::startTicking() {
    ticking_ = true;
    if (!config_.tickTimer) return;
    ticksStartMs_ = clock_.steadyMs();
    ticksDone_ = 0;
    tenSecondsDue_ = kTicksApart;
    planNextTick();
}

void Core::stopTicking() {
    ticking_ = false;
    ticks_.stop();
}

std::optional<qint64> Core::nextTickDueMs() const {
    if (!ticking_ || !config_.tickTimer) return std::nullopt;
    return ticksStartMs_ + plannedTick_ * kTickMs;
}

void Core::onTickDue() {
    if (!paced()) return;
    const qint64 tick = plannedTick_;
    // A wake-up late by a second or more (a busy or suspended machine) counts the next ticks
    // from now: missed seconds are not made up, as with a repeating timer.
    const qint64 lateMs = clock_.steadyMs() - (ticksStartMs_ + tick * kTickMs);
    if (lateMs >= kTickMs) ticksStartMs_ += lateMs;
    inTick_ = true;
    idle_.skipQuietTicks(int(tick - 1 - ticksDone_));
    ticksDone_ = tick;
    if (tick >= tenSecondsDue_) {
        tenSecondsDue_ += kTicksApart;
        everyTenSeconds();
    }
    everySecond();
    inTick_ = false;
    planNextTick();
}

void Core::catchUpTicks() {
    // Within a wake-up, what changes is seen by the plan that ends it.
    if (!paced()) return;
    const qint64 passed = (clock_.steadyMs() - ticksStartMs_) / kTickMs;
    // The planned tick is the timer's to run, even when it is overdue.
    const qint64 upTo = std::min(passed, plannedTick_ - 1);
    if (upTo <= ticksDone_) return;
    idle_.skipQuietTicks(int(upTo - ticksDone_));
    ticksDone_ = upTo;
}

void Core::planNextTick() {
    if (!paced()) return;
    const qint64 next = ticksDone_ + 1;
    const qint64 lastWait = std::max(tenSecondsDue_ + kTenSecondsSlack, next);
    const qint64 busy = next + idle_.quietTicks(int(lastWait - next + 1));
    // With no tick to wake for until the ten-second work's wait is over, it runs on time.
    plannedTick_ = busy <= lastWait ? busy : std::max(tenSecondsDue_, next);
    const qint64 dueMs = ticksStartMs_ + plannedTick_ * kTickMs - clock_.steadyMs();
    ticks_.start(int(std::clamp<qint64>(dueMs, 0, (plannedTick_ - ticksDone_) * kTickMs)));
}

} // namespace velmora
