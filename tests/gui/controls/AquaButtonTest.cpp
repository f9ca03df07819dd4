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

constexpr quint32 Bgr(int r, int g, int b) {
    return quint32(r) | quint32(g) << 8 | quint32(b) << 16;
}

QRgb Rgb(quint32 bgr) {
    return ColourFromBgr(bgr).rgb();
}

constexpr quint32 Wall = Bgr(200, 180, 40);
// On a 75 x 25 button: plain face between the light band and the glow, clear of the caption.
const QPoint FacePoint(15, 10);
// The top edge of the glow, which moves down two pixels while pressed.
const QPoint GlowTop(37, 11);
const QPoint Centre(37, 12);
// Inside the button's rectangle but outside its round end.
const QPoint Corner(3, 3);

// A window in a solid colour holding one button at (10, 10).
struct Board {
    QWidget window;
    TXQAqua* button;
    int clicks = 0;

    Board() : button(new TXQAqua(&window)) {
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, ColourFromBgr(Wall));
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        window.resize(120, 60);
        button->move(10, 10);
        button->onclick = [this](TXQAqua* sender) {
            EXPECT_EQ(sender, button);
            ++clicks;
        };
    }

    QImage Render() { return button->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // What the screen shows of the button, without painting it again.
    QImage OnScreen() {
        const QImage shot = window.screen()->grabWindow(window.winId()).toImage();
        return shot.copy(QRect(button->pos(), button->size()))
            .convertToFormat(QImage::Format_RGB32);
    }

    // Events are sent straight to the button with their positions; nothing reads the cursor.
    void Mouse(QEvent::Type type, QPoint at) {
        const Qt::MouseButton changed = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        QMouseEvent event(type, at, button->mapToGlobal(at), changed, held, Qt::NoModifier);
        QApplication::sendEvent(button, &event);
    }
    void Press(QPoint at) { Mouse(QEvent::MouseButtonPress, at); }
    void Release(QPoint at) { Mouse(QEvent::MouseButtonRelease, at); }
    void Move(QPoint at) { Mouse(QEvent::MouseMove, at); }
};

// Whether any pixel has exactly this colour.
bool Shows(const QImage& image, QRgb colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour) return true;
    return false;
}

TEST(XQAqua, ShadesRoundHalvesToEven) {
    EXPECT_EQ(TXQAqua::Shade(Bgr(50, 30, 210), 0), Bgr(42, 26, 179)); // 7.5, 4.5, 31.49..
    EXPECT_EQ(TXQAqua::Shade(Bgr(50, 10, 255), 1), Bgr(35, 7, 179));  // 76.5 -> 76
    EXPECT_EQ(TXQAqua::Shade(Bgr(30, 10, 90), 2), Bgr(16, 6, 50));    // 13.500..01 -> 14
    EXPECT_EQ(TXQAqua::Shade(Bgr(50, 10, 255), 3), Bgr(20, 4, 102));
    EXPECT_EQ(TXQAqua::Shade(Bgr(25, 75, 255), 4), Bgr(23, 71, 240)); // 1.5, 4.5
    EXPECT_EQ(TXQAqua::Shade(Bgr(18, 52, 86), 5), Bgr(18, 52, 86));
    EXPECT_EQ(TXQAqua::Shade(Bgr(245, 0, 50), 6), Bgr(247, 38, 81)); // 1.5 -> 2
    EXPECT_EQ(TXQAqua::Shade(Bgr(245, 0, 255), 7), Bgr(248, 76, 255));
    EXPECT_EQ(TXQAqua::Shade(Bgr(245, 50, 10), 8), Bgr(249, 142, 120));
    EXPECT_EQ(TXQAqua::Shade(Bgr(245, 50, 10), 9), Bgr(251, 173, 157));
}

TEST(XQAqua, DefaultsAndFaceColours) {
    const TXQAqua fresh;
    EXPECT_EQ(fresh.size(), QSize(75, 25));
    EXPECT_EQ(fresh.ButtonColor(), 16711680u);
    EXPECT_EQ(fresh.ButtonShape(), TXQAqua::bsButton);
    EXPECT_EQ(ColourFromBgr(fresh.BackgroundError()),
              QApplication::palette().color(QPalette::Button));
    EXPECT_TRUE(fresh.Font().bold());

    Board board;
    const auto faceIs = [&](quint32 v) {
        const QImage image = board.Render();
        EXPECT_EQ(image.pixel(FacePoint), Rgb(v));
        // The innermost light band is filled one shade lighter than its outline.
        EXPECT_EQ(image.pixel(37, 5), Rgb(TXQAqua::Shade(v, 9)));
    };
    faceIs(Bgr(0, 0, 217)); // pure blue starts 15 % darker
    board.button->SetButtonColor(Bgr(0, 0, 254));
    faceIs(Bgr(0, 0, 254));
    board.button->SetCustomColor(TXQAqua::ccPaleBlue);
    faceIs(Bgr(114, 156, 252));
    board.button->SetButtonColor(Bgr(0, 0, 255));
    faceIs(Bgr(114, 156, 252));
}

