#pragma once
// The time stamp that status texts may end with: " ( h:nn AM on Mon)". The clock is injected
// so that stamps, idle detection and the timers' steps can be tested without waiting.

#include <QByteArray>
#include <QDateTime>
#include <QLocale>

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

// "h:nn AM" on the 12-hour clock with the locale's AM/PM designators, or "H:nn" on the
// 24-hour clock.
QByteArray formatClockTime(const QDateTime& moment, const QLocale& locale, bool clock24 = false);

// " ( " + time + " on " + abbreviated weekday + ")"
QByteArray formatTimeStamp(const QDateTime& moment, const QLocale& locale, bool clock24 = false);

// " ( " + time + ")": the time a discussion line carries.
QByteArray formatShortTimeStamp(const QDateTime& moment, const QLocale& locale,
                                bool clock24 = false);

// Where a status text's time stamp begins (0-based), or -1: the first " ( " when the text
// ends with ")".
qsizetype timeStampStart(const QByteArray& status);

} // namespace velmora
