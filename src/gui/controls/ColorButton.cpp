#include "gui/controls/ColorButton.h"

#include "gui/controls/BgrColour.h"
#include "gui/controls/ButtonAccessibility.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace velmora {

namespace {
// Room around the caption.
constexpr int kMarginHorizontal = 8;
constexpr int kMarginVertical = 4;
} // namespace

ColorButton::ColorButton(QWidget* parent) : QWidget(parent) {
    installButtonAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    resize(24, 24);
}

ColorButton::~ColorButton() = default;

void ColorButton::setCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    updateGeometry();
    update();
}

void ColorButton::setFlat(bool flat) {
    if (flat == flat_) return;
    flat_ = flat;
    update();
}

void ColorButton::setColor(quint32 color) {
    if (color == color_) return;
    color_ = color;
    update();
}

QSize ColorButton::grownSize(int width, int height) const {
    const QFontMetrics fm(font());
    const QSize text = fm.size(Qt::TextSingleLine, caption_);
    return {qMax(width, text.width() + 2 * kMarginHorizontal),
            qMax(height, fm.height() + 2 * kMarginVertical)};
}

QSize ColorButton::sizeHint() const {
    return grownSize(24, 24);
}

QSize ColorButton::minimumSizeHint() const {
    return grownSize(0, 0);
}

void ColorButton::paintEvent(QPaintEvent*) {
    // The button grows to fit its caption but never shrinks.
    const QSize grown = grownSize(width(), height());
    if (grown != size()) resize(grown);
    const int w = width();
    const int h = height();

    QPainter painter(this);
    painter.setFont(font());

    QRect textRect(QPoint(kMarginHorizontal, 0), QPoint(w - kMarginHorizontal - 1, h - 1));
    if (pressed_) textRect.translate(1, 1);

    enum class Frame { None, Sunken, Raised };
    quint32 face = color_;
    Frame frame = Frame::Raised;
    QColor textColour = palette().color(QPalette::WindowText);
    if (pressed_) {
        face = downColor_;
        frame = Frame::Sunken;
        textColour = colourFromBgr(downFontColor_);
    } else if (hot_ && hotTrack_) {
        face = hotColor_;
        textColour = colourFromBgr(hotFontColor_);
    } else if (!hot_ && flat_) {
        frame = Frame::None;
    }

    painter.fillRect(QRect(0, 0, w, h), colourFromBgr(face));
    if (frame != Frame::None) paintFrame(painter, frame == Frame::Sunken, w, h);

    painter.setPen(textColour);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawText(textRect, Qt::AlignHCenter | Qt::TextSingleLine | Qt::AlignVCenter, caption_);
    paintFocusMark(painter, *this, QRect(3, 3, w - 6, h - 6), textColour);
}

// The frame is one pen path around the edge, top and left first, then bottom and right; like
// any pen path it leaves out the point it ends on, so the top right corner keeps the colour of
// the top edge.
void ColorButton::paintFrame(QPainter& painter, bool sunken, int w, int h) const {
    const QColor grey = colourFromBgr(Colour::Gray);
    const QColor white = colourFromBgr(Colour::White);
    const QColor& topLeft = sunken ? grey : white;
    const QColor& bottomRight = sunken ? white : grey;
    const int right = w - 1;
    const int bottom = h - 1;
    painter.fillRect(QRect(0, 0, w, 1), topLeft);
    painter.fillRect(QRect(0, 0, 1, bottom), topLeft);
    painter.fillRect(QRect(0, bottom, right, 1), bottomRight);
    painter.fillRect(QRect(right, 1, 1, bottom), bottomRight);
}

void ColorButton::mousePressEvent(QMouseEvent* event) {
    // A press outside the button while no other button holds it belongs to someone else.
    const bool otherButtonsHeld = (event->buttons() & ~event->button()) != Qt::NoButton;
    if (!rect().contains(event->position().toPoint()) && !otherButtonsHeld) {
        event->ignore();
        return;
    }
    pressed_ = true;
    repaint();
}

void ColorButton::mouseReleaseEvent(QMouseEvent* event) {
    const bool over = rect().contains(event->position().toPoint());
    // Outside the button a release reaches it only while it holds the mouse.
    if (!over && !pressed_) {
        event->ignore();
        return;
    }
    if (event->button() == Qt::LeftButton && over && pressed_) {
        click();
        return;
    }
    pressed_ = false;
    repaint();
}

void ColorButton::keyPressEvent(QKeyEvent* event) {
    if (!isClickKey(*event)) return QWidget::keyPressEvent(event);
    event->accept();
    click();
}

void ColorButton::click() {
    const QPointer<ColorButton> self(this);
    Q_EMIT clicked();
    // A receiver may have destroyed the button.
    if (!self) return;
    pressed_ = false;
    repaint();
}

void ColorButton::enterEvent(QEnterEvent*) {
    hot_ = true;
    repaint();
}

void ColorButton::leaveEvent(QEvent*) {
    hot_ = false;
    repaint();
}

} // namespace velmora
