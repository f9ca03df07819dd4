#pragma once
// ColorButton: a push button whose face is painted in a chosen colour, with its own colours
// for the pressed and the mouse-over ("hot") state, an optional tiled background picture,
// margins around the caption and optional word wrap. It can latch: stay down after a click.
//
// Colours are 0x00BBGGRR integers (red in the low byte), as the settings and the rest of the
// program store them. The caption is plain text; an "&" is shown as it is.

#include <QPixmap>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>

namespace velmora {

class ColorButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int alignment READ alignment WRITE setAlignment)
    Q_PROPERTY(QPixmap backBitmap READ backBitmap WRITE setBackBitmap)
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(bool wordWrap READ wordWrap WRITE setWordWrap)
    Q_PROPERTY(bool latching READ latching WRITE setLatching)
    Q_PROPERTY(bool down READ down WRITE setDown)
    Q_PROPERTY(bool flat READ flat WRITE setFlat)
    Q_PROPERTY(int marginHorizontal READ marginHorizontal WRITE setMarginHorizontal)
    Q_PROPERTY(int marginVertical READ marginVertical WRITE setMarginVertical)
    Q_PROPERTY(quint32 color READ color WRITE setColor)
    Q_PROPERTY(bool hotTrack READ hotTrack WRITE setHotTrack)
    Q_PROPERTY(quint32 hotColor READ hotColor WRITE setHotColor)
    Q_PROPERTY(quint32 downColor READ downColor WRITE setDownColor)
    Q_PROPERTY(quint32 hotFontColor READ hotFontColor WRITE setHotFontColor)
    Q_PROPERTY(quint32 downFontColor READ downFontColor WRITE setDownFontColor)
    Q_PROPERTY(QString hint READ hint WRITE setHint)
    Q_PROPERTY(bool showHint READ showHint WRITE setShowHint)
public:
    using Event = std::function<void(ColorButton* sender)>;

    // Horizontal placement of the caption.
    enum Alignment : int { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

    // Named colours, 0x00BBGGRR.
    static constexpr quint32 clBlack = 0x000000;
    static constexpr quint32 clRed = 0x0000FF;
    static constexpr quint32 clLime = 0x00FF00;
    static constexpr quint32 clBlue = 0xFF0000;
    static constexpr quint32 clYellow = 0x00FFFF;
    static constexpr quint32 clFuchsia = 0xFF00FF;
    static constexpr quint32 clGray = 0x808080;
    static constexpr quint32 clDarkGray = 0xA9A9A9;
    static constexpr quint32 clSilver = 0xC0C0C0;
    static constexpr quint32 clWhite = 0xFFFFFF;

    // A new button is 24 x 24 pixels.
    explicit ColorButton(QWidget* parent = nullptr);
    ~ColorButton() override;

    static QColor toQColor(quint32 bgr);

    int alignment() const { return alignment_; }
    void setAlignment(int alignment);
    const QPixmap& backBitmap() const { return backBitmap_; }
    // Keeps its own copy of the picture.
    void setBackBitmap(const QPixmap& picture);
    QString caption() const { return caption_; }
    void setCaption(const QString& caption);
    bool wordWrap() const { return wordWrap_; }
    void setWordWrap(bool wordWrap);
    bool latching() const { return latching_; }
    void setLatching(bool latching) { latching_ = latching; }
    bool down() const { return down_; }
    void setDown(bool down);
    bool flat() const { return flat_; }
    void setFlat(bool flat);
    int marginHorizontal() const { return marginHorizontal_; }
    void setMarginHorizontal(int margin);
    int marginVertical() const { return marginVertical_; }
    void setMarginVertical(int margin);
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
    // The caption colour of the plain looks: the palette's window text, inherited from the
    // parent like the font unless set here.
    quint32 fontColor() const;
    void setFontColor(quint32 color);
    // The tooltip, shown only while showHint is on.
    QString hint() const { return hint_; }
    void setHint(const QString& hint);
    bool showHint() const { return showHint_; }
    void setShowHint(bool showHint);

    // A mouse button went down on the button and has not come up yet.
    bool pressed() const { return pressed_; }
    // The mouse is over the button.
    bool hot() const { return hot_; }

    // Called on a completed left click: released over the button after a press on it.
    Event onclick;
    // What a completed left click does: onclick, then a latching button goes down or up.
    void click();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The size the caption needs, starting from width x height; never smaller than that.
    QSize grownSize(int width, int height) const;
    void paintFrame(QPainter& painter, bool sunken, int width, int height) const;

    int alignment_ = taCenter;
    QPixmap backBitmap_;
    QString caption_;
    bool wordWrap_ = false;
    bool latching_ = false;
    bool down_ = false;
    bool flat_ = true;
    int marginHorizontal_ = 8;
    int marginVertical_ = 4;
    quint32 color_ = clSilver;
    bool hotTrack_ = true;
    quint32 hotColor_ = clYellow;
    quint32 downColor_ = clDarkGray;
    quint32 hotFontColor_ = clRed;
    quint32 downFontColor_ = clBlack;
    QString hint_;
    bool showHint_ = true;
    bool pressed_ = false;
    bool hot_ = false;
};

} // namespace velmora
