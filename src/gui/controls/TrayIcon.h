#pragma once
// TrayIcon: one icon with a tooltip in the desktop's notification area, its mouse actions
// reported as events and a menu popped up on a right click (or, on a StatusNotifier tray,
// shown by the tray's host). A thin layer over QSystemTrayIcon.

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace velmora {

class TrayIcon : public QObject {
    Q_OBJECT
public:
    using Event = std::function<void(TrayIcon* sender)>;

    explicit TrayIcon(QObject* owner = nullptr);
    ~TrayIcon() override;

    QIcon icon() const;
    // A different picture (by its cache key) replaces the shown one; the same one does nothing.
    void setIcon(const QIcon& icon);
    bool enabled() const;
    void setEnabled(bool enabled);
    QString hint() const;
    // Keeps the first 63 characters.
    void setHint(const QString& hint);
    // A line the tooltip shows under the hint; empty: none.
    QString note() const;
    void setNote(const QString& note);
    QMenu* popupMenu() const;
    // On a StatusNotifier tray the menu is handed to the tray, whose host shows it.
    void setPopupMenu(QMenu* menu);
    // Whether the tray's host shows the menu (StatusNotifier over D-Bus), rather than the
    // program on a right click (XEmbed).
    bool menuShownByHost() const;
    bool autoShow() const;
    void setAutoShow(bool autoShow);

    Event onLeftClick;
    Event onDoubleClick;
    Event onRightClick;
    // Kept for the component's users, but never fired: QSystemTrayIcon reports presses and
    // clicks only, not the pointer moving over the icon.
    Event onMouseMove;

    // Whether the icon is in the notification area now.
    bool shown() const;
    // How many times the notification area was told about a change (add, modify, delete).
    int updateCount() const;

    // The mouse actions as the notification area reports them; public so that tests and the
    // platform layer can drive them.
    void leftButtonPressed();
    void leftDoubleClicked();
    void rightButtonPressed(const QPoint& globalPos);

private:
    struct Private;
    std::unique_ptr<Private> d_;
};

} // namespace velmora
