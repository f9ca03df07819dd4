#pragma once
// Tells the user that somebody at another copy set their status ("Pat set your status to
// Out"): a desktop notification with "Undo", which announces the status held before, and the
// same sentence in the tray's tooltip until the window has been seen.

#include <QByteArray>
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <memory>

namespace velmora {

class DesktopNotifications;
class MainWindow;

class TakeoverAlert : public QObject {
    Q_OBJECT
public:
    TakeoverAlert(MainWindow& window, const QDBusConnection& bus = QDBusConnection::sessionBus());
    ~TakeoverAlert() override;

    // Talks to the notification server on `bus` from now on.
    void useBus(const QDBusConnection& bus);

    // "Pat set your status to Out", with a long name or status cut short.
    static QString sentence(const QString& changer, const QString& status);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onSetByOther();
    void onAction(const QByteArray& key, const QString& action);
    // The window is in front of the user: the tooltip's note goes.
    void checkSeen();

    MainWindow& window_;
    std::unique_ptr<DesktopNotifications> notifications_;
    QByteArray latest_; // the key of the newest notification; only its Undo counts
    int count_ = 0;
};

} // namespace velmora
