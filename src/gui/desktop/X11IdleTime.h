#pragma once
// The X server's screen saver extension: how long ago the last key, button or pointer motion
// happened anywhere on the display. Asked over the connection Qt already holds.

#include <QtGlobal>
#include <memory>
#include <optional>

namespace velmora {

class X11IdleTime {
public:
    // Nothing unless the program runs on X11. Asks the server nothing yet.
    static std::unique_ptr<X11IdleTime> open();

    // Milliseconds since the last input, or nothing when the server lacks the extension or
    // does not answer. The first call looks for the extension. Takes the answer to ask() when
    // one is pending.
    std::optional<qint64> idleMs();
    // Sends the question ahead, so that its answer comes with the next one Qt waits for: a check
    // that asks for the pointer and then for the idle time waits for the server once. An
    // answer not taken is dropped at the next ask().
    void ask();

private:
    X11IdleTime(void* connection, quint32 root) : connection_(connection), root_(root) {}
    void* connection_; // xcb_connection_t*, owned by Qt
    quint32 root_;     // the root window of the screen
    std::optional<bool> present_;
    std::optional<unsigned int> pending_; // the sequence number of the question sent ahead
};

} // namespace velmora
