#include "core/idle/IdleDetector.h"

#include <limits>

namespace velmora {

namespace {
constexpr int kChecksApart = 10; // ticks between input checks while the user is active
constexpr int kCursorSlack = 2;  // horizontal pixels a resting mouse may drift
} // namespace

IdleDetector::IdleDetector(Presence& presence, const OwnStatus& own, InputSource& input,
                           QObject* parent)
    : QObject(parent), presence_(presence), own_(own), input_(input) {}

IdleBox IdleDetector::idleBoxRule(const QByteArray& text, int currentLimit) {
    QByteArray digits;
    for (char c : text)
        if (c >= '0' && c <= '9') digits += c;
    if (digits.isEmpty()) return {QByteArray::number(currentLimit / 60), currentLimit};

    bool ok = false;
    const qlonglong minutes = digits.toLongLong(&ok);
    // A limit that does not fit in whole seconds falls back to the default rather than
    // wrapping round to a small or negative one.
    if (!ok || minutes > std::numeric_limits<int>::max() / 60) return {digits, kDefaultLimit};
    return {digits, int(minutes * 60)};
}

QByteArray IdleDetector::applyIdleBox(const QByteArray& text) {
    const IdleBox box = idleBoxRule(text, limit_);
    limit_ = box.limit;
    return box.shown;
}

IdleDetector::Step IdleDetector::counted(Count from) const {
    Step s{from, true};
    Count& c = s.after;
    if (c.counter < qint64(limit_) + 2) ++c.counter;
    // While the limit is ahead, only every tenth tick looks at the input.
    if (c.counter < limit_) {
        if (c.sub != kChecksApart - 1) {
            ++c.sub;
            s.checkReached = false;
        } else {
            c.sub = 0;
        }
    }
    return s;
}

IdleDetector::Due IdleDetector::dueFrom(Count from) const {
    return {.repaint = repaintPending_ && from.sub == kChecksApart - 1,
            .goIdle = from.counter == limit_ && limit_ != 0 && !idle_,
            .inputCheck = counted(from).checkReached && limit_ != 0 && !locked_};
}

void IdleDetector::tick() {
    const Due due = dueFrom(count());
    if (due.repaint) {
        repaintPending_ = false;
        Q_EMIT statusListRepaintDue();
    }

    // Announcements of this tick repeat the own time stamp when there is one, or attach it
    // when every change is stamped; they never take a new one, since the status itself did
    // not change.
    const AnnounceOptions how = presence_.reannouncing();

    // An answer that does not go out is lost; the next refresh request asks again.
    presence_.reannounceStep();

    if (due.goIdle) goIdle(how);

    setCount(counted(count()).after);
    if (!due.inputCheck || !inputDetected()) return;

    if (idle_) comeBack(how);
    counter_ = 0;
}

int IdleDetector::quietTicks(int atMost) const {
    if (presence_.reannounceFlag()) return 0;
    Count c = count();
    int n = 0;
    for (; n < atMost && !dueFrom(c).any(); ++n)
        c = counted(c).after;
    return n;
}

void IdleDetector::skipQuietTicks(int n) {
    for (int i = 0; i < n; ++i) {
        Q_ASSERT(!dueFrom(count()).any());
        setCount(counted(count()).after);
    }
}

void IdleDetector::setScreenLocked(bool locked) {
    if (locked == locked_) return;
    locked_ = locked;
    const AnnounceOptions how = presence_.reannouncing();
    if (locked) {
        if (!idle_) goIdle(how);
        return;
    }
    if (idle_) comeBack(how);
    counter_ = 0;
}

void IdleDetector::goIdle(AnnounceOptions how) {
    remembered_ = own_.code;
    idle_ = true;
    announce(StatusCode::Idle, how);
}

void IdleDetector::comeBack(AnnounceOptions how) {
    idle_ = false;
    // A status chosen while idle is the one the user wants to be back with; only the idle
    // colour itself gives way to the colour held before.
    announce(own_.code == StatusCode::Idle ? remembered_ : own_.code, how);
}

bool IdleDetector::inputDetected() {
    const QPoint now = input_.cursorPos();
    const std::optional<QPoint> last = std::exchange(lastCursor_, now);
    if (last && (qAbs(now.x() - last->x()) > kCursorSlack || now.y() != last->y())) return true;
    // The keys are polled only when the cursor said nothing: polling them lets window events
    // run, which a check that has its answer already can spare.
    return input_.inputSinceLastCheck();
}

void IdleDetector::announce(StatusCode code, AnnounceOptions how) {
    // When this does not go out, the own roster entry has changed all the same; the other
    // copies learn the status from the next answer to a refresh request.
    presence_.announceOwnStatus(code, QByteArray(own_.text), how);
}

} // namespace velmora
