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
        keepFocusOrder();
    }
    // Makes the controls; runs once.
    virtual void build() = 0;

private:
    // Controls made now join the end of the window's focus chain; Tab reaches them where the
    // page stands, as if they had been made with it. Qt moves only a focusable widget, so the
    // page takes the Tab focus for as long as that takes.
    void keepFocusOrder() {
        QWidget* top = window();
        QList<QWidget*> made;
        for (QWidget* w = top->nextInFocusChain(); w != top; w = w->nextInFocusChain())
            if (w->focusPolicy() != Qt::NoFocus && isAncestorOf(w)) made.append(w);
        const Qt::FocusPolicy own = focusPolicy();
        setFocusPolicy(Qt::TabFocus);
        QWidget* before = this;
        for (QWidget* w : made) {
            setTabOrder(before, w);
            before = w;
        }
        setFocusPolicy(own);
    }

    bool built_ = false;
};

} // namespace velmora
