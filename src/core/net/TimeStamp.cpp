#include "core/net/TimeStamp.h"

#include "core/net/AnsiText.h"

namespace velmora {

QByteArray formatClockTime(const QDateTime& moment, const QLocale& locale, bool clock24) {
    const QTime t = moment.time();
    const int minutes = t.minute();
    QByteArray mm = QByteArray::number(minutes).rightJustified(2, '0');
    if (clock24) return QByteArray::number(t.hour()) + ':' + mm;
    int hour = t.hour() % 12;
    if (hour == 0) hour = 12;
    const QString designator = t.hour() < 12 ? locale.amText() : locale.pmText();
    return QByteArray::number(hour) + ':' + mm + ' ' + toAnsi(designator);
}

QByteArray formatTimeStamp(const QDateTime& moment, const QLocale& locale, bool clock24) {
    const QString day = locale.dayName(moment.date().dayOfWeek(), QLocale::ShortFormat);
    return " ( " + formatClockTime(moment, locale, clock24) + " on " + toAnsi(day) + ')';
}

QByteArray formatShortTimeStamp(const QDateTime& moment, const QLocale& locale, bool clock24) {
    return " ( " + formatClockTime(moment, locale, clock24) + ')';
}

qsizetype timeStampStart(const QByteArray& status) {
    if (!status.endsWith(')')) return -1;
    return status.indexOf(" ( ");
}

} // namespace velmora
