#include "gui/controls/TrayIcon.h"

#include <QAction>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QFont>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTextDocument>

namespace velmora {

namespace {

// The tip field of the notification area holds 63 characters.
constexpr qsizetype maxHintLength = 63;

// What changed, so that an update of a shown icon touches only that.
enum UpdateFlag { UpdateIcon = 1, UpdateTip = 2, UpdateAll = UpdateIcon | UpdateTip };

// The hint is plain text. The X11 tray shows its tooltip through QToolTip and status-notifier
// hosts accept markup, so a hint that looks like rich text would be rendered as markup there;
// such a hint goes out escaped inside a paragraph, which every rich-text reader shows literally.
QString toolTipFor(const QString& hint) {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return hint;
#else
    if (!Qt::mightBeRichText(hint)) return hint;
    return QStringLiteral("<p>") +
           hint.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")) +
           QStringLiteral("</p>");
#endif
}

// Qt's tray speaks StatusNotifierItem over the session bus, instead of docking into an XEmbed
// tray, when a StatusNotifierWatcher there reports a registered host as the icon is made. The
// same question as Qt's, asked at the same moment; the headless platforms have no tray at all.
bool trayRunsOverDBus() {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return false;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    const QString watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusInterface watcher(watcherName, QStringLiteral("/StatusNotifierWatcher"), watcherName, bus);
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}

} // namespace

struct TrayIcon::Private {
    QSystemTrayIcon* tray = nullptr; // child of the component
    QIcon icon;
    bool enabled = false;
    QString hint;
    QString note;
    QPointer<QMenu> popupMenu;
    bool autoShow = true;
    bool shown = false;
    bool statusNotifier = false; // the host shows the menu; see trayRunsOverDBus
    int updateCount = 0;

    QString toolTip() const {
        return toolTipFor(note.isEmpty() ? hint : hint + QLatin1Char('\n') + note);
    }

    void update(int flags) {
        if (!icon.isNull() && enabled) {
            if (shown) {
                if (flags & UpdateIcon) tray->setIcon(icon);
                if (flags & UpdateTip) tray->setToolTip(toolTip());
            } else {
                tray->setIcon(icon);
                tray->setToolTip(toolTip());
                tray->show();
                shown = true;
            }
            ++updateCount;
        } else if (shown) {
            tray->hide();
            shown = false;
            ++updateCount;
        }
    }
};

TrayIcon::TrayIcon(QObject* owner) : QObject(owner), d_(std::make_unique<Private>()) {
    d_->icon = QGuiApplication::windowIcon();
    d_->statusNotifier = trayRunsOverDBus();
    d_->tray = new QSystemTrayIcon(this);
    // On an XEmbed tray no setContextMenu: the tray would then pop the menu up by itself and
    // the right-click event and the default item would be bypassed. A StatusNotifier host
    // shows the menu that the item exports, where the desktop puts its menus.
    connect(d_->tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                switch (reason) {
                case QSystemTrayIcon::Trigger:
                    leftButtonPressed();
                    break;
                case QSystemTrayIcon::DoubleClick:
                    leftDoubleClicked();
                    break;
                case QSystemTrayIcon::Context:
                    rightButtonPressed(QCursor::pos());
                    break;
                default:
                    break;
                }
            });
}

TrayIcon::~TrayIcon() {
    if (d_->shown) d_->tray->hide();
}

QIcon TrayIcon::icon() const {
    return d_->icon;
}

void TrayIcon::setIcon(const QIcon& icon) {
    if (icon.cacheKey() == d_->icon.cacheKey()) return;
    d_->icon = icon;
    d_->update(UpdateIcon);
}

bool TrayIcon::enabled() const {
    return d_->enabled;
}

void TrayIcon::setEnabled(bool enabled) {
    if (enabled == d_->enabled) return;
    d_->enabled = enabled;
    d_->update(UpdateAll);
}

QString TrayIcon::hint() const {
    return d_->hint;
}

void TrayIcon::setHint(const QString& hint) {
    const QString cut = hint.left(maxHintLength);
    if (cut == d_->hint) return;
    d_->hint = cut;
    d_->update(UpdateTip);
}

QString TrayIcon::note() const {
    return d_->note;
}

void TrayIcon::setNote(const QString& note) {
    if (note == d_->note) return;
    d_->note = note;
    d_->update(UpdateTip);
}

QMenu* TrayIcon::popupMenu() const {
    return d_->popupMenu;
}

void TrayIcon::setPopupMenu(QMenu* menu) {
    d_->popupMenu = menu;
    if (d_->statusNotifier) d_->tray->setContextMenu(menu);
}

bool TrayIcon::menuShownByHost() const {
    return d_->statusNotifier;
}

bool TrayIcon::autoShow() const {
    return d_->autoShow;
}

void TrayIcon::setAutoShow(bool autoShow) {
    d_->autoShow = autoShow;
}

bool TrayIcon::shown() const {
    return d_->shown;
}

int TrayIcon::updateCount() const {
    return d_->updateCount;
}

void TrayIcon::leftButtonPressed() {
    if (onLeftClick) onLeftClick(this);
}

void TrayIcon::leftDoubleClicked() {
    if (onDoubleClick) onDoubleClick(this);
    QMenu* menu = d_->popupMenu;
    if (menu && d_->autoShow && !menu->actions().isEmpty()) menu->actions().first()->trigger();
}

void TrayIcon::rightButtonPressed(const QPoint& globalPos) {
    if (onRightClick) onRightClick(this);
    QMenu* menu = d_->popupMenu;
    if (!menu || d_->statusNotifier) return;
    if (!menu->actions().isEmpty()) {
        // The default item is the one a double click runs; like a native default item it is
        // shown bold.
        QAction* first = menu->actions().first();
        QFont font = first->font();
        if (font.bold() != d_->autoShow) {
            font.setBold(d_->autoShow);
            first->setFont(font);
        }
    }
    menu->popup(globalPos);
}

} // namespace velmora
