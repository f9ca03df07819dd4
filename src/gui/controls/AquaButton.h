#pragma once
// AquaButton: a glossy gel button. The face is a stack of rounded rectangles (or ellipses, for the
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

class AquaButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool captionMouseOver READ captionMouseOver WRITE setCaptionMouseOver)
    Q_PROPERTY(bool buttonActive READ buttonActive WRITE setButtonActive)
    Q_PROPERTY(quint32 backgroundError READ backgroundError WRITE setBackgroundError)
    Q_PROPERTY(quint32 buttonColor READ buttonColor WRITE setButtonColor)
    Q_PROPERTY(Shape buttonShape READ buttonShape WRITE setButtonShape)
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(bool clickable READ clickable WRITE setClickable)
    Q_PROPERTY(QFont captionFont READ captionFont WRITE setCaptionFont)
    Q_PROPERTY(quint32 fontColor READ fontColor WRITE setFontColor)
    Q_PROPERTY(Preset customColor READ customColor WRITE setCustomColor)
    Q_PROPERTY(bool smallCorners READ smallCorners WRITE setSmallCorners)
public:
    using Event = std::function<void(AquaButton* sender)>;

    enum Shape : int { bsOrb = 0, bsButton = 1 };
    Q_ENUM(Shape)

    // Ready-made face colours; ccNone uses buttonColor.
    enum Preset : int {
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
    Q_ENUM(Preset)

    // A new button is 75 x 25 pixels.
    explicit AquaButton(QWidget* parent = nullptr);
    ~AquaButton() override;

    // A shade of colour: kinds 0-3 are 15, 30, 45 and 60 % darker, 4 is 6 % darker, 5 is the
    // colour itself, 6-9 are 15, 30, 45 and 60 % lighter. Each component moves by its rounded
    // share (halves to even) of the distance to black or to white.
    static quint32 shade(quint32 colour, int kind);

    // Only the caption: when on, the caption shows only under the mouse and the face does not
    // light up there.
    bool captionMouseOver() const { return captionMouseOver_; }
    void setCaptionMouseOver(bool on) { captionMouseOver_ = on; }
    bool buttonActive() const { return buttonActive_; }
    void setButtonActive(bool active);
    // Used as the background when the parent's pixel cannot be read.
    quint32 backgroundError() const { return backgroundError_; }
    void setBackgroundError(quint32 colour) { backgroundError_ = colour; }
    quint32 buttonColor() const { return buttonColor_; }
    void setButtonColor(quint32 colour);
    Shape buttonShape() const { return buttonShape_; }
    void setButtonShape(Shape shape);
    QString caption() const { return caption_; }
    void setCaption(const QString& caption);
    // The button's own enabled flag. The widget itself stays enabled, so that a press on a
    // disabled button is still seen (and remembered) but starts nothing.
    bool clickable() const { return enabled_; }
    void setClickable(bool enabled);
    // The caption font; the button keeps its own copy.
    const QFont& captionFont() const { return font_; }
    void setCaptionFont(const QFont& font);
    quint32 fontColor() const { return fontColor_; }
    void setFontColor(quint32 colour);
    Preset customColor() const { return customColor_; }
    void setCustomColor(Preset colour);
    bool smallCorners() const { return smallCorners_; }
    void setSmallCorners(bool small);

    // Called when the left button comes up after a left press on the button, wherever the
    // mouse is then.
    Event onclick;
    // What that click does: onclick, while the button is clickable.
    void click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    enum PointerState : int { psNormal = 0, psPressed = 1, psHover = 3 };

    // Whether a point in the button's coordinates lies inside its outline.
    bool hits(QPoint at) const;
    // Changes the pointer state, repainting at once when it changed.
    void setPointerState(PointerState state);
    // The colour the parent shows under the top left corner, or backgroundError.
    quint32 sampledBackground() const;
    void paintButton(QPainter& painter, quint32 bg, quint32 face) const;
    void paintOrb(QPainter& painter, quint32 bg, quint32 face) const;
    void paintCaption(QPainter& painter, quint32 bg, quint32 face) const;

    bool captionMouseOver_ = false;
    bool buttonActive_ = false;
    quint32 backgroundError_;
    quint32 buttonColor_ = 0xFF0000;
    Shape buttonShape_ = bsButton;
    QString caption_;
    bool enabled_ = true;
    QFont font_;
    quint32 fontColor_ = 0x000000;
    Preset customColor_ = ccNone;
    bool smallCorners_ = false;
    PointerState state_ = psNormal;
    // A left press began on the button and its release has not been handled yet.
    bool captured_ = false;
};

} // namespace velmora
