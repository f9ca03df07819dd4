#include "gui/controls/ButtonAccessibility.h"

#include "gui/controls/AquaButton.h"
#include "gui/controls/ColorButton.h"

#include <QAccessibleWidget>
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

} // namespace velmora
