#pragma once
// The X server's screen saver extension: how long ago the last key, button or pointer motion
// happened anywhere on the display. Kept apart because the X headers define macros
// (KeyPress, None, Status ...) that collide with Qt's names.

#include <QtGlobal>
#include <memory>
#include <optional>

namespace velmora {

class TX11IdleTime {
public:
    // The display Qt opened, when the program runs on X11 and the server has the extension.
    static std::unique_ptr<TX11IdleTime> Open();
    ~TX11IdleTime();
    TX11IdleTime(const TX11IdleTime&) = delete;
    TX11IdleTime& operator=(const TX11IdleTime&) = delete;

    // Milliseconds since the last input, or nothing when the server does not answer.
    std::optional<qint64> IdleMs();

private:
    TX11IdleTime(void* display, void* info) : display_(display), info_(info) {}
    void* display_; // Display*, owned by Qt
    void* info_;    // XScreenSaverInfo*, ours
};

} // namespace velmora
