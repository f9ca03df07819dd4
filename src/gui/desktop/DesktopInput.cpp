#include "gui/desktop/DesktopInput.h"

#include "gui/desktop/DBusIdleTime.h"
#include "gui/desktop/X11IdleTime.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <utility>

Q_LOGGING_CATEGORY(lcDesktop, "velmora.desktop", QtWarningMsg)

namespace velmora {

DesktopInput::DesktopInput(QObject* parent, std::optional<QDBusConnection> bus)
    : QObject(parent), busToProbe_(std::move(bus)) {
    // The program's own input is watched also where the desktop tells, for a desktop that
    // cannot tell after all.
    if (qGuiApp) qGuiApp->installEventFilter(this);
    checkClock_.start();
}

void DesktopInput::openSources() {
    if (std::exchange(opened_, true)) return;
    bus_ = DBusIdleTime::open(busToProbe_ ? *busToProbe_ : QDBusConnection::sessionBus());
    busToProbe_.reset();
    x11_ = X11IdleTime::open();
    qCInfo(lcDesktop, "idle time from %s", qPrintable(idleSource()));
}

DesktopInput::~DesktopInput() {
    if (qGuiApp) qGuiApp->removeEventFilter(this);
}

QPoint DesktopInput::cursorPos() {
    // A check starts with the cursor; the key check that may follow looks back to the start
    // of the previous check, also when that one stopped at the cursor.
    sinceCheck_ = checkClock_.restart();
    cursorRead_ = true;
    openSources();
    // Without the X server the pointer is known only where it crossed our own windows. With
    // it, the idle time the key check may need next is asked in the same round trip.
    if (!x11_) return own_.cursorPos();
    if (!bus_) x11_->ask();
    return QCursor::pos();
}

bool DesktopInput::inputSinceLastCheck() {
    const qint64 sinceCheck =
        std::exchange(cursorRead_, false) ? sinceCheck_ : checkClock_.restart();
    const bool own = own_.inputSinceLastCheck();
    const std::optional<qint64> idle = desktopIdleMs();
    std::optional<qint64> sinceNudge;
    if (nudgeClock_.isValid() && nudgeClock_.elapsed() < sinceCheck)
        sinceNudge = nudgeClock_.elapsed();
    return own || serverSawInput(idle, sinceCheck, sinceNudge);
}

std::optional<qint64> DesktopInput::desktopIdleMs() {
    openSources();
    if (bus_) {
        const QString before = bus_->sourceName();
        const std::optional<qint64> ms = bus_->idleMs();
        // No service on the bus answers any more: the bus is not asked again.
        if (!ms) bus_.reset();
        if (idleSource() != before)
            qCInfo(lcDesktop, "idle time from %s", qPrintable(idleSource()));
        if (ms) return ms;
    }
    return x11_ ? x11_->idleMs() : std::nullopt;
}

QString DesktopInput::idleSource() {
    openSources();
    if (bus_) return bus_->sourceName();
    return QLatin1String(x11_ ? "X server" : "own windows");
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
