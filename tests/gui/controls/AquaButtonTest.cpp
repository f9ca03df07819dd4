#include "gui/controls/AquaButton.h"

#include "gui/controls/BgrColour.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPalette>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace velmora {
namespace {

constexpr quint32 bgr(int r, int g, int b) {
    return quint32(r) | quint32(g) << 8 | quint32(b) << 16;
}

QRgb rgb(quint32 bgr) {
    return colourFromBgr(bgr).rgb();
}

constexpr quint32 Wall = bgr(200, 180, 40);
// On a 75 x 25 button: plain face between the light band and the glow, clear of the caption.
const QPoint FacePoint(15, 10);
// The top edge of the glow, which moves down two pixels while pressed.
const QPoint GlowTop(37, 11);
const QPoint Centre(37, 12);
// Inside the button's rectangle but outside its round end.
const QPoint corner(3, 3);

// A window in a solid colour holding one button at (10, 10).
struct Board {
    QWidget window;
    AquaButton* button;
    int clicks = 0;

    Board() : button(new AquaButton(&window)) {
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, colourFromBgr(Wall));
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        window.resize(120, 60);
        button->move(10, 10);
        QObject::connect(button, &AquaButton::clicked, &window, [this] { ++clicks; });
    }

    QImage render() { return button->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // What the screen shows of the button, without painting it again.
    QImage onScreen() {
        const QImage shot = window.screen()->grabWindow(window.winId()).toImage();
        return shot.copy(QRect(button->pos(), button->size()))
            .convertToFormat(QImage::Format_RGB32);
    }

    // Events are sent straight to the button with their positions; nothing reads the cursor.
    void mouse(QEvent::Type type, QPoint at) {
        const Qt::MouseButton changed = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        QMouseEvent event(type, at, button->mapToGlobal(at), changed, held, Qt::NoModifier);
        QApplication::sendEvent(button, &event);
    }
    void press(QPoint at) { mouse(QEvent::MouseButtonPress, at); }
    void release(QPoint at) { mouse(QEvent::MouseButtonRelease, at); }
    void move(QPoint at) { mouse(QEvent::MouseMove, at); }
};

// Whether any pixel has exactly this colour.
bool shows(const QImage& image, QRgb colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour) return true;
    return false;
}

TEST(AquaButton, ShadesRoundHalvesToEven) {
    EXPECT_EQ(AquaButton::shade(bgr(50, 30, 210), 0), bgr(42, 26, 179)); // 7.5, 4.5, 31.49..
    EXPECT_EQ(AquaButton::shade(bgr(50, 10, 255), 1), bgr(35, 7, 179));  // 76.5 -> 76
    EXPECT_EQ(AquaButton::shade(bgr(30, 10, 90), 2), bgr(16, 6, 50));    // 13.500..01 -> 14
    EXPECT_EQ(AquaButton::shade(bgr(50, 10, 255), 3), bgr(20, 4, 102));
    EXPECT_EQ(AquaButton::shade(bgr(25, 75, 255), 4), bgr(23, 71, 240)); // 1.5, 4.5
    EXPECT_EQ(AquaButton::shade(bgr(18, 52, 86), 5), bgr(18, 52, 86));
    EXPECT_EQ(AquaButton::shade(bgr(245, 0, 50), 6), bgr(247, 38, 81)); // 1.5 -> 2
    EXPECT_EQ(AquaButton::shade(bgr(245, 0, 255), 7), bgr(248, 76, 255));
    EXPECT_EQ(AquaButton::shade(bgr(245, 50, 10), 8), bgr(249, 142, 120));
    EXPECT_EQ(AquaButton::shade(bgr(245, 50, 10), 9), bgr(251, 173, 157));
}

