#include "gui/window/WindowSizing.h"

#include "core/settings/Settings.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

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
    // "Large" grows the window from where it stands; fit() keeps it on the screen.
    if (heightIsLarge() && largeHeight_ < designed_.height() + 80) {
        const QScreen* screen = window_.screen();
        largeHeight_ = (screen ? screen->availableGeometry().height() : 600) * 2 / 3;
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
    if (heightIsLarge()) {
        makeResizable();
        growWithinScreen(w, h);
    } else {
        // Also at the same size: the frame of "Large" must not stay resizable.
        window_.setFixedSize(w, h);
    }
}

void WindowSizing::growWithinScreen(int w, int h) {
    // A window reaching past the screen's free area would hide its last rows behind the edge
    // or a panel: it moves back only as far as needed, and is never larger than that area.
    QPoint at = window_.frameGeometry().topLeft();
    if (const QScreen* screen = window_.screen()) {
        const QRect room = screen->availableGeometry();
        const QSize frame = window_.frameGeometry().size() - window_.size(); // title and borders
        w = std::min(w, room.width() - frame.width());
        h = std::min(h, room.height() - frame.height());
        at.setX(std::clamp(at.x(), room.left(), room.right() + 1 - w - frame.width()));
        at.setY(std::clamp(at.y(), room.top(), room.bottom() + 1 - h - frame.height()));
    }
    if (at != window_.frameGeometry().topLeft()) window_.move(at);
    if (w != window_.width() || h != window_.height()) window_.resize(w, h);
}

void WindowSizing::onResized() {
    if (window_.height() > designed_.height()) largeHeight_ = window_.height();
    if (window_.width() > designed_.width()) rememberedWidth_ = window_.width();
}

} // namespace velmora
