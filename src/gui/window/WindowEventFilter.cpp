#include "gui/window/WindowEventFilter.h"

#include "gui/board/StatusListView.h"
#include "gui/board/StatusPage.h"
#include "gui/window/MainWindow.h"
#include "gui/window/OptionsPage.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

namespace velmora {

WindowEventFilter::WindowEventFilter(MainWindow& window) : window_(window) {
    window.statusPage().remarkBox().lineEdit()->installEventFilter(this);
    window.statusPage().statusList().viewport()->installEventFilter(this);
    window.optionsPage().nameBox().installEventFilter(this);
    qApp->installEventFilter(this);
}

WindowEventFilter::~WindowEventFilter() {
    qApp->removeEventFilter(this);
}

bool WindowEventFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    StatusPage& statusPage = window_.statusPage();
    OptionsPage& optionsPage = window_.optionsPage();
    QLineEdit* remarkLine = statusPage.remarkBox().lineEdit();
    QLineEdit* nameBox = &optionsPage.nameBox();
    QLineEdit* idleBox = &optionsPage.idleTimeoutBox();
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
        if (window_.isActiveWindow() && window_.isCurrentPage(PageId::Status) &&
            watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == &window_ &&
            !key->text().isEmpty() && !enter)
            statusPage.onLetterTyped(key->text());
        if (watched == remarkLine && enter) {
            statusPage.onRemarkConfirmed();
            return true;
        }
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
        else if (watched == remarkLine)
            statusPage.onRemarkBoxLeft();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velmora
