#pragma once
// Input delivered where the desktop delivers it: a click goes to the deepest widget under the
// point (which takes the focus as its policy says), keys go to the focus widget. Tests that
// drive the window through these prove the path a person's input takes, not a handler.

#include <QApplication>
#include <QTest>
#include <QWidget>

namespace velmora::test {

class PersonInput {
public:
    // Shows `window` and makes it the active window, as a click on its title would.
    explicit PersonInput(QWidget& window) : window_(window) {
        window.show();
        QApplication::setActiveWindow(&window);
        (void)QTest::qWaitForWindowActive(&window);
    }

    // A click at `at` in `widget`'s coordinates (its centre when none).
    void click(QWidget* widget, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = {}, QPoint at = {-1, -1}) {
        if (at == QPoint(-1, -1)) at = widget->rect().center();
        const QPoint inWindow = widget->mapTo(widget->window(), at);
        QWidget* target = widget->window()->childAt(inWindow);
        if (!target) target = widget;
        QTest::mouseClick(target, button, modifiers, target->mapFrom(widget->window(), inWindow));
        QCoreApplication::processEvents();
    }
    void type(const QString& text) {
        QTest::keyClicks(keyReceiver(), text);
        QCoreApplication::processEvents();
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        // Ctrl with a letter carries the control character as its text, as the desktop sends it.
        if (modifiers.testFlag(Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z)
            QTest::sendKeyEvent(QTest::Click, keyReceiver(), key,
                                QString(QChar(key - Qt::Key_A + 1)), modifiers);
        else
            QTest::keyClick(keyReceiver(), key, modifiers);
        QCoreApplication::processEvents();
    }

private:
    // An open menu or drop-down list takes the keys while it is up, as it does on the desktop.
    static QWidget* keyReceiver() {
        QWidget* popup = QApplication::activePopupWidget();
        if (!popup) return QApplication::focusWidget();
        return popup->focusWidget() ? popup->focusWidget() : popup;
    }

    QWidget& window_;
};

} // namespace velmora::test
