#pragma once
// Where the program reads the current time. The clock is injected so that stamps, idle
// detection and the timers' steps can be tested without waiting.

#include <QDateTime>

#include <chrono>
#include <utility>

namespace velmora {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Milliseconds on a clock that only moves on, at the pace of the timers: the wall clock may
    // jump, and the ticks must not jump with it.
    virtual qint64 steadyMs() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    qint64 steadyMs() const override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};

// A clock that stands still until a test moves it. Setting it is a jump of the wall clock;
// only advancing it moves the steady one.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime now) : now_(std::move(now)) {}
    QDateTime now() const override { return now_; }
    qint64 steadyMs() const override { return steady_; }
    void set(const QDateTime& now) { now_ = now; }
    void advance(qint64 ms) {
        now_ = now_.addMSecs(ms);
        steady_ += ms;
    }

private:
    QDateTime now_;
    qint64 steady_ = 0;
};

} // namespace velmora
