#include "gui/controls/ColorButton.h"

#include "gui/controls/BgrColour.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace velmora {
namespace {

int HorizontalFlag(int alignment) {
    switch (alignment) {
    case tColorButton::taLeftJustify:
        return Qt::AlignLeft;
    case tColorButton::taRightJustify:
        return Qt::AlignRight;
    default:
        return Qt::AlignHCenter;
    }
}

} // namespace

tColorButton::tColorButton(QWidget* parent) : QWidget(parent) {
    resize(24, 24);
}

tColorButton::~tColorButton() = default;

QColor tColorButton::ToQColor(quint32 bgr) {
    return ColourFromBgr(bgr);
}

void tColorButton::SetAlignment(int alignment) {
    if (alignment == alignment_) return;
    alignment_ = alignment;
    update();
}

void tColorButton::SetBackBitmap(const QPixmap& picture) {
    backBitmap_ = picture.copy();
    update();
}

void tColorButton::SetCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    updateGeometry();
    update();
}

void tColorButton::SetWordWrap(bool wordWrap) {
    if (wordWrap == wordWrap_) return;
    wordWrap_ = wordWrap;
    updateGeometry();
    update();
}

void tColorButton::SetDown(bool down) {
    if (down == down_) return;
    down_ = down;
    update();
}

void tColorButton::SetFlat(bool flat) {
    if (flat == flat_) return;
    flat_ = flat;
    update();
}

void tColorButton::SetMarginHorizontal(int margin) {
    if (margin == marginHorizontal_) return;
    marginHorizontal_ = margin;
    updateGeometry();
    update();
}

void tColorButton::SetMarginVertical(int margin) {
    if (margin == marginVertical_) return;
    marginVertical_ = margin;
    updateGeometry();
    update();
}

void tColorButton::SetColor(quint32 color) {
    if (color == color_) return;
    color_ = color;
    update();
}

quint32 tColorButton::FontColor() const {
    const QColor c = palette().color(QPalette::WindowText);
    return quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16;
}

void tColorButton::SetFontColor(quint32 color) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, ToQColor(color));
    setPalette(p);
}

void tColorButton::SetHint(const QString& hint) {
    hint_ = hint;
    setToolTip(showHint_ ? hint_ : QString());
}

void tColorButton::SetShowHint(bool showHint) {
    showHint_ = showHint;
    setToolTip(showHint_ ? hint_ : QString());
}

QSize tColorButton::GrownSize(int width, int height) const {
    const QFontMetrics fm(font());
    if (wordWrap_) {
        // The wrapped block is measured from the margins down; the height it asks for counts
        // the top margin once plus one pixel.
        const QRect room(marginHorizontal_, marginVertical_, width - 2 * marginHorizontal_,
                         height - marginVertical_);
        const QRect block = fm.boundingRect(
            room, Qt::TextWordWrap | Qt::AlignTop | HorizontalFlag(alignment_), caption_);
        const int blockBottom = block.top() + block.height();
        return {width, qMax(height, marginVertical_ + blockBottom + 1 - block.top())};
    }
    const QSize text = fm.size(Qt::TextSingleLine, caption_);
    return {qMax(width, text.width() + 2 * marginHorizontal_),
            qMax(height, fm.height() + 2 * marginVertical_)};
}

QSize tColorButton::sizeHint() const {
    return GrownSize(24, 24);
}

QSize tColorButton::minimumSizeHint() const {
    return GrownSize(0, 0);
}

void tColorButton::paintEvent(QPaintEvent*) {
    const bool pictureInUse = backBitmap_.height() != 0 && backBitmap_.width() != 0;

    // The button grows to fit its caption but never shrinks.
    const QSize grown = GrownSize(width(), height());
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
        textColour = ToQColor(downFontColor_);
    } else if (hot_ && hotTrack_) {
        face = hotColor_;
        textColour = ToQColor(hotFontColor_);
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
        painter.fillRect(QRect(0, 0, w, h), ToQColor(face));
    }

    if (frame != Frame::None) PaintFrame(painter, frame == Frame::Sunken, w, h);

    painter.setPen(textColour);
    painter.setBackgroundMode(Qt::TransparentMode);
    const int flags =
        HorizontalFlag(alignment_) |
        (wordWrap_ ? Qt::TextWordWrap | Qt::AlignTop : Qt::TextSingleLine | Qt::AlignVCenter);
    painter.drawText(textRect, flags, caption_);
}

// The frame is one pen path around the edge, top and left first, then bottom and right; like
// any pen path it leaves out the point it ends on, so the top right corner keeps the colour of
// the top edge.
void tColorButton::PaintFrame(QPainter& painter, bool sunken, int w, int h) const {
    const QColor grey = ToQColor(clGray);
    const QColor white = ToQColor(clWhite);
    const QColor& topLeft = sunken ? grey : white;
    const QColor& bottomRight = sunken ? white : grey;
    const int right = w - 1;
    const int bottom = h - 1;
    painter.fillRect(QRect(0, 0, w, 1), topLeft);
    painter.fillRect(QRect(0, 0, 1, bottom), topLeft);
    painter.fillRect(QRect(0, bottom, right, 1), bottomRight);
    painter.fillRect(QRect(right, 1, 1, bottom), bottomRight);
}

void tColorButton::mousePressEvent(QMouseEvent* event) {
    // A press outside the button while no other button holds it belongs to someone else.
    const bool otherButtonsHeld = (event->buttons() & ~event->button()) != Qt::NoButton;
    if (!rect().contains(event->position().toPoint()) && !otherButtonsHeld) {
        event->ignore();
        return;
    }
    pressed_ = true;
    repaint();
}

void tColorButton::mouseReleaseEvent(QMouseEvent* event) {
    const bool over = rect().contains(event->position().toPoint());
    // Outside the button a release reaches it only while it holds the mouse.
    if (!over && !pressed_) {
        event->ignore();
        return;
    }
    if (event->button() == Qt::LeftButton && over && pressed_ && onclick) {
        const QPointer<tColorButton> self(this);
        onclick(this);
        // The handler may have destroyed the button.
        if (!self) return;
    }
    if (latching_) down_ = !down_;
    pressed_ = false;
    repaint();
}

void tColorButton::enterEvent(QEnterEvent*) {
    hot_ = true;
    repaint();
}

void tColorButton::leaveEvent(QEvent*) {
    hot_ = false;
    repaint();
}

} // namespace velmora
