#pragma once
// A page whose controls are made just before it is first shown, or earlier when something
// needs them (buildNow()): the start has no need of them. The page object itself exists from
// the start, so every pointer to it holds.

#include "gui/controls/WidgetKit.h"

#include <QWidget>

namespace velmora {

class BuiltWhenShown : public QWidget {
public:
    using QWidget::QWidget;

    // Before the page is shown, so that its controls are shown with it.
    void setVisible(bool visible) override {
        if (visible) buildNow();
        QWidget::setVisible(visible);
    }

protected:
    void buildNow() {
        if (built_) return;
        built_ = true;
        makeInFont(font(), [this] { build(); });
    }
    // Makes the controls; runs once.
    virtual void build() = 0;

private:
    bool built_ = false;
};

} // namespace velmora
