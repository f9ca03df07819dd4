#pragma once
// Where the program reads the current time. The clock is injected so that stamps, idle
// detection and the timers' steps can be tested without waiting.

#include <QDateTime>

#include <utility>

namespace velmora {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// A clock that stands still until a test moves it.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime now) : now_(std::move(now)) {}
    QDateTime now() const override { return now_; }
    void set(const QDateTime& now) { now_ = now; }
    void advance(qint64 ms) { now_ = now_.addMSecs(ms); }

private:
    QDateTime now_;
};

} // namespace velmora
