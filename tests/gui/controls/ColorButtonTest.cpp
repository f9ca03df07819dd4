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
QFont PlainFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(10);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

std::unique_ptr<tColorButton> MakeButton(int width, int height) {
    auto button = std::make_unique<tColorButton>();
    button->setFont(PlainFont());
    button->resize(width, height);
    return button;
}

QImage Render(tColorButton& button) {
    return button.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void Enter(tColorButton& button) {
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&button, &enter);
}

void Leave(tColorButton& button) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
}

// The smallest rectangle holding every pixel of one colour.
QRect Extent(const QImage& image, QRgb colour) {
    QRect extent;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour) extent |= QRect(x, y, 1, 1);
    return extent;
}

// The top, left, bottom and right edge and the face inside.
using Look = std::array<QRgb, 5>;

Look LookOf(tColorButton& button) {
    const QImage image = Render(button);
    const int r = image.width() - 1;
    const int b = image.height() - 1;
    return {image.pixel(5, 0), image.pixel(0, 5), image.pixel(5, b), image.pixel(r, 5),
            image.pixel(3, 3)};
}

Look Frameless(QRgb face) {
    return {face, face, face, face, face};
}
Look Raised(QRgb face) {
    return {White, White, Grey, Grey, face};
}
Look Sunken(QRgb face) {
    return {Grey, Grey, White, White, face};
}

