#include "gui/window/WindowEventFilter.h"

#include "gui/board/StatusListView.h"
#include "gui/board/StatusPage.h"
#include "gui/window/MainWindow.h"
#include "gui/window/OptionsPage.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

namespace velmora {

WindowEventFilter::WindowEventFilter(MainWindow& window) : window_(window) {
    // Only the application-wide filter: it sees each event once for every object the event is
    // delivered to, so one key or click is one action when the handling below keeps to the
    // object that receives the event first.
    qApp->installEventFilter(this);
}

WindowEventFilter::~WindowEventFilter() {
    qApp->removeEventFilter(this);
}

bool WindowEventFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    StatusPage& statusPage = window_.statusPage();
    OptionsPage& optionsPage = window_.optionsPage();
    // Null until the Options page is built: no event is then theirs.
    QLineEdit* nameBox = optionsPage.nameBox();
    QLineEdit* idleBox = optionsPage.idleTimeoutBox();
    if (watched == statusPage.statusList().viewport() && type == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        statusPage.onStatusListPressed(
            mouse->button(), mouse->modifiers().testFlag(Qt::ControlModifier),
            mouse->position().toPoint(), mouse->globalPosition().toPoint());
        return mouse->button() != Qt::LeftButton; // the list still selects on a left press
    }
    if (type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        // Keys typed on the Status page reorder the list before they reach the focused control.
        // A key travels on to parents the focused control leaves it to, and a combo box hands
        // it to its line edit: only its first receiver counts.
        QWidget* firstReceiver = QApplication::focusWidget();
        if (!firstReceiver) firstReceiver = &window_;
        if (watched == firstReceiver && window_.isActiveWindow() &&
            window_.isCurrentPage(PageId::Status) && firstReceiver->window() == &window_ &&
            !key->text().isEmpty() && !enter)
            statusPage.onLetterTyped(key->text());
        if (watched == idleBox && enter) {
            optionsPage.onIdleTimeoutBoxLeft();
            return true;
        }
        if (watched == nameBox) {
            if (enter) {
                window_.showPage(PageId::Status);
                return true;
            }
            // Past 30 characters the field takes no more typed characters.
            if (!key->text().isEmpty() && key->text()[0].isPrint() && nameBox->text().size() > 30 &&
                !nameBox->hasSelectedText()) {
                QApplication::beep();
                return true;
            }
        }
    }
    if (type == QEvent::FocusOut) {
        if (watched == nameBox)
            optionsPage.onNameBoxLeft();
        else if (watched == idleBox)
            optionsPage.onIdleTimeoutBoxLeft();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velmora
