#pragma once
// What tells the user of a new message where the window could not come forward (Wayland
// refuses to raise a window the user did not activate): a desktop notification with "Show" and
// "Reply" ("Delivered to <name>" when a message from the outbox was confirmed, or that one
// waited too long), and the count of unread messages in the tray's tooltip until the Messages page has
// been seen. While the user writes in the Compose box a new message leaves the page as it is;
// the marks on the Messages and Discuss tabs say what waits unseen there. Also keeps the
// tooltip's note that nothing leaves the computer.

#include "gui/window/PageHost.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <memory>

namespace velmora {

class DesktopNotifications;
class MainWindow;

class MessageAlerts : public QObject {
    Q_OBJECT
public:
    // How long after a message's bring-into-view the window is checked for being active: the
    // window manager grants the activation a moment after it is asked for.
    static constexpr int kSettleMs = 750;
    // A burst (or a flood from one host) gives at most this many notifications at a time;
    // the tooltip still counts every message.
    static constexpr int kMostPending = 5;

    MessageAlerts(MainWindow& window, const QDBusConnection& bus = QDBusConnection::sessionBus());
    ~MessageAlerts() override;

    // Talks to the notification server on `bus` from now on.
    void useBus(const QDBusConnection& bus);
    DesktopNotifications& notifications() { return *notifications_; }

    // Messages that arrived since the Messages page was last seen.
    int unread() const { return unread_; }
    // Discussion lines that arrived while the Discuss page was out of view.
    int unreadLines() const { return unreadLines_; }
    // Why nothing leaves the computer, shown after the count; empty once it works again.
    void setConnectionProblem(const QString& reason);

    // The tray's tooltip: the program's title, the unread count and the connection problem.
    static QString hint(int unread, const QString& problem);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void messageAccepted(const QByteArray& source, const QByteArray& entry);
    void settled(const QByteArray& entry);
    // A page in front of the user: its unread count starts again.
    void checkSeen();
    bool seen(PageId page) const;
    void lineAdded();
    // The tray's tooltip and the tabs' marks.
    void showUnread();
    void openMessage(const QByteArray& entry, bool reply);
    // What became of a message in the outbox, told when the window is not in view.
    void outboxNews(const QString& summary);

    MainWindow& window_;
    std::unique_ptr<DesktopNotifications> notifications_;
    int unread_ = 0;
    int unreadLines_ = 0;
    int pending_ = 0; // messages waiting for their settle time
    QString problem_;
};

} // namespace velmora
