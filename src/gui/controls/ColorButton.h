#pragma once
// ColorButton: a push button whose face is painted in a chosen colour, with its own colours
// for the pressed and the mouse-over ("hot") state, and margins around the caption.
//
// Colours are 0x00BBGGRR integers (red in the low byte), as the settings and the rest of the
// program store them. The caption is plain text; an "&" is shown as it is.

#include <QSize>
#include <QString>
#include <QWidget>

namespace velmora {

class ColorButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(bool flat READ flat WRITE setFlat)
    Q_PROPERTY(quint32 color READ color WRITE setColor)
    Q_PROPERTY(bool hotTrack READ hotTrack WRITE setHotTrack)
    Q_PROPERTY(quint32 hotColor READ hotColor WRITE setHotColor)
    Q_PROPERTY(quint32 downColor READ downColor WRITE setDownColor)
    Q_PROPERTY(quint32 hotFontColor READ hotFontColor WRITE setHotFontColor)
    Q_PROPERTY(quint32 downFontColor READ downFontColor WRITE setDownFontColor)
public:
    // Named colours, 0x00BBGGRR.
    struct Colour {
        static constexpr quint32 Black = 0x000000;
        static constexpr quint32 Red = 0x0000FF;
        static constexpr quint32 Lime = 0x00FF00;
        static constexpr quint32 Yellow = 0x00FFFF;
        static constexpr quint32 Fuchsia = 0xFF00FF;
        static constexpr quint32 Gray = 0x808080;
        static constexpr quint32 DarkGray = 0xA9A9A9;
        static constexpr quint32 Silver = 0xC0C0C0;
        static constexpr quint32 White = 0xFFFFFF;
    };

    // A new button is 24 x 24 pixels.
    explicit ColorButton(QWidget* parent = nullptr);
    ~ColorButton() override;

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);
    bool flat() const { return flat_; }
    void setFlat(bool flat);
    quint32 color() const { return color_; }
    void setColor(quint32 color);
    bool hotTrack() const { return hotTrack_; }
    void setHotTrack(bool hotTrack) { hotTrack_ = hotTrack; }
    // The hot and down colours take effect at the next paint.
    quint32 hotColor() const { return hotColor_; }
    void setHotColor(quint32 color) { hotColor_ = color; }
    quint32 downColor() const { return downColor_; }
    void setDownColor(quint32 color) { downColor_ = color; }
    quint32 hotFontColor() const { return hotFontColor_; }
    void setHotFontColor(quint32 color) { hotFontColor_ = color; }
    quint32 downFontColor() const { return downFontColor_; }
    void setDownFontColor(quint32 color) { downFontColor_ = color; }

    // A mouse button went down on the button and has not come up yet.
    bool pressed() const { return pressed_; }

    // What a completed left click (or Space or Enter while it has the focus) does: emits
    // clicked, and the button comes up.
    void click();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // A completed left click: released over the button after a press on it. A receiver may
    // destroy the button.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The size the caption needs, starting from width x height; never smaller than that.
    QSize grownSize(int width, int height) const;
    void paintFrame(QPainter& painter, bool sunken, int width, int height) const;

    QString caption_;
    bool flat_ = true;
    quint32 color_ = Colour::Silver;
    bool hotTrack_ = true;
    quint32 hotColor_ = Colour::Yellow;
    quint32 downColor_ = Colour::DarkGray;
    quint32 hotFontColor_ = Colour::Red;
    quint32 downFontColor_ = Colour::Black;
    bool pressed_ = false;
    bool hot_ = false;
};

} // namespace velmora
