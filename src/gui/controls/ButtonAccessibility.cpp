#include "gui/controls/ButtonAccessibility.h"

#include "gui/controls/AquaButton.h"
#include "gui/controls/ColorButton.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPainter>
#include <type_traits>

namespace velmora {
namespace {

// The captions are plain text, shown with any "&" as it is, so the name is the caption as it
// stands. A name set with setAccessibleName wins.
template <class Button> class CaptionButton final : public QAccessibleWidget {
public:
    explicit CaptionButton(Button* button) : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && button()->accessibleName().isEmpty())
            return button()->caption();
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if constexpr (std::is_same_v<Button, ColorButton>) state.pressed = button()->pressed();
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == pressAction())
            button()->click();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    Button* button() const { return static_cast<Button*>(widget()); }
};

QAccessibleInterface* buttonInterface(const QString&, QObject* object) {
    if (auto* colour = qobject_cast<ColorButton*>(object)) return new CaptionButton(colour);
    if (auto* aqua = qobject_cast<AquaButton*>(object)) return new CaptionButton(aqua);
    return nullptr;
}

} // namespace

void installButtonAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(buttonInterface);
        return true;
    }();
    (void)installed;
}

bool isClickKey(const QKeyEvent& event) {
    if (event.isAutoRepeat() || (event.modifiers() & ~Qt::KeypadModifier)) return false;
    const int key = event.key();
    return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
}

void paintFocusMark(QPainter& painter, const QWidget& button, const QRect& frame,
                    const QColor& colour) {
    if (!button.hasFocus()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen dotted(colour, 0);
    dotted.setDashPattern({1, 1});
    painter.setPen(dotted);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    painter.restore();
}

} // namespace velmora
