#include "gui/desktop/DBusIdleTime.h"

#include <QDBusMessage>
#include <QVariant>
#include <iterator>

namespace velmora {

namespace {

struct Source {
    const char* service;
    const char* path;
    const char* interface;
    const char* method;
};

// In the order asked. GNOME also registers the screen saver name but answers its idle time
// with an error, so a source counts only by its answer, not by its name.
constexpr Source kSources[] = {
    {"org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core",
     "org.gnome.Mutter.IdleMonitor", "GetIdletime"},
    {"org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver",
     "GetSessionIdleTime"},
    {"org.freedesktop.ScreenSaver", "/ScreenSaver", "org.freedesktop.ScreenSaver",
     "GetSessionIdleTime"},
};
constexpr int kSourceCount = int(std::size(kSources));

} // namespace

std::unique_ptr<DBusIdleTime> DBusIdleTime::open(const QDBusConnection& bus, int timeoutMs) {
    if (!bus.isConnected()) return nullptr;
    std::unique_ptr<DBusIdleTime> idle(new DBusIdleTime(bus, timeoutMs, kSourceCount));
    for (int i = 0; i < kSourceCount; ++i)
        if (idle->ask(i)) {
            idle->source_ = i;
            return idle;
        }
    return nullptr;
}

std::optional<qint64> DBusIdleTime::idleMs() {
    for (; source_ < kSourceCount; ++source_)
        if (const std::optional<qint64> ms = ask(source_)) return ms;
    return std::nullopt;
}

QString DBusIdleTime::sourceName() const {
    if (source_ >= kSourceCount) return {};
    const Source& s = kSources[source_];
    return QString::fromLatin1(s.service) + QLatin1Char(' ') + QString::fromLatin1(s.path);
}

std::optional<qint64> DBusIdleTime::ask(int index) const {
    const Source& s = kSources[index];
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(s.service), QString::fromLatin1(s.path),
        QString::fromLatin1(s.interface), QString::fromLatin1(s.method));
    const QDBusMessage reply = bus_.call(call, QDBus::Block, timeoutMs_);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    bool ok = false;
    const qlonglong ms = reply.arguments().constFirst().toLongLong(&ok);
    if (!ok || ms < 0) return std::nullopt;
    return ms;
}

} // namespace velmora
