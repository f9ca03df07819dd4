#include "gui/desktop/LogindWatch.h"

#include "gui/desktop/DesktopInput.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <unistd.h>

namespace velmora {

namespace {
const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSession = QStringLiteral("org.freedesktop.login1.Session");
// logind answers at once; a bus that hangs costs the inhibitor, never the start.
constexpr int kTimeoutMs = 5000;
} // namespace

LogindWatch::LogindWatch(const QDBusConnection& bus, QObject* parent) : QObject(parent), bus_(bus) {
    if (!bus_.isConnected()) {
        unavailable(QStringLiteral("no system bus"));
        return;
    }
    bus_.connect(kService, kPath, kManager, QStringLiteral("PrepareForSleep"), this,
                 SLOT(onPrepareForSleep(bool)));
    takeInhibitor();
    findSession();
}

LogindWatch::~LogindWatch() {
    releaseInhibitor();
}

void LogindWatch::takeInhibitor() {
    if (asking_ || inhibitor_ >= 0) return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kManager, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Dazuviz Velmora")
         << QStringLiteral("Telling the office that the user is off-line")
         << QStringLiteral("delay");
    asking_ = true;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        asking_ = false;
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        if (!reply.isValid()) {
            unavailable(reply.error().message());
            return;
        }
        QDBusUnixFileDescriptor descriptor = reply.value();
        const int fd = descriptor.takeFileDescriptor();
        // One that arrives after the sleep began would only hold the sleep up.
        if (asleep_ || inhibitor_ >= 0) {
            if (fd >= 0) ::close(fd);
            return;
        }
        inhibitor_ = fd;
    });
}

void LogindWatch::releaseInhibitor() {
    if (inhibitor_ < 0) return;
    ::close(inhibitor_);
    inhibitor_ = -1;
}

void LogindWatch::onPrepareForSleep(bool start) {
    if (start) {
        if (asleep_) return; // said already
        asleep_ = true;
        Q_EMIT sleeping();
        releaseInhibitor();
        return;
    }
    asleep_ = false;
    Q_EMIT wokeUp();
    takeInhibitor();
}

void LogindWatch::findSession() {
    const QString id = qEnvironmentVariable("XDG_SESSION_ID");
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, kPath, kManager,
        id.isEmpty() ? QStringLiteral("GetSessionByPID") : QStringLiteral("GetSession"));
    if (id.isEmpty())
        call << uint(::getpid());
    else
        call << id;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isValid())
            watchSession(reply.value().path());
        else
            unavailable(reply.error().message());
    });
}

void LogindWatch::watchSession(const QString& path) {
    bus_.connect(kService, path, kSession, QStringLiteral("Lock"), this, SLOT(onLock()));
    bus_.connect(kService, path, kSession, QStringLiteral("Unlock"), this, SLOT(onUnlock()));
    bus_.connect(kService, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                 QStringLiteral("PropertiesChanged"), this,
                 SLOT(onSessionPropertiesChanged(QString, QVariantMap, QStringList)));
}

void LogindWatch::onSessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                             const QStringList&) {
    const auto hint = changed.constFind(QStringLiteral("LockedHint"));
    if (interface == kSession && hint != changed.constEnd()) Q_EMIT lockChanged(hint->toBool());
}

void LogindWatch::unavailable(const QString& why) {
    if (std::exchange(told_, true)) return;
    qCInfo(lcDesktop, "sleep and screen lock not followed: %s", qPrintable(why));
}

} // namespace velmora