TEST(AquaButton, DefaultsAndFaceColours) {
    const AquaButton fresh;
    EXPECT_EQ(fresh.size(), QSize(75, 25));
    EXPECT_EQ(fresh.buttonColor(), 16711680u);
    EXPECT_EQ(colourFromBgr(fresh.backgroundError()),
              QApplication::palette().color(QPalette::Button));
    EXPECT_TRUE(fresh.captionFont().bold());

    Board board;
    const auto faceIs = [&](quint32 v) {
        const QImage image = board.render();
        EXPECT_EQ(image.pixel(FacePoint), rgb(v));
        // The innermost light band is filled one shade lighter than its outline.
        EXPECT_EQ(image.pixel(37, 5), rgb(AquaButton::shade(v, 9)));
    };
    faceIs(bgr(0, 0, 217)); // pure blue starts 15 % darker
    board.button->setButtonColor(bgr(0, 0, 254));
    faceIs(bgr(0, 0, 254));
    board.button->setButtonColor(bgr(114, 156, 252));
    faceIs(bgr(114, 156, 252));
}

TEST(AquaButton, BackgroundComesFromWhatTheParentShows) {
    Board board;
    EXPECT_EQ(board.render().pixel(0, 0), rgb(Wall));

    // A container that paints nothing shows the window behind it.
    auto* panel = new QWidget(&board.window);
    QPalette unpainted = panel->palette();
    unpainted.setColor(QPalette::Window, Qt::white);
    panel->setPalette(unpainted);
    panel->setGeometry(5, 5, 100, 50);
    board.button->setParent(panel);
    board.button->move(4, 4);
    EXPECT_EQ(board.render().pixel(0, 0), rgb(Wall));

    // With the corner beyond the parent there is nothing to read.
    board.button->setBackgroundError(bgr(1, 2, 3));
    board.button->move(-4, 4);
    EXPECT_EQ(board.render().pixel(0, 0), rgb(bgr(1, 2, 3)));
}

TEST(AquaButton, ClicksAndTheLooksLeftOnScreen) {
    Board board;
    board.window.move(300, 300);
    board.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&board.window));
    const quint32 v = bgr(0, 0, 217);
    const QRgb normalGlow = rgb(AquaButton::shade(v, 6));
    ASSERT_EQ(board.onScreen().pixel(GlowTop), normalGlow);

    // Beside the round end a press does not push the button in, yet its release clicks.
    board.press(corner);
    EXPECT_EQ(board.onScreen().pixel(GlowTop), normalGlow);
    board.release(corner);
    EXPECT_EQ(board.clicks, 1);

    board.press(Centre);
    EXPECT_EQ(board.onScreen().pixel(GlowTop), rgb(v));
    // Pressed on the button, released beside it: still a click.
    board.move(QPoint(90, 12));
    EXPECT_EQ(board.onScreen().pixel(GlowTop), normalGlow);
    board.move(Centre);
    board.release(Centre);
    EXPECT_EQ(board.clicks, 2);
    // The pressed look stays until the mouse moves.
    EXPECT_EQ(board.onScreen().pixel(GlowTop), rgb(v));
    board.move(Centre);
    EXPECT_EQ(board.onScreen().pixel(FacePoint), rgb(AquaButton::shade(v, 9)));
    board.move(corner);
    EXPECT_EQ(board.onScreen().pixel(FacePoint), rgb(v));

    board.move(Centre);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(board.button, &leave);
    EXPECT_EQ(board.onScreen().pixel(FacePoint), rgb(v));

    // With the focus the face carries a mark, and Space and Enter click.
    board.button->clearFocus();
    const QImage unfocused = board.render();
    board.button->setFocus(Qt::TabFocusReason);
    EXPECT_NE(board.render(), unfocused);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(board.clicks, 4);
}

TEST(AquaButton, CaptionIsBlackOnTheFace) {
    Board board;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(10);
    font.setStyleStrategy(QFont::NoAntialias);
    board.button->setCaptionFont(font);
    const QRgb black = qRgb(0, 0, 0);
    EXPECT_FALSE(shows(board.render(), black));
    board.button->setCaption(QStringLiteral("OK"));
    EXPECT_TRUE(shows(board.render(), black));
}

} // namespace
} // namespace velmora
