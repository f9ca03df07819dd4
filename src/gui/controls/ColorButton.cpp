#include "gui/controls/ColorButton.h"

#include "gui/controls/BgrColour.h"
#include "gui/controls/ButtonAccessibility.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace velmora {
namespace {

int horizontalFlag(int alignment) {
    switch (alignment) {
    case ColorButton::taLeftJustify:
        return Qt::AlignLeft;
    case ColorButton::taRightJustify:
        return Qt::AlignRight;
    default:
        return Qt::AlignHCenter;
    }
}

} // namespace

ColorButton::ColorButton(QWidget* parent) : QWidget(parent) {
    installButtonAccessibility();
    resize(24, 24);
}

ColorButton::~ColorButton() = default;

QColor ColorButton::toQColor(quint32 bgr) {
    return colourFromBgr(bgr);
}

void ColorButton::setAlignment(int alignment) {
    if (alignment == alignment_) return;
    alignment_ = alignment;
    update();
}

void ColorButton::setBackBitmap(const QPixmap& picture) {
    backBitmap_ = picture.copy();
    update();
}

void ColorButton::setCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    updateGeometry();
    update();
}

void ColorButton::setWordWrap(bool wordWrap) {
    if (wordWrap == wordWrap_) return;
    wordWrap_ = wordWrap;
    updateGeometry();
    update();
}

void ColorButton::setDown(bool down) {
    if (down == down_) return;
    down_ = down;
    update();
}

void ColorButton::setFlat(bool flat) {
    if (flat == flat_) return;
    flat_ = flat;
    update();
}

void ColorButton::setMarginHorizontal(int margin) {
    if (margin == marginHorizontal_) return;
    marginHorizontal_ = margin;
    updateGeometry();
    update();
}

void ColorButton::setMarginVertical(int margin) {
    if (margin == marginVertical_) return;
    marginVertical_ = margin;
    updateGeometry();
    update();
}

void ColorButton::setColor(quint32 color) {
    if (color == color_) return;
    color_ = color;
    update();
}

quint32 ColorButton::fontColor() const {
    const QColor c = palette().color(QPalette::WindowText);
    return quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16;
}

void ColorButton::setFontColor(quint32 color) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, toQColor(color));
    setPalette(p);
}

void ColorButton::setHint(const QString& hint) {
    hint_ = hint;
    setToolTip(showHint_ ? hint_ : QString());
}

void ColorButton::setShowHint(bool showHint) {
    showHint_ = showHint;
    setToolTip(showHint_ ? hint_ : QString());
}

QSize ColorButton::grownSize(int width, int height) const {
    const QFontMetrics fm(font());
    if (wordWrap_) {
        // The wrapped block is measured from the margins down; the height it asks for counts
        // the top margin once plus one pixel.
        const QRect room(marginHorizontal_, marginVertical_, width - 2 * marginHorizontal_,
                         height - marginVertical_);
        const QRect block = fm.boundingRect(
            room, Qt::TextWordWrap | Qt::AlignTop | horizontalFlag(alignment_), caption_);
        const int blockBottom = block.top() + block.height();
        return {width, qMax(height, marginVertical_ + blockBottom + 1 - block.top())};
    }
    const QSize text = fm.size(Qt::TextSingleLine, caption_);
    return {qMax(width, text.width() + 2 * marginHorizontal_),
            qMax(height, fm.height() + 2 * marginVertical_)};
}

QSize ColorButton::sizeHint() const {
    return grownSize(24, 24);
}

QSize ColorButton::minimumSizeHint() const {
    return grownSize(0, 0);
}

void ColorButton::paintEvent(QPaintEvent*) {
    const bool pictureInUse = backBitmap_.height() != 0 && backBitmap_.width() != 0;

    // The button grows to fit its caption but never shrinks.
    const QSize grown = grownSize(width(), height());
    if (grown != size()) resize(grown);
    const int w = width();
    const int h = height();

    QPainter painter(this);
    painter.setFont(font());

    QRect textRect =
        wordWrap_ ? QRect(QPoint(marginHorizontal_, marginVertical_),
                          QPoint(w - marginHorizontal_ - 1, h - marginVertical_ - 1))
                  : QRect(QPoint(marginHorizontal_, 0), QPoint(w - marginHorizontal_ - 1, h - 1));
    if (pressed_ || down_) textRect.translate(1, 1);

    enum class Frame { None, Sunken, Raised };
    quint32 face = color_;
    Frame frame = Frame::Raised;
    QColor textColour = palette().color(QPalette::WindowText);
    if (pressed_ || down_) {
        face = downColor_;
        frame = Frame::Sunken;
        textColour = toQColor(downFontColor_);
    } else if (hot_ && hotTrack_) {
        face = hotColor_;
        textColour = toQColor(hotFontColor_);
    } else if (!hot_ && flat_) {
        frame = Frame::None;
    }

    if (pictureInUse) {
        // Whole copies from the top left corner; the last row and column are cut by the edge.
        const int pw = backBitmap_.width();
        const int ph = backBitmap_.height();
        for (int row = 0; row <= h / ph; ++row)
            for (int column = 0; column <= w / pw; ++column)
                painter.drawPixmap(column * pw, row * ph, backBitmap_);
    } else {
        painter.fillRect(QRect(0, 0, w, h), toQColor(face));
    }

    if (frame != Frame::None) paintFrame(painter, frame == Frame::Sunken, w, h);

    painter.setPen(textColour);
    painter.setBackgroundMode(Qt::TransparentMode);
    const int flags =
        horizontalFlag(alignment_) |
        (wordWrap_ ? Qt::TextWordWrap | Qt::AlignTop : Qt::TextSingleLine | Qt::AlignVCenter);
    painter.drawText(textRect, flags, caption_);
}

// The frame is one pen path around the edge, top and left first, then bottom and right; like
// any pen path it leaves out the point it ends on, so the top right corner keeps the colour of
// the top edge.
void ColorButton::paintFrame(QPainter& painter, bool sunken, int w, int h) const {
    const QColor grey = toQColor(clGray);
    const QColor white = toQColor(clWhite);
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
    if (latching_) down_ = !down_;
    pressed_ = false;
    repaint();
}

void ColorButton::click() {
    if (onclick) {
        const QPointer<ColorButton> self(this);
        onclick(this);
        // The handler may have destroyed the button.
        if (!self) return;
    }
    if (latching_) down_ = !down_;
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
