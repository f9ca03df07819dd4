#include "gui/window/TakeoverAlert.h"

#include "core/net/AnsiText.h"
#include "gui/controls/TrayIcon.h"
#include "gui/desktop/DesktopNotifications.h"
#include "gui/window/MainWindow.h"

#include <QEvent>
#include <QTimer>

namespace velmora {

namespace {

QString cut(const QString& text, int most) {
    return text.size() <= most ? text : text.left(most - 1) + QChar(0x2026);
}

// The changer as the roster knows the address, else the address.
QString nameAt(Roster& roster, const QByteArray& address) {
    std::lock_guard guard(roster.lock());
    const int at = roster.findAddress(address);
    const QByteArray name =
        at < 0 ? QByteArray() : trimBlanks(Roster::split(roster.entries()[at]).name);
    return fromAnsi(name.isEmpty() ? address : name);
}

} // namespace

TakeoverAlert::TakeoverAlert(MainWindow& window, const QDBusConnection& bus)
    : QObject(&window), window_(window) {
    useBus(bus);
    connect(&window.core(), &Core::ownStatusSetByOther, this, &TakeoverAlert::onSetByOther);
    window.installEventFilter(this);
}

TakeoverAlert::~TakeoverAlert() = default;

void TakeoverAlert::useBus(const QDBusConnection& bus) {
    notifications_ = std::make_unique<DesktopNotifications>(bus);
    connect(notifications_.get(), &DesktopNotifications::actionChosen, this,
            &TakeoverAlert::onAction);
}

QString TakeoverAlert::sentence(const QString& changer, const QString& status) {
    return QStringLiteral("%1 set your status to %2").arg(cut(changer, 40), cut(status, 60));
}

void TakeoverAlert::onSetByOther() {
    const std::optional<StatusTakeover>& change = window_.core().takeover();
    if (!change) return;
    const QString text =
        sentence(nameAt(window_.core().roster(), change->by.address), fromAnsi(change->takenText));
    latest_ = QByteArray::number(++count_);
    notifications_->notify(text,
                           QStringLiteral("Undo sets it back to %1").arg(fromAnsi(change->text)),
                           latest_, {QStringLiteral("undo"), QStringLiteral("Undo")});
    window_.trayIcon().setNote(text);
    checkSeen();
}

void TakeoverAlert::onAction(const QByteArray& key, const QString& action) {
    if (key != latest_ || action != QLatin1String("undo")) return;
    window_.core().undoTakeover();
    window_.trayIcon().setNote({});
}

bool TakeoverAlert::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ActivationChange || event->type() == QEvent::Show)
        QTimer::singleShot(0, this, &TakeoverAlert::checkSeen);
    return QObject::eventFilter(watched, event);
}

void TakeoverAlert::checkSeen() {
    if (window_.isVisible() && window_.isActiveWindow()) window_.trayIcon().setNote({});
}

} // namespace velmora
