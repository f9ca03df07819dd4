#include "gui/desktop/DesktopInput.h"

#include "gui/desktop/X11IdleTime.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <utility>

namespace velmora {

DesktopInput::DesktopInput(QObject* parent) : QObject(parent), x11_(X11IdleTime::open()) {
    // The program's own input is watched also on X11, for a server that cannot tell.
    if (qGuiApp) qGuiApp->installEventFilter(this);
    checkClock_.start();
}

DesktopInput::~DesktopInput() {
    if (qGuiApp) qGuiApp->removeEventFilter(this);
}

QPoint DesktopInput::cursorPos() {
    // A check starts with the cursor; the key check that may follow looks back to the start
    // of the previous check, also when that one stopped at the cursor.
    sinceCheck_ = checkClock_.restart();
    cursorRead_ = true;
    // Without the X server the pointer is known only where it crossed our own windows.
    return x11_ ? QCursor::pos() : own_.cursorPos();
}

bool DesktopInput::inputSinceLastCheck() {
    const qint64 sinceCheck =
        std::exchange(cursorRead_, false) ? sinceCheck_ : checkClock_.restart();
    const bool own = own_.inputSinceLastCheck();
    const std::optional<qint64> idle = x11_ ? x11_->idleMs() : std::nullopt;
    std::optional<qint64> sinceNudge;
    if (nudgeClock_.isValid() && nudgeClock_.elapsed() < sinceCheck)
        sinceNudge = nudgeClock_.elapsed();
    return own || serverSawInput(idle, sinceCheck, sinceNudge);
}

void DesktopInput::pointerNudged() {
    nudgeClock_.start();
}

bool DesktopInput::serverSawInput(std::optional<qint64> idleMs, qint64 sinceCheckMs,
                                  std::optional<qint64> sinceNudgeMs) {
    // The server's idle time restarts at every key, button or pointer motion: anything more
    // recent than the previous check is input since then...
    if (!idleMs || *idleMs >= sinceCheckMs) return false;
    // ...unless the restart was the program's own nudge: the server's last input is then no
    // more recent than the nudge's end (give or take the time the nudge's events took).
    constexpr qint64 kNudgeSlackMs = 250;
    return !sinceNudgeMs || *idleMs + kNudgeSlackMs < *sinceNudgeMs;
}

bool DesktopInput::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        own_.reportKeyOrButton();
        break;
    case QEvent::MouseMove:
        own_.moveCursor(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velmora
