#pragma once
// Desktop notifications through the freedesktop notification server on the session bus: a
// summary, a plain body and actions ("Show" and "Reply" unless others are asked for). Each
// notification carries a key of
// the caller's choosing, which comes back with the action the user picks. A server that is
// missing or does not answer is never reported: the notification is simply not shown.

#include <QByteArray>
#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

namespace velmora {

class DesktopNotifications : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifications(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                                  QObject* parent = nullptr);

    // Sends a notification; `key` comes back with its action. `actions` alternates each
    // action's key and its caption; none: "Show" and "Reply".
    void notify(const QString& summary, const QString& body, const QByteArray& key,
                const QStringList& actions = {});

    // The body as plain text for a server that may read markup in it: & < > as entities.
    static QString plainBody(const QString& text);

    // Notifications the server has shown and not yet closed.
    int openCount() const { return int(open_.size()); }

Q_SIGNALS:
    // The user chose "Show" (or clicked the notification itself) or "Reply".
    void showChosen(const QByteArray& key);
    void replyChosen(const QByteArray& key);
    // Any action, by its key.
    void actionChosen(const QByteArray& key, const QString& action);

private Q_SLOTS:
    void onActionInvoked(uint id, const QString& action);
    void onClosed(uint id, uint reason);

private:
    QDBusConnection bus_;
    QHash<uint, QByteArray> open_; // the server's id of each open notification, and its key
};

} // namespace velmora
