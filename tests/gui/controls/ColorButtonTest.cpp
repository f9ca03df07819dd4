#include "gui/controls/ColorButton.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QTest>
#include <array>
#include <gtest/gtest.h>
#include <memory>

namespace velmora {
namespace {

constexpr QRgb Grey = 0xFF808080;
constexpr QRgb White = 0xFFFFFFFF;

// A small font without smoothing, so that caption pixels have exactly the text colour.
QFont plainFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(10);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

std::unique_ptr<ColorButton> makeButton(int width, int height) {
    auto button = std::make_unique<ColorButton>();
    button->setFont(plainFont());
    button->resize(width, height);
    return button;
}

QImage render(ColorButton& button) {
    return button.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void enter(ColorButton& button) {
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&button, &enter);
}

void leave(ColorButton& button) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
}

// The smallest rectangle holding every pixel of one colour.
QRect extent(const QImage& image, QRgb colour) {
    QRect extent;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour) extent |= QRect(x, y, 1, 1);
    return extent;
}

// The top, left, bottom and right edge and the face inside.
using Look = std::array<QRgb, 5>;

Look lookOf(ColorButton& button) {
    const QImage image = render(button);
    const int r = image.width() - 1;
    const int b = image.height() - 1;
    return {image.pixel(5, 0), image.pixel(0, 5), image.pixel(5, b), image.pixel(r, 5),
            image.pixel(3, 3)};
}

Look frameless(QRgb face) {
    return {face, face, face, face, face};
}
Look Raised(QRgb face) {
    return {White, White, Grey, Grey, face};
}
Look Sunken(QRgb face) {
    return {Grey, Grey, White, White, face};
}

TEST(ColorButton, FacesAndFramesOfFlatHotAndPressed) {
    auto button = makeButton(40, 24);
    EXPECT_EQ(ColorButton().size(), QSize(24, 24));
    const QRgb face = qRgb(0x99, 0x66, 0x33);
    button->setColor(0x00336699);
    button->setHotColor(0x00114477);
    button->setDownColor(0x00AA2200);
    const QRgb hot = qRgb(0x77, 0x44, 0x11);
    const QRgb down = qRgb(0x00, 0x22, 0xAA);

    EXPECT_EQ(lookOf(*button), frameless(face));

    enter(*button);
    EXPECT_EQ(lookOf(*button), Raised(hot));
    leave(*button);

    // Without hot tracking a flat button only gains the raised frame under the mouse.
    button->setHotTrack(false);
    enter(*button);
    EXPECT_EQ(lookOf(*button), Raised(face));
    leave(*button);
    EXPECT_EQ(lookOf(*button), frameless(face));

    button->setFlat(false);
    EXPECT_EQ(lookOf(*button), Raised(face));

    QTest::mousePress(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(button->pressed());
    EXPECT_EQ(lookOf(*button), Sunken(down));
    QTest::mouseRelease(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(lookOf(*button), Raised(face));

    // Pressed wins over hot.
    button->setHotTrack(true);
    enter(*button);
    QTest::mousePress(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(lookOf(*button), Sunken(down));
}

TEST(ColorButton, CaptionColoursCentreAndPressedShift) {
    auto button = makeButton(80, 24);
    QPalette palette = button->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 0xFF));
    button->setPalette(palette);
    const QRgb plain = qRgb(0, 0, 0xFF);
    button->setCaption(QStringLiteral("A&B"));
    const QRect centred = extent(render(*button), plain);
    ASSERT_TRUE(centred.isValid());
    EXPECT_LE(qAbs(centred.left() - (80 - 1 - centred.right())), 2);
    // The "&" is drawn, not taken as a mnemonic marker.
    EXPECT_GT(centred.width(), QFontMetrics(plainFont()).horizontalAdvance(QStringLiteral("AB")));

    button->setHotFontColor(0x0000FF00);
    enter(*button);
    EXPECT_EQ(extent(render(*button), qRgb(0, 0xFF, 0)), centred);

    button->setDownFontColor(0x00000080);
    QTest::mousePress(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(extent(render(*button), qRgb(0x80, 0, 0)), centred.translated(1, 1));
}

TEST(ColorButton, GrowsToFitTheCaptionAndNeverShrinks) {
    auto button = makeButton(24, 24);
    const QString wide = QStringLiteral("A much wider caption");
    const QFontMetrics fm(plainFont());
    button->setCaption(wide);
    render(*button);
    EXPECT_EQ(button->width(), fm.size(Qt::TextSingleLine, wide).width() + 16);
    EXPECT_EQ(button->height(), 24);

    const int grown = button->width();
    button->setCaption(QStringLiteral("A"));
    render(*button);
    EXPECT_EQ(button->width(), grown);
}

TEST(ColorButton, ClicksAndPressesOutside) {
    auto button = makeButton(40, 24);
    int clicks = 0;
    QObject::connect(button.get(), &ColorButton::clicked, button.get(), [&] { ++clicks; });
    const QPoint inside(5, 5);
    const QPoint outside(60, 30);

    QTest::mousePress(button.get(), Qt::LeftButton, {}, inside);
    EXPECT_EQ(clicks, 0);
    QTest::mouseRelease(button.get(), Qt::LeftButton, {}, inside);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button->pressed());

    QTest::mousePress(button.get(), Qt::RightButton, {}, inside);
    QTest::mouseRelease(button.get(), Qt::RightButton, {}, inside);
    EXPECT_EQ(clicks, 1);

    QTest::mousePress(button.get(), Qt::LeftButton, {}, outside);
    QTest::mouseRelease(button.get(), Qt::LeftButton, {}, outside);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button->pressed());

    // Pressed on the button and released beside it: the button lets go without a click.
    QTest::mousePress(button.get(), Qt::LeftButton, {}, inside);
    QTest::mouseRelease(button.get(), Qt::LeftButton, {}, outside);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button->pressed());

    QTest::mousePress(button.get(), Qt::LeftButton, {}, inside);
    QTest::mouseRelease(button.get(), Qt::LeftButton, {}, inside);
    EXPECT_EQ(clicks, 2);

    // With the focus the face carries a mark, and Space and Enter click.
    button->show();
    QApplication::setActiveWindow(button.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(button.get()));
    button->clearFocus();
    const QImage unfocused = render(*button);
    button->setFocus(Qt::TabFocusReason);
    EXPECT_NE(render(*button), unfocused);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    EXPECT_EQ(clicks, 4);
}

} // namespace
} // namespace velmora