TEST(XQAqua, BackgroundComesFromWhatTheParentShows) {
    Board board;
    EXPECT_EQ(board.Render().pixel(0, 0), Rgb(Wall));

    // A container that paints nothing shows the window behind it.
    auto* panel = new QWidget(&board.window);
    QPalette unpainted = panel->palette();
    unpainted.setColor(QPalette::Window, Qt::white);
    panel->setPalette(unpainted);
    panel->setGeometry(5, 5, 100, 50);
    board.button->setParent(panel);
    board.button->move(4, 4);
    EXPECT_EQ(board.Render().pixel(0, 0), Rgb(Wall));

    // With the corner beyond the parent there is nothing to read.
    board.button->SetBackgroundError(Bgr(1, 2, 3));
    board.button->move(-4, 4);
    EXPECT_EQ(board.Render().pixel(0, 0), Rgb(Bgr(1, 2, 3)));
}

TEST(XQAqua, ClicksAndTheLooksLeftOnScreen) {
    Board board;
    board.window.move(300, 300);
    board.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&board.window));
    const quint32 v = Bgr(0, 0, 217);
    const QRgb normalGlow = Rgb(TXQAqua::Shade(v, 6));
    ASSERT_EQ(board.OnScreen().pixel(GlowTop), normalGlow);

    // Beside the round end a press does not push the button in, yet its release clicks.
    board.Press(Corner);
    EXPECT_EQ(board.OnScreen().pixel(GlowTop), normalGlow);
    board.Release(Corner);
    EXPECT_EQ(board.clicks, 1);

    board.Press(Centre);
    EXPECT_EQ(board.OnScreen().pixel(GlowTop), Rgb(v));
    // Pressed on the button, released beside it: still a click.
    board.Move(QPoint(90, 12));
    EXPECT_EQ(board.OnScreen().pixel(GlowTop), normalGlow);
    board.Move(Centre);
    board.Release(Centre);
    EXPECT_EQ(board.clicks, 2);
    // The pressed look stays until the mouse moves.
    EXPECT_EQ(board.OnScreen().pixel(GlowTop), Rgb(v));
    board.Move(Centre);
    EXPECT_EQ(board.OnScreen().pixel(FacePoint), Rgb(TXQAqua::Shade(v, 9)));
    board.Move(Corner);
    EXPECT_EQ(board.OnScreen().pixel(FacePoint), Rgb(v));

    board.Move(Centre);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(board.button, &leave);
    EXPECT_EQ(board.OnScreen().pixel(FacePoint), Rgb(v));
}

TEST(XQAqua, DisabledShowsTheBackgroundAndDoesNotClick) {
    Board board;
    board.button->SetEnabled(false);
    EXPECT_TRUE(board.button->isEnabled());
    EXPECT_EQ(board.Render().pixel(FacePoint), Rgb(Wall));

    board.Press(Centre);
    board.Move(Centre);
    board.Release(Centre);
    EXPECT_EQ(board.clicks, 0);
    EXPECT_EQ(board.Render().pixel(GlowTop), Rgb(TXQAqua::Shade(Wall, 6)));

    // The press was remembered: enabled again, the next release clicks.
    board.button->SetEnabled(true);
    board.Release(Centre);
    EXPECT_EQ(board.clicks, 1);
}

TEST(XQAqua, CaptionOnlyUnderTheMouseKeepsTheFace) {
    Board board;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(10);
    font.setStyleStrategy(QFont::NoAntialias);
    board.button->SetFont(font);
    board.button->SetCaption(QStringLiteral("OK"));
    const QRgb black = qRgb(0, 0, 0);
    EXPECT_TRUE(Shows(board.Render(), black));

    board.button->SetCaptionMouseOver(true);
    EXPECT_FALSE(Shows(board.Render(), black));
    board.Move(Centre);
    const QImage hovered = board.Render();
    EXPECT_TRUE(Shows(hovered, black));
    EXPECT_EQ(hovered.pixel(FacePoint), Rgb(Bgr(0, 0, 217)));
}

} // namespace
} // namespace velmora
