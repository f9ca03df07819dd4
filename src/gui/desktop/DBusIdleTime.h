#pragma once
// The desktop's own idle time, asked over the session bus: GNOME's idle monitor first, then the
// freedesktop/KDE screen saver. On Wayland these are the only ones that see input outside the
// program's windows. A source that stops answering gives way to the next one that answers.

#include <QDBusConnection>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

namespace velmora {

class DBusIdleTime {
public:
    // The first source on `bus` that answers within `timeoutMs`, or nothing when none does.
    static std::unique_ptr<DBusIdleTime> open(const QDBusConnection& bus, int timeoutMs = 500);

    // Milliseconds since the last input. When the current source does not answer, the later
    // ones are asked in turn; nothing once none is left, and from then on.
    std::optional<qint64> idleMs();

    // The bus name and object of the source that answered last ("" once none is left).
    QString sourceName() const;

private:
    DBusIdleTime(const QDBusConnection& bus, int timeoutMs, int source)
        : bus_(bus), timeoutMs_(timeoutMs), source_(source) {}
    // The answer of source `index`, or nothing.
    std::optional<qint64> ask(int index) const;

    QDBusConnection bus_;
    int timeoutMs_;
    int source_; // index into the list of sources; past its end when none is left
};

} // namespace velmora
