#pragma once
// The window's size rules. Every page has the designed size, except the Status page under the
// Height option: "Small" is half as high, "Large" is resizable and comes back at the width and
// height the user last gave it (kept in the options across restarts).

#include <QSize>

class QWidget;

namespace velmora {

struct Options;

class WindowSizing {
public:
    WindowSizing(QWidget& window, const Options& options, QSize designed);

    // The size "Large" comes back to: from the stored options, or the screen's at first start.
    void restore(int width, int largeHeight);
    int rememberedWidth() const { return rememberedWidth_; }
    int largeHeight() const { return largeHeight_; }
    // What a save keeps as the large height: the window's height while "Large" is chosen, else
    // the designed height.
    int heightToSave() const;

    // Under "Large" the window may be resized; otherwise each page fixes its size in fit().
    void prepareFrame();
    // The Height option changed: "Large" is at least a good part of the screen high.
    void onHeightChanged();
    // Gives the window the size of the page now shown.
    void fit(bool statusPageShown);
    // The user resized the window: a larger size is what "Large" comes back to.
    void onResized();

private:
    bool heightIsLarge() const;
    void makeResizable();
    void growWithinScreen(int w, int h);

    QWidget& window_;
    const Options& options_;
    const QSize designed_;
    int largeHeight_ = 0;
    int rememberedWidth_ = 0;
};

} // namespace velmora
