#pragma once
// TXQAqua: a glossy gel button. The face is a stack of rounded rectangles (or ellipses, for the
// orb shape) in shades of one base colour, with a light band in the upper third and a graded
// glow in the lower half, drawn over the colour the parent shows at the button's top left
// corner. The mouse counts only inside the rounded outline.
//
// Colours are 0x00BBGGRR integers (red in the low byte), as the settings and the rest of the
// program store them. The caption is plain text; an "&" is shown as it is.

#include <QFont>
#include <QString>
#include <QWidget>
#include <functional>

class QPainter;

namespace velmora {

class TXQAqua : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool CaptionMouseOver READ CaptionMouseOver WRITE SetCaptionMouseOver)
    Q_PROPERTY(bool ButtonActive READ ButtonActive WRITE SetButtonActive)
    Q_PROPERTY(quint32 BackgroundError READ BackgroundError WRITE SetBackgroundError)
    Q_PROPERTY(quint32 ButtonColor READ ButtonColor WRITE SetButtonColor)
    Q_PROPERTY(TXQAquaType ButtonShape READ ButtonShape WRITE SetButtonShape)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(QFont Font READ Font WRITE SetFont)
    Q_PROPERTY(quint32 FontColor READ FontColor WRITE SetFontColor)
    Q_PROPERTY(TXQCustomColor CustomColor READ CustomColor WRITE SetCustomColor)
    Q_PROPERTY(bool SmallCorners READ SmallCorners WRITE SetSmallCorners)
public:
    using Event = std::function<void(TXQAqua* sender)>;

    enum TXQAquaType : int { bsOrb = 0, bsButton = 1 };
    Q_ENUM(TXQAquaType)

    // Ready-made face colours; ccNone uses ButtonColor.
    enum TXQCustomColor : int {
        ccNone = 0,
        ccPaleBlue,
        ccNeonBlue,
        ccNeonGreen,
        ccNeonPink,
        ccOrange,
        ccViolet,
        ccRose,
        ccPepermint,
        ccBurntOrange,
        ccBrown,
    };
    Q_ENUM(TXQCustomColor)

    // A new button is 75 x 25 pixels.
    explicit TXQAqua(QWidget* parent = nullptr);
    ~TXQAqua() override;

    // A shade of colour: kinds 0-3 are 15, 30, 45 and 60 % darker, 4 is 6 % darker, 5 is the
    // colour itself, 6-9 are 15, 30, 45 and 60 % lighter. Each component moves by its rounded
    // share (halves to even) of the distance to black or to white.
    static quint32 Shade(quint32 colour, int kind);

    // Only the caption: when on, the caption shows only under the mouse and the face does not
    // light up there.
    bool CaptionMouseOver() const { return captionMouseOver_; }
    void SetCaptionMouseOver(bool on) { captionMouseOver_ = on; }
    bool ButtonActive() const { return buttonActive_; }
    void SetButtonActive(bool active);
    // Used as the background when the parent's pixel cannot be read.
    quint32 BackgroundError() const { return backgroundError_; }
    void SetBackgroundError(quint32 colour) { backgroundError_ = colour; }
    quint32 ButtonColor() const { return buttonColor_; }
    void SetButtonColor(quint32 colour);
    TXQAquaType ButtonShape() const { return buttonShape_; }
    void SetButtonShape(TXQAquaType shape);
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    // The button's own enabled flag. The widget itself stays enabled, so that a press on a
    // disabled button is still seen (and remembered) but starts nothing.
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // The caption font; the button keeps its own copy.
    const QFont& Font() const { return font_; }
    void SetFont(const QFont& font);
    quint32 FontColor() const { return fontColor_; }
    void SetFontColor(quint32 colour);
    TXQCustomColor CustomColor() const { return customColor_; }
    void SetCustomColor(TXQCustomColor colour);
    bool SmallCorners() const { return smallCorners_; }
    void SetSmallCorners(bool small);

    // Called when the left button comes up after a left press on the button, wherever the
    // mouse is then.
    Event onclick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    enum PointerState : int { psNormal = 0, psPressed = 1, psHover = 3 };

    // Whether a point in the button's coordinates lies inside its outline.
    bool Hits(QPoint at) const;
    // Changes the pointer state, repainting at once when it changed.
    void SetPointerState(PointerState state);
    // The colour the parent shows under the top left corner, or BackgroundError.
    quint32 SampledBackground() const;
    void PaintButton(QPainter& painter, quint32 bg, quint32 face) const;
    void PaintOrb(QPainter& painter, quint32 bg, quint32 face) const;
    void PaintCaption(QPainter& painter, quint32 bg, quint32 face) const;

    bool captionMouseOver_ = false;
    bool buttonActive_ = false;
    quint32 backgroundError_;
    quint32 buttonColor_ = 0xFF0000;
    TXQAquaType buttonShape_ = bsButton;
    QString caption_;
    bool enabled_ = true;
    QFont font_;
    quint32 fontColor_ = 0x000000;
    TXQCustomColor customColor_ = ccNone;
    bool smallCorners_ = false;
    PointerState state_ = psNormal;
    // A left press began on the button and its release has not been handled yet.
    bool captured_ = false;
};

} // namespace velmora
