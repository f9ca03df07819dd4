#pragma once
// The desktop's screen savers on the session bus (the freedesktop one of KDE and others,
// GNOME's): when one becomes active, the screen is taken to be locked. A screen saver that is
// not there simply never says anything.

#include <QDBusConnection>
#include <QObject>

namespace velmora {

class ScreenSaverWatch : public QObject {
    Q_OBJECT
public:
    explicit ScreenSaverWatch(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                              QObject* parent = nullptr);

Q_SIGNALS:
    void lockChanged(bool locked);

private Q_SLOTS:
    void onActiveChanged(bool active) { Q_EMIT lockChanged(active); }
};

} // namespace velmora
