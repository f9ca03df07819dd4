#pragma once
// The user's keyboard and mouse input as the idle detection reads it. On an X11 desktop the
// X server knows of every key and button anywhere on the screen (the screen saver
// extension's idle time) and where the pointer stands; elsewhere (Wayland, offscreen) only
// the input that reaches the program's own windows can be seen.

#include "core/idle/IdleDetector.h"

#include <QElapsedTimer>
#include <QObject>
#include <memory>

namespace velmora {

class X11IdleTime;

class DesktopInput : public QObject, public InputSource {
    Q_OBJECT
public:
    explicit DesktopInput(QObject* parent = nullptr);
    ~DesktopInput() override;

    QPoint cursorPos() override;
    bool inputSinceLastCheck() override;

    // The program itself just moved the pointer (to bring its window forward). The server
    // counts that as input; the idle detection must not.
    void pointerNudged();

    // Whether the server's idle time `idleMs` tells of input since the previous check,
    // `sinceCheckMs` ago, when the program's own nudge of the pointer ended `sinceNudgeMs`
    // ago (none: no nudge since that check).
    static bool serverSawInput(std::optional<qint64> idleMs, qint64 sinceCheckMs,
                               std::optional<qint64> sinceNudgeMs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<X11IdleTime> x11_;
    QElapsedTimer checkClock_; // restarted when a check begins
    qint64 sinceCheck_ = 0;    // milliseconds from the previous check to this one
    bool cursorRead_ = false;
    QElapsedTimer nudgeClock_; // restarted when the program's own nudge ends
    ReportedInput own_;        // input the program's own windows received
};

} // namespace velmora
