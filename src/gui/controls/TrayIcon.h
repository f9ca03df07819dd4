#pragma once
// TTrayIcon: one icon with a tooltip in the desktop's notification area, its mouse actions
// reported as events and a menu popped up on a right click. A thin layer over
// QSystemTrayIcon.

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

class TTrayIcon : public QObject {
    Q_OBJECT
public:
    using Event = std::function<void(TTrayIcon* sender)>;

    explicit TTrayIcon(QObject* owner = nullptr);
    ~TTrayIcon() override;

    QIcon Icon() const;
    // A different picture (by its cache key) replaces the shown one; the same one does nothing.
    void SetIcon(const QIcon& icon);
    bool Enabled() const;
    void SetEnabled(bool enabled);
    QString Hint() const;
    // Keeps the first 63 characters.
    void SetHint(const QString& hint);
    QMenu* PopupMenu() const;
    void SetPopupMenu(QMenu* menu);
    bool AutoShow() const;
    void SetAutoShow(bool autoShow);

    Event OnLeftBtnClick;
    Event OnLeftBtnDblClick;
    Event OnRightBtnClick;
    // Kept for the component's users, but never fired: QSystemTrayIcon reports presses and
    // clicks only, not the pointer moving over the icon.
    Event OnMouseMove;

    // Whether the icon is in the notification area now.
    bool Shown() const;
    // How many times the notification area was told about a change (add, modify, delete).
    int UpdateCount() const;

    // The mouse actions as the notification area reports them; public so that tests and the
    // platform layer can drive them.
    void LeftButtonPressed();
    void LeftDoubleClicked();
    void RightButtonPressed(const QPoint& globalPos);

private:
    struct Private;
    std::unique_ptr<Private> d_;
};

} // namespace velmora
