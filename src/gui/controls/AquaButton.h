#pragma once
// AquaButton: a glossy gel button. The face is a stack of rounded rectangles in shades of one
// base colour, with a light band in the upper third and a graded glow in the lower half, drawn
// over the colour the parent shows at the button's top left corner. The mouse counts only
// inside the rounded outline.
//
// Colours are 0x00BBGGRR integers (red in the low byte), as the settings and the rest of the
// program store them. The caption is plain text; an "&" is shown as it is.

#include <QFont>
#include <QString>
#include <QWidget>

class QPainter;

namespace velmora {

class AquaButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(quint32 backgroundError READ backgroundError WRITE setBackgroundError)
    Q_PROPERTY(quint32 buttonColor READ buttonColor WRITE setButtonColor)
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(QFont captionFont READ captionFont WRITE setCaptionFont)
public:
    // A new button is 75 x 25 pixels.
    explicit AquaButton(QWidget* parent = nullptr);
    ~AquaButton() override;

    // A shade of colour: kinds 0-3 are 15, 30, 45 and 60 % darker, 4 is 6 % darker, 5 is the
    // colour itself, 6-9 are 15, 30, 45 and 60 % lighter. Each component moves by its rounded
    // share (halves to even) of the distance to black or to white.
    static quint32 shade(quint32 colour, int kind);

    // Used as the background when the parent's pixel cannot be read.
    quint32 backgroundError() const { return backgroundError_; }
    void setBackgroundError(quint32 colour) { backgroundError_ = colour; }
    quint32 buttonColor() const { return buttonColor_; }
    void setButtonColor(quint32 colour);
    QString caption() const { return caption_; }
    void setCaption(const QString& caption);
    // The caption font; the button keeps its own copy.
    const QFont& captionFont() const { return font_; }
    void setCaptionFont(const QFont& font);

    // What a click (or Space or Enter while it has the focus) does: emits clicked.
    void click();

Q_SIGNALS:
    // The left button came up after a left press on the button, wherever the mouse is then.
    // A receiver may destroy the button.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    enum class Pointer { Normal, Pressed, Hover };

    // Whether a point in the button's coordinates lies inside its outline.
    bool hits(QPoint at) const;
    // Changes the pointer state, repainting at once when it changed.
    void setPointer(Pointer state);
    // The colour the parent shows under the top left corner, or backgroundError.
    quint32 sampledBackground() const;
    void paintButton(QPainter& painter, quint32 bg, quint32 face) const;
    void paintCaption(QPainter& painter, quint32 face) const;

    quint32 backgroundError_;
    quint32 buttonColor_ = 0xFF0000;
    QString caption_;
    QFont font_;
    Pointer pointer_ = Pointer::Normal;
    // A left press began on the button and its release has not been handled yet.
    bool captured_ = false;
};

} // namespace velmora
