#pragma once
// The time stamp that status texts may end with: " ( h:nn AM on Mon)". The clock is injected
// so that stamps, idle detection and the timers' steps can be tested without waiting.

#include <QByteArray>
#include <QDateTime>
#include <QLocale>

namespace velmora {

class TClock {
public:
    virtual ~TClock() = default;
    virtual QDateTime Now() const = 0;
};

class TSystemClock final : public TClock {
public:
    QDateTime Now() const override { return QDateTime::currentDateTime(); }
};

// A clock that stands still until a test moves it.
class TManualClock final : public TClock {
public:
    explicit TManualClock(QDateTime now) : now_(std::move(now)) {}
    QDateTime Now() const override { return now_; }
    void Set(const QDateTime& now) { now_ = now; }
    void Advance(qint64 ms) { now_ = now_.addMSecs(ms); }

private:
    QDateTime now_;
};

// "h:nn AM" on the 12-hour clock with the locale's AM/PM designators, or "H:nn" on the
// 24-hour clock.
QByteArray FormatClockTime(const QDateTime& moment, const QLocale& locale, bool clock24 = false);

// " ( " + time + " on " + abbreviated weekday + ")"
QByteArray FormatTimeStamp(const QDateTime& moment, const QLocale& locale, bool clock24 = false);

// " ( " + time + ")": the time a discussion line carries.
QByteArray FormatShortTimeStamp(const QDateTime& moment, const QLocale& locale,
                                bool clock24 = false);

// Where a status text's time stamp begins (0-based), or -1: the first " ( " when the text
// ends with ")".
qsizetype TimeStampStart(const QByteArray& status);

} // namespace velmora
