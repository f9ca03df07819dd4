#pragma once
// The user's keyboard and mouse input as the idle detection reads it. The desktop's idle
// monitor on the session bus (GNOME, KDE, also on Wayland) or else the X server (the screen
// saver extension's idle time) knows of every key and button anywhere on the screen; the X
// server also knows where the pointer stands. Where neither answers (Wayland without such a
// service, offscreen) only the input that reaches the program's own windows can be seen.

#include "core/idle/IdleDetector.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QObject>
#include <memory>
#include <optional>

Q_DECLARE_LOGGING_CATEGORY(lcDesktop)

namespace velmora {

class DBusIdleTime;
class X11IdleTime;

class DesktopInput : public QObject, public InputSource {
    Q_OBJECT
public:
    // Probes the idle sources on `bus` (none given: the session bus) once, briefly, at the first
    // check: the start does not wait for the bus.
    explicit DesktopInput(QObject* parent = nullptr,
                          std::optional<QDBusConnection> bus = std::nullopt);
    ~DesktopInput() override;

    QPoint cursorPos() override;
    bool inputSinceLastCheck() override;

    // The program itself just moved the pointer (to bring its window forward). The server
    // counts that as input; the idle detection must not.
    void pointerNudged();

    // Where the desktop's idle time comes from: the bus name and object of the service, "X
    // server", or "own windows".
    QString idleSource();

    // Whether the server's idle time `idleMs` tells of input since the previous check,
    // `sinceCheckMs` ago, when the program's own nudge of the pointer ended `sinceNudgeMs`
    // ago (none: no nudge since that check).
    static bool serverSawInput(std::optional<qint64> idleMs, qint64 sinceCheckMs,
                               std::optional<qint64> sinceNudgeMs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The desktop's idle time: the bus service while one answers, then the X server.
    std::optional<qint64> desktopIdleMs();

    // Finds the sources the first time it is called.
    void openSources();

    std::optional<QDBusConnection> busToProbe_; // until the sources are opened
    bool opened_ = false;
    std::unique_ptr<DBusIdleTime> bus_;
    std::unique_ptr<X11IdleTime> x11_;
    QElapsedTimer checkClock_; // restarted when a check begins
    qint64 sinceCheck_ = 0;    // milliseconds from the previous check to this one
    bool cursorRead_ = false;
    QElapsedTimer nudgeClock_; // restarted when the program's own nudge ends
    ReportedInput own_;        // input the program's own windows received
};

} // namespace velmora
