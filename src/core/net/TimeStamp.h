#pragma once
// The time stamp that status texts may end with: " ( h:nn AM on Mon)".

#include <QByteArray>
#include <QDateTime>
#include <QLocale>

namespace velmora {

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
