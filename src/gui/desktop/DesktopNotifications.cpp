#include "gui/desktop/DesktopNotifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace velmora {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// A notification server answers at once; one that hangs loses the notification, nothing else.
constexpr int kTimeoutMs = 5000;
} // namespace

DesktopNotifications::DesktopNotifications(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {
    if (!bus_.isConnected()) return;
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(onActionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(onClosed(uint, uint)));
}

QString DesktopNotifications::plainBody(const QString& text) {
    QString body = text;
    body.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    body.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    body.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return body;
}

void DesktopNotifications::notify(const QString& summary, const QString& body,
                                  const QByteArray& key, const QStringList& asked) {
    if (!bus_.isConnected()) return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QStringList actions = !asked.isEmpty()
                                    ? asked
                                    : QStringList{QStringLiteral("show"), QStringLiteral("Show"),
                                                  QStringLiteral("reply"), QStringLiteral("Reply")};
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("dazuviz-velmora")}};
    call << QStringLiteral("Dazuviz Velmora") << uint(0) << QStringLiteral("dazuviz-velmora")
         << summary << plainBody(body) << actions << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, key](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<uint> reply = *finished;
                if (reply.isValid()) open_.insert(reply.value(), key);
            });
}

void DesktopNotifications::onActionInvoked(uint id, const QString& action) {
    const auto it = open_.constFind(id);
    if (it == open_.constEnd()) return; // another program's, or one already handled
    const QByteArray key = *it;
    Q_EMIT actionChosen(key, action);
    if (action == QLatin1String("reply"))
        Q_EMIT replyChosen(key);
    else if (action == QLatin1String("show") || action == QLatin1String("default"))
        Q_EMIT showChosen(key);
}

void DesktopNotifications::onClosed(uint id, uint) {
    open_.remove(id);
}

} // namespace velmora
