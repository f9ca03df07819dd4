#include "gui/desktop/ScreenSaverWatch.h"

namespace velmora {

namespace {
struct ScreenSaver {
    const char* service;
    const char* path;
    const char* interface;
};
// KDE serves the freedesktop interface on both paths.
constexpr ScreenSaver kScreenSavers[] = {
    {"org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver"},
    {"org.freedesktop.ScreenSaver", "/ScreenSaver", "org.freedesktop.ScreenSaver"},
    {"org.gnome.ScreenSaver", "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver"},
};
} // namespace

ScreenSaverWatch::ScreenSaverWatch(const QDBusConnection& bus, QObject* parent) : QObject(parent) {
    QDBusConnection connection = bus;
    if (!connection.isConnected()) return;
    for (const ScreenSaver& s : kScreenSavers)
        connection.connect(QLatin1String(s.service), QLatin1String(s.path),
                           QLatin1String(s.interface), QStringLiteral("ActiveChanged"), this,
                           SLOT(onActiveChanged(bool)));
}

} // namespace velmora
