#pragma once
// tColorButton: a push button whose face is painted in a chosen colour, with its own colours
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

class tColorButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(QPixmap BackBitmap READ BackBitmap WRITE SetBackBitmap)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_PROPERTY(bool Latching READ Latching WRITE SetLatching)
    Q_PROPERTY(bool Down READ Down WRITE SetDown)
    Q_PROPERTY(bool Flat READ Flat WRITE SetFlat)
    Q_PROPERTY(int MarginHorizontal READ MarginHorizontal WRITE SetMarginHorizontal)
    Q_PROPERTY(int MarginVertical READ MarginVertical WRITE SetMarginVertical)
    Q_PROPERTY(quint32 Color READ Color WRITE SetColor)
    Q_PROPERTY(bool HotTrack READ HotTrack WRITE SetHotTrack)
    Q_PROPERTY(quint32 HotColor READ HotColor WRITE SetHotColor)
    Q_PROPERTY(quint32 DownColor READ DownColor WRITE SetDownColor)
    Q_PROPERTY(quint32 HotFontColor READ HotFontColor WRITE SetHotFontColor)
    Q_PROPERTY(quint32 DownFontColor READ DownFontColor WRITE SetDownFontColor)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)
public:
    using Event = std::function<void(tColorButton* sender)>;

    // Horizontal placement of the caption.
    enum TAlignment : int { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

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
    explicit tColorButton(QWidget* parent = nullptr);
    ~tColorButton() override;

    static QColor ToQColor(quint32 bgr);

    int Alignment() const { return alignment_; }
    void SetAlignment(int alignment);
    const QPixmap& BackBitmap() const { return backBitmap_; }
    // Keeps its own copy of the picture.
    void SetBackBitmap(const QPixmap& picture);
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wordWrap);
    bool Latching() const { return latching_; }
    void SetLatching(bool latching) { latching_ = latching; }
    bool Down() const { return down_; }
    void SetDown(bool down);
    bool Flat() const { return flat_; }
    void SetFlat(bool flat);
    int MarginHorizontal() const { return marginHorizontal_; }
    void SetMarginHorizontal(int margin);
    int MarginVertical() const { return marginVertical_; }
    void SetMarginVertical(int margin);
    quint32 Color() const { return color_; }
    void SetColor(quint32 color);
    bool HotTrack() const { return hotTrack_; }
    void SetHotTrack(bool hotTrack) { hotTrack_ = hotTrack; }
    // The hot and down colours take effect at the next paint.
    quint32 HotColor() const { return hotColor_; }
    void SetHotColor(quint32 color) { hotColor_ = color; }
    quint32 DownColor() const { return downColor_; }
    void SetDownColor(quint32 color) { downColor_ = color; }
    quint32 HotFontColor() const { return hotFontColor_; }
    void SetHotFontColor(quint32 color) { hotFontColor_ = color; }
    quint32 DownFontColor() const { return downFontColor_; }
    void SetDownFontColor(quint32 color) { downFontColor_ = color; }
    // The caption colour of the plain looks: the palette's window text, inherited from the
    // parent like the font unless set here.
    quint32 FontColor() const;
    void SetFontColor(quint32 color);
    // The tooltip, shown only while ShowHint is on.
    QString Hint() const { return hint_; }
    void SetHint(const QString& hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool showHint);

    // A mouse button went down on the button and has not come up yet.
    bool Pressed() const { return pressed_; }
    // The mouse is over the button.
    bool Hot() const { return hot_; }

    // Called on a completed left click: released over the button after a press on it.
    Event onclick;

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
    QSize GrownSize(int width, int height) const;
    void PaintFrame(QPainter& painter, bool sunken, int width, int height) const;

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
