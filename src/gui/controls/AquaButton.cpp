#include "gui/controls/AquaButton.h"

#include "gui/controls/BgrColour.h"
#include "gui/controls/ButtonAccessibility.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QRegion>
#include <algorithm>
#include <array>
#include <cmath>

namespace velmora {
namespace {

constexpr quint32 bgr(int r, int g, int b) {
    return quint32(r) | quint32(g) << 8 | quint32(b) << 16;
}

// Fully saturated colours look flat as a gel, so they start one shade darker.
bool isPureColour(quint32 colour) {
    switch (colour) {
    case bgr(255, 0, 0):
    case bgr(0, 255, 0):
    case bgr(255, 255, 0):
    case bgr(0, 0, 255):
    case bgr(255, 0, 255):
    case bgr(0, 255, 255):
        return true;
    default:
        return false;
    }
}

// Nearest integer with halves going to the even neighbour (the default rounding mode).
int roundHalfEven(long double value) {
    return int(std::nearbyint(value));
}

int darker(int k, int percent) {
    return std::clamp(k - roundHalfEven(static_cast<long double>(k) / 100 * percent), 0, 255);
}

int lighter(int k, int percent) {
    return std::clamp(k + roundHalfEven(static_cast<long double>(255 - k) / 100 * percent), 0, 255);
}

// Shapes in the manner of the classic window system calls: the pen outlines, the brush
// fills, no antialiasing, and the rectangle (l, t)-(r, b) excludes its right column and
// bottom row, so the outline covers l..r-1 and t..b-1.
class Canvas {
public:
    explicit Canvas(QPainter& painter) : painter_(painter) {
        painter_.setRenderHint(QPainter::Antialiasing, false);
    }

    // Brush and pen in one colour.
    void colour(quint32 colour) { colours(colour, colour); }
    void colours(quint32 brush, quint32 pen) {
        painter_.setBrush(colourFromBgr(brush));
        painter_.setPen(QPen(colourFromBgr(pen), 1));
    }

    // A rounded rectangle whose corners are quarters of a c x c ellipse.
    void roundedRect(int l, int t, int r, int b, int c) {
        const QRectF rect = box(l, t, r, b);
        if (rect.isNull()) return;
        painter_.drawRoundedRect(rect, c / 2.0, c / 2.0, Qt::AbsoluteSize);
    }

private:
    // A stroked rectangle grows by the pen width, so the box is one pixel smaller.
    static QRectF box(int l, int t, int r, int b) {
        if (r < l) std::swap(l, r);
        if (b < t) std::swap(t, b);
        if (r - l < 1 || b - t < 1) return {};
        return {qreal(l), qreal(t), qreal(r - l - 1), qreal(b - t - 1)};
    }

    QPainter& painter_;
};

} // namespace

AquaButton::AquaButton(QWidget* parent)
    : QWidget(parent),
      backgroundError_(bgrFromColour(QApplication::palette().color(QPalette::Button))) {
    installButtonAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    font_.setPointSize(10);
    font_.setBold(true);
    setMouseTracking(true);
    resize(75, 25);
}

AquaButton::~AquaButton() = default;

quint32 AquaButton::shade(quint32 colour, int kind) {
    static constexpr std::array<int, 10> percent = {15, 30, 45, 60, 6, 0, 15, 30, 45, 60};
    if (kind < 0 || kind > 9 || kind == 5) return colour & 0xFFFFFF;
    const int p = percent[std::size_t(kind)];
    const auto move = [&](int k) { return kind < 5 ? darker(k, p) : lighter(k, p); };
    return bgr(move(int(colour & 0xFF)), move(int((colour >> 8) & 0xFF)),
               move(int((colour >> 16) & 0xFF)));
}

void AquaButton::setButtonColor(quint32 colour) {
    buttonColor_ = colour;
    update();
}

void AquaButton::setCaption(const QString& caption) {
    caption_ = caption;
    update();
}

void AquaButton::setCaptionFont(const QFont& font) {
    font_ = font;
    update();
}

bool AquaButton::hits(QPoint at) const {
    // The outline as a region: right and bottom edges excluded, a pixel counts by its centre.
    const int w = width();
    const int h = height();
    QPainterPath outline;
    const qreal radius = (h - 2) / 2.0;
    outline.addRoundedRect(QRectF(2, 2, w - 3, h - 4), radius, radius);
    return outline.contains(QPointF(at) + QPointF(0.5, 0.5));
}

void AquaButton::setPointer(Pointer state) {
    if (state == pointer_) return;
    pointer_ = state;
    repaint();
}

// Mouse positions come from the events rather than from QCursor::pos(): they are where the
// cursor was when the event happened, and synthetic events (and the offscreen platform) do not
// move the cursor at all.
void AquaButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (hits(event->position().toPoint())) setPointer(Pointer::Pressed);
    // Even a press beside the outline belongs to the button.
    captured_ = true;
}

void AquaButton::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) return;
    event->accept();
    if (!captured_) return;
    // No repaint: the button keeps its pressed look until the mouse moves on it.
    pointer_ = Pointer::Normal;
    captured_ = false;
    click();
}

void AquaButton::keyPressEvent(QKeyEvent* event) {
    if (!isClickKey(*event)) return QWidget::keyPressEvent(event);
    event->accept();
    click();
}

void AquaButton::click() {
    // Nothing of the button is touched after the signal, whose receiver may destroy it.
    Q_EMIT clicked();
}

