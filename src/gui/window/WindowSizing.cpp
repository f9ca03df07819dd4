#include "gui/window/WindowSizing.h"

#include "core/settings/Settings.h"

#include <QScreen>
#include <QWidget>

namespace velmora {

WindowSizing::WindowSizing(QWidget& window, const Options& options, QSize designed)
    : window_(window), options_(options), designed_(designed), rememberedWidth_(designed.width()) {}

void WindowSizing::restore(int width, int largeHeight) {
    rememberedWidth_ = width;
    largeHeight_ = largeHeight;
}

bool WindowSizing::heightIsLarge() const {
    return options_.windowHeight == WindowHeight::Large;
}

int WindowSizing::heightToSave() const {
    return heightIsLarge() ? window_.height() : designed_.height();
}

void WindowSizing::makeResizable() {
    window_.setMinimumSize(200, 100);
    window_.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void WindowSizing::prepareFrame() {
    if (heightIsLarge()) makeResizable();
}

void WindowSizing::onHeightChanged() {
    if (heightIsLarge()) {
        window_.move(window_.x(), 0);
        if (largeHeight_ < designed_.height() + 80) {
            const QScreen* screen = window_.screen();
            largeHeight_ = (screen ? screen->availableGeometry().height() : 600) * 2 / 3;
        }
    }
    prepareFrame();
}

void WindowSizing::fit(bool statusPageShown) {
    int w = designed_.width();
    int h = designed_.height();
    if (statusPageShown) {
        if (heightIsLarge()) {
            w = rememberedWidth_;
            h = largeHeight_;
        } else if (options_.windowHeight == WindowHeight::Small) {
            h = designed_.height() / 2 + 9;
        }
    }
    if (w == window_.width() && h == window_.height()) return;
    if (heightIsLarge()) {
        makeResizable();
        window_.resize(w, h);
    } else {
        window_.setFixedSize(w, h);
    }
}

void WindowSizing::onResized() {
    if (window_.height() > designed_.height()) largeHeight_ = window_.height();
    if (window_.width() > designed_.width()) rememberedWidth_ = window_.width();
}

} // namespace velmora