TEST(ColorButton, FacesAndFramesOfFlatHotPressedAndDown) {
    auto button = MakeButton(40, 24);
    EXPECT_EQ(tColorButton().size(), QSize(24, 24));
    const QRgb face = qRgb(0x99, 0x66, 0x33);
    button->SetColor(0x00336699);
    button->SetHotColor(0x00114477);
    button->SetDownColor(0x00AA2200);
    const QRgb hot = qRgb(0x77, 0x44, 0x11);
    const QRgb down = qRgb(0x00, 0x22, 0xAA);

    EXPECT_EQ(LookOf(*button), Frameless(face));

    Enter(*button);
    EXPECT_EQ(LookOf(*button), Raised(hot));
    Leave(*button);

    // Without hot tracking a flat button only gains the raised frame under the mouse.
    button->SetHotTrack(false);
    Enter(*button);
    EXPECT_EQ(LookOf(*button), Raised(face));
    Leave(*button);
    EXPECT_EQ(LookOf(*button), Frameless(face));

    button->SetFlat(false);
    EXPECT_EQ(LookOf(*button), Raised(face));

    QTest::mousePress(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(button->Pressed());
    EXPECT_EQ(LookOf(*button), Sunken(down));
    QTest::mouseRelease(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(LookOf(*button), Raised(face));

    // Down wins over hot.
    button->SetHotTrack(true);
    Enter(*button);
    button->SetDown(true);
    EXPECT_EQ(LookOf(*button), Sunken(down));
}

TEST(ColorButton, CaptionColourAlignmentAndDownShift) {
    auto button = MakeButton(80, 24);
    button->SetFontColor(0x00FF0000);
    const QRgb plain = qRgb(0, 0, 0xFF);
    button->SetCaption(QStringLiteral("A&B"));
    button->SetAlignment(tColorButton::taLeftJustify);
    const QRect left = Extent(Render(*button), plain);
    ASSERT_TRUE(left.isValid());
    EXPECT_GE(left.left(), 8);
    EXPECT_LE(left.left(), 9);
    // The "&" is drawn, not taken as a mnemonic marker.
    EXPECT_GT(left.width(), QFontMetrics(PlainFont()).horizontalAdvance(QStringLiteral("AB")));

    button->SetAlignment(tColorButton::taRightJustify);
    const QRect right = Extent(Render(*button), plain);
    EXPECT_GE(right.right(), 80 - 8 - 2);
    EXPECT_LE(right.right(), 80 - 8 - 1);

    button->SetHotFontColor(0x0000FF00);
    Enter(*button);
    EXPECT_TRUE(Extent(Render(*button), qRgb(0, 0xFF, 0)).isValid());
    Leave(*button);

    button->SetDownFontColor(0x00000080);
    button->SetDown(true);
    EXPECT_EQ(Extent(Render(*button), qRgb(0x80, 0, 0)), right.translated(1, 1));
}

TEST(ColorButton, PictureTilesFromTheCornerAndIsCutByTheEdge) {
    auto button = MakeButton(25, 24);
    QImage tile(10, 10, QImage::Format_RGB32);
    tile.fill(qRgb(0, 0x80, 0));
    tile.setPixel(0, 0, qRgb(0, 0, 0xFF));
    button->SetBackBitmap(QPixmap::fromImage(tile));
    tile.fill(Qt::red); // the button keeps its own copy

    Enter(*button); // the picture replaces the hot face colour too
    const QImage image = Render(*button);
    ASSERT_EQ(image.size(), QSize(25, 24));
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            SCOPED_TRACE(testing::Message() << "row " << row << " column " << column);
            if (row > 0 && column > 0) {
                EXPECT_EQ(image.pixel(column * 10, row * 10), qRgb(0, 0, 0xFF));
            }
            EXPECT_EQ(image.pixel(column * 10 + 3, row * 10 + 2), qRgb(0, 0x80, 0));
        }
}

TEST(ColorButton, GrowsToFitTheCaptionAndNeverShrinks) {
    auto button = MakeButton(24, 24);
    const QString wide = QStringLiteral("A much wider caption");
    const QFontMetrics fm(PlainFont());
    button->SetCaption(wide);
    Render(*button);
    EXPECT_EQ(button->width(), fm.size(Qt::TextSingleLine, wide).width() + 16);
    EXPECT_EQ(button->height(), 24);

    const int grown = button->width();
    button->SetCaption(QStringLiteral("A"));
    Render(*button);
    EXPECT_EQ(button->width(), grown);

    // Word wrap keeps the width and grows downwards instead.
    auto wrapped = MakeButton(60, 24);
    wrapped->SetWordWrap(true);
    wrapped->SetCaption(QStringLiteral("one two three four five six"));
    Render(*wrapped);
    EXPECT_EQ(wrapped->width(), 60);
    EXPECT_GT(wrapped->height(), 3 * fm.height());
}

TEST(ColorButton, ClicksLatchingAndPressesOutside) {
    auto button = MakeButton(40, 24);
    int clicks = 0;
    tColorButton* sender = nullptr;
    button->onclick = [&](tColorButton* s) {
        ++clicks;
        sender = s;
    };
    const QPoint inside(5, 5);
    const QPoint outside(60, 30);

    QTest::mousePress(button.get(), Qt::LeftButton, {}, inside);
    EXPECT_EQ(clicks, 0);
    QTest::mouseRelease(button.get(), Qt::LeftButton, {}, inside);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(sender, button.get());
    EXPECT_FALSE(button->Down());

    button->SetLatching(true);
    QTest::mousePress(button.get(), Qt::RightButton, {}, inside);
    QTest::mouseRelease(button.get(), Qt::RightButton, {}, inside);
    EXPECT_TRUE(button->Down());
    EXPECT_EQ(clicks, 1);

    QTest::mousePress(button.get(), Qt::LeftButton, {}, outside);
    QTest::mouseRelease(button.get(), Qt::LeftButton, {}, outside);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(button->Down());
    EXPECT_FALSE(button->Pressed());

    // Pressed on the button and released beside it: the button lets go without a click.
    QTest::mousePress(button.get(), Qt::LeftButton, {}, inside);
    QTest::mouseRelease(button.get(), Qt::LeftButton, {}, outside);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button->Down());
    EXPECT_FALSE(button->Pressed());

    QTest::mousePress(button.get(), Qt::LeftButton, {}, inside);
    QTest::mouseRelease(button.get(), Qt::LeftButton, {}, inside);
    EXPECT_EQ(clicks, 2);
    EXPECT_TRUE(button->Down());
}

} // namespace
} // namespace velmora