void AquaButton::mouseMoveEvent(QMouseEvent* event) {
    const bool hit = hits(event->position().toPoint());
    if (captured_)
        setPointer(hit ? Pointer::Pressed : Pointer::Normal);
    else
        setPointer(hit ? Pointer::Hover : Pointer::Normal);
}

void AquaButton::leaveEvent(QEvent*) {
    captured_ = false;
    setPointer(Pointer::Normal);
}

quint32 AquaButton::sampledBackground() const {
    // The pixel comes from rendering the ancestors without their children, so the button is
    // never part of its own background. A container that paints nothing there shows what is
    // behind it, so the search goes on upwards; the window paints its palette background too.
    QPoint at = pos();
    for (QWidget* ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        if (!ancestor->rect().contains(at)) break;
        QImage probe(1, 1, QImage::Format_ARGB32_Premultiplied);
        probe.fill(Qt::transparent);
        const QWidget::RenderFlags flags =
            ancestor->isWindow() ? QWidget::DrawWindowBackground : QWidget::RenderFlags();
        ancestor->render(&probe, QPoint(), QRegion(at.x(), at.y(), 1, 1), flags);
        const QRgb pixel = probe.pixel(0, 0);
        if (qAlpha(pixel) == 255) return bgr(qRed(pixel), qGreen(pixel), qBlue(pixel));
        if (ancestor->isWindow()) break;
        at = ancestor->mapToParent(at);
    }
    return backgroundError_;
}

void AquaButton::paintEvent(QPaintEvent*) {
    if (!parentWidget() || width() <= 0 || height() <= 0) return;

    const quint32 bg = shade(sampledBackground(), 5);
    quint32 base = buttonColor_;
    if (isPureColour(base)) base = shade(base, 0);
    if (pointer_ == Pointer::Hover) base = shade(base, 9);
    const quint32 face = shade(base, 5);

    // Drawn off screen first, then copied in one go.
    QImage picture(size(), QImage::Format_RGB32);
    picture.fill(colourFromBgr(bg));
    {
        QPainter painter(&picture);
        paintButton(painter, bg, face);
        paintCaption(painter, face);
    }
    QPainter painter(this);
    painter.drawImage(0, 0, picture);
    // Inside the face, clear of its rounded ends.
    const int end = height() / 3;
    paintFocusMark(painter, *this, QRect(end, 3, width() - 2 * end - 2, height() - 7), Qt::black);
}

void AquaButton::paintButton(QPainter& painter, quint32 bg, quint32 v) const {
    Canvas canvas(painter);
    const int w = width();
    const int h = height();
    const int d = h;
    const int o = pointer_ == Pointer::Pressed ? 2 : 0;
    const int r = w - 2;
    const int b = h - 3;

    // A soft shadow on the background.
    canvas.colour(shade(bg, 4));
    canvas.roundedRect(0, 0, w, h, d);
    canvas.colour(shade(bg, 2));
    canvas.roundedRect(0, 0, w - 1, h - 1, d);
    canvas.colour(shade(bg, 3));
    canvas.roundedRect(0, 0, w - 2, h - 2, d);

    // The gel: dark rim to the face colour inwards.
    canvas.colour(shade(v, 3));
    canvas.roundedRect(0, 0, r, b, d);
    canvas.colour(shade(v, 1));
    canvas.roundedRect(1, 1, r, b, d);
    canvas.colour(shade(v, 0));
    canvas.roundedRect(2, 2, r, b, d - 2);
    canvas.colour(v);
    canvas.roundedRect(3, 3, r - 1, b - 1, d - 4);

    // The light band at the top and the glow in the lower half; pressing shifts them.
    canvas.colour(shade(v, 6));
    canvas.roundedRect(o + 5, o + 3, r - 5, b / 3 + 2, d);
    canvas.colour(shade(v, 7));
    canvas.roundedRect(o + 7, o + 3, r - 7, b / 3 + 1, d);
    canvas.colours(shade(v, 9), shade(v, 8));
    canvas.roundedRect(o + 8, o + 3, r - 8, b / 3, d);

    canvas.colour(shade(v, 6));
    canvas.roundedRect(o + 3, b / 2 + o, r - 3, b - 2, d);
    canvas.colour(shade(v, 7));
    canvas.roundedRect(o + 5, b / 2 + o + 1, r - 5, b - 2, d);
    canvas.colour(shade(v, 8));
    canvas.roundedRect(o + 7, b / 2 + o + 2, r - 7, b - 2, d);
    canvas.colour(shade(v, 9));
    canvas.roundedRect(o + 9, b / 2 + o + 3, r - 9, b - 4, d);
}

void AquaButton::paintCaption(QPainter& painter, quint32 v) const {
    if (caption_.isEmpty()) return;

    painter.setFont(font_);
    painter.setBackgroundMode(Qt::TransparentMode);
    const QFontMetrics metrics = painter.fontMetrics();
    const int r = width() - 2;
    const int b = height() - 3;
    const bool pressed = pointer_ == Pointer::Pressed;
    // The top left corner of the text box, centred on the face.
    int x = (r - metrics.horizontalAdvance(caption_) + 2) / 2;
    int y = std::max(0, (b - metrics.height() + 2) / 2);
    if (pressed) {
        ++x;
        ++y;
    }
    const auto draw = [&](int top, quint32 colour) {
        painter.setPen(colourFromBgr(colour));
        painter.drawText(QPoint(x, top + metrics.ascent()), caption_);
    };
    // A light copy peeks out below the black caption, or above it while pressed.
    draw(pressed ? y - 1 : y + 1, shade(v, 7));
    draw(y - 1, 0x000000);
}

} // namespace velmora
