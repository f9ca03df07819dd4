#include "gui/messaging/MessagePrinter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

namespace velmora {

namespace {
constexpr int kLeft = 100;
constexpr int kTitleTop = 100;
constexpr int kFirstLineTop = 240;
constexpr int kPointSize = 12;
} // namespace

bool printMessage(QPrinter& printer, const QStringList& lines) {
    printer.setDocName(QString::fromLatin1(kMessageJobTitle));
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    QFont font = painter.font();
    font.setPointSize(kPointSize);
    painter.setFont(font);
    painter.setPen(Qt::black);
    // Positions name the top-left corner of the text, so each line is drawn one ascent lower.
    const QFontMetrics metrics(font, &printer);
    // The height of a line of text such as "xx": ascent plus descent, whatever the letters.
    const int h = metrics.height();
    painter.drawText(kLeft, kTitleTop + metrics.ascent(), QString::fromLatin1(kMessageJobTitle));
    for (int i = 0; i < lines.size(); ++i) {
        if (printer.printerState() == QPrinter::Aborted) break;
        painter.drawText(kLeft, kFirstLineTop + i * h + metrics.ascent(), lines[i]);
    }
    painter.end();
    return true;
}

} // namespace velmora
