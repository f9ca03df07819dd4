#include "gui/controls/TrayIcon.h"
#include "gui/controls/WidgetKit.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace velmora {
namespace {

QIcon picture(const char* name) {
    return QIcon(QStringLiteral(":/pictures/") + QString::fromLatin1(name));
}

QSystemTrayIcon* platformIcon(TrayIcon& tray) {
    return tray.findChild<QSystemTrayIcon*>();
}

// What a reader of the tooltip sees: rich text rendered, plain text as it is.
QString shownTip(const QString& toolTip) {
    if (!Qt::mightBeRichText(toolTip)) return toolTip;
    QTextDocument doc;
    doc.setHtml(toolTip);
    return doc.toPlainText();
}

TEST(TrayIcon, ShownOnlyWhileEnabledWithAPictureAndSamePictureSendsNothing) {
    TrayIcon tray;
    tray.setIcon(QIcon());
    tray.setEnabled(true);
    EXPECT_FALSE(tray.shown());
    EXPECT_EQ(tray.updateCount(), 0);

    const QIcon in = picture("in.png");
    tray.setIcon(in);
    EXPECT_TRUE(tray.shown());
    EXPECT_TRUE(platformIcon(tray)->isVisible());
    EXPECT_EQ(tray.updateCount(), 1);

    const QIcon sameIn = in;
    tray.setIcon(sameIn);
    tray.setEnabled(true);
    EXPECT_EQ(tray.updateCount(), 1);

    tray.setIcon(picture("out.png"));
    EXPECT_EQ(tray.updateCount(), 2);
    EXPECT_EQ(platformIcon(tray)->icon().cacheKey(), tray.icon().cacheKey());

    tray.setEnabled(false);
    EXPECT_FALSE(tray.shown());
    EXPECT_FALSE(platformIcon(tray)->isVisible());
    EXPECT_EQ(tray.updateCount(), 3);
}

TEST(TrayIcon, HintIsCutTo63CharactersAndShownAsPlainText) {
    TrayIcon tray;
    tray.setIcon(picture("in.png"));
    tray.setEnabled(true);
    const QString longHint(70, QLatin1Char('h'));
    tray.setHint(longHint);
    EXPECT_EQ(tray.hint(), longHint.left(63));
    EXPECT_EQ(platformIcon(tray)->toolTip(), longHint.left(63));
    const int updates = tray.updateCount();
    tray.setHint(longHint);
    EXPECT_EQ(tray.updateCount(), updates);

    const QString markup = QStringLiteral("<b>x</b> & <i>y</i>");
    tray.setHint(markup);
    EXPECT_EQ(tray.hint(), markup);
    EXPECT_EQ(shownTip(platformIcon(tray)->toolTip()), markup);
}

struct TrayIconMouse : ::testing::Test {
    TrayIcon tray;
    QMenu menu;
    QAction* first = menu.addAction(QStringLiteral("Dazuviz Velmora"));
    QAction* second = menu.addAction(QStringLiteral("E&xit"));
    QSignalSpy firstRun{first, &QAction::triggered};
    QSignalSpy secondRun{second, &QAction::triggered};
    std::vector<std::pair<QString, TrayIcon*>> events;

    TrayIconMouse() {
        tray.setPopupMenu(&menu);
        tray.onLeftClick = [this](TrayIcon* s) { events.emplace_back(QStringLiteral("L"), s); };
        tray.onDoubleClick = [this](TrayIcon* s) { events.emplace_back(QStringLiteral("D"), s); };
        tray.onRightClick = [this](TrayIcon* s) { events.emplace_back(QStringLiteral("R"), s); };
    }
    // Drives the component the way the notification area does.
    void activate(QSystemTrayIcon::ActivationReason reason) {
        Q_EMIT tray.findChild<QSystemTrayIcon*>()->activated(reason);
    }
};

TEST_F(TrayIconMouse, RightClickMakesTheFirstItemTheBoldDefaultAndPopsUpTheMenu) {
    activate(QSystemTrayIcon::Context);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].first, QStringLiteral("R"));
    EXPECT_EQ(events[0].second, &tray);
    EXPECT_TRUE(first->font().bold());
    EXPECT_FALSE(second->font().bold());
    EXPECT_TRUE(menu.isVisible());
    menu.hide();

    tray.setAutoShow(false);
    activate(QSystemTrayIcon::Context);
    EXPECT_FALSE(first->font().bold());
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
    EXPECT_EQ(firstRun.count() + secondRun.count(), 0);
}

TEST_F(TrayIconMouse, DoubleClickRunsTheDefaultItemAndLeftPressOnlyReports) {
    activate(QSystemTrayIcon::Trigger);
    activate(QSystemTrayIcon::DoubleClick);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].first, QStringLiteral("L"));
    EXPECT_EQ(events[1].first, QStringLiteral("D"));
    EXPECT_EQ(events[1].second, &tray);
    EXPECT_EQ(firstRun.count(), 1);
    EXPECT_EQ(secondRun.count(), 0);
    EXPECT_FALSE(menu.isVisible());

    tray.setAutoShow(false);
    activate(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(firstRun.count(), 1);

    // A menu that is gone is no longer used.
    tray.setAutoShow(true);
    auto* shortLived = new QMenu;
    QSignalSpy shortRun(shortLived->addAction(QStringLiteral("x")), &QAction::triggered);
    tray.setPopupMenu(shortLived);
    delete shortLived;
    EXPECT_EQ(tray.popupMenu(), nullptr);
    activate(QSystemTrayIcon::DoubleClick);
    activate(QSystemTrayIcon::Context);
    EXPECT_EQ(events.size(), 5u);
}

bool hasColour(const QImage& image, QRgb colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) == 255 && qAbs(qRed(p) - qRed(colour)) <= 24 &&
                qAbs(qGreen(p) - qGreen(colour)) <= 24 && qAbs(qBlue(p) - qBlue(colour)) <= 24)
                return true;
        }
    return false;
}

TEST(TrayPictures, EveryPictureLoadsWithItsSizeAndColours) {
    const QRgb lime = qRgb(0, 255, 0), black = qRgb(0, 0, 0), fuchsia = qRgb(255, 0, 255),
               red = qRgb(255, 0, 0), yellow = qRgb(255, 255, 0), blue = qRgb(0, 0, 192),
               silver = qRgb(192, 192, 192), green = qRgb(0, 128, 0);
    const struct {
        const char* name;
        int size;
        std::vector<QRgb> colours;
    } pictures[] = {
        {"in.png", 16, {lime, black}},
        {"busy.png", 16, {fuchsia}},
        {"out.png", 16, {red}},
        {"remark.png", 16, {yellow, blue, silver, green}},
        {"envelope.png", 32, {yellow, green}},
        {"velmora-16.png", 16, {}},
        {"velmora-32.png", 32, {}},
        {"velmora-48.png", 48, {}},
        {"velmora-64.png", 64, {}},
        {"velmora-128.png", 128, {}},
    };
    // Each also drawn at two and three pixels to the point, as "name@2x.png" and "name@3x.png".
    for (const auto& picture : pictures)
        for (int scale : {1, 2, 3}) {
            QString name = QStringLiteral(":/pictures/") + QString::fromLatin1(picture.name);
            if (scale > 1)
                name.replace(QStringLiteral(".png"), QStringLiteral("@%1x.png").arg(scale));
            SCOPED_TRACE(name.toStdString());
            const QImage image(name);
            ASSERT_FALSE(image.isNull());
            EXPECT_EQ(image.size(), QSize(picture.size, picture.size) * scale);
            EXPECT_TRUE(image.hasAlphaChannel());
            for (QRgb colour : picture.colours)
                EXPECT_TRUE(hasColour(image, colour)) << std::hex << colour;
        }
    // The program's icons hand out the copy drawn for the screen's scale.
    for (int scale : {1, 2, 3}) {
        const QString suffix =
            scale > 1 ? QStringLiteral("@%1x.png").arg(scale) : QStringLiteral(".png");
        QImage shown = velmora::picture("busy").pixmap(QSize(16, 16), qreal(scale)).toImage();
        EXPECT_EQ(shown.devicePixelRatio(), scale);
        shown.setDevicePixelRatio(1);
        EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  QImage(QStringLiteral(":/pictures/busy") + suffix)
                      .convertToFormat(QImage::Format_ARGB32_Premultiplied))
            << scale;
    }
    EXPECT_FALSE(hasColour(QImage(QStringLiteral(":/pictures/in.png")), red));
    EXPECT_FALSE(hasColour(QImage(QStringLiteral(":/pictures/out.png")), lime));
}

// The program's icon of several pictures: each size is drawn from the copy that fills it, the
// one drawn for that size first; the window manager is offered the sizes of this screen's scale.
TEST(TrayPictures, TheProgramsIconOffersItsSizesAndDrawsEachFromTheCopyThatFillsIt) {
    QIcon icon;
    for (const char* name : {"velmora-16", "velmora-32", "velmora-128"})
        addPicture(icon, name);
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{16, 16}, {32, 32}, {128, 128}}));
    const auto file = [](const char* name) {
        return QImage(QStringLiteral(":/pictures/") + QString::fromLatin1(name))
            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    };
    const struct {
        int asked;
        QImage expected;
    } rows[] = {
        {16, file("velmora-16.png")},
        {32, file("velmora-32.png")}, // not the 16-pixel picture drawn at scale 2
        {24,
         file("velmora-32.png").scaled(24, 24, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)},
        {512, file("velmora-128@3x.png")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.asked);
        const QImage shown = icon.pixmap(QSize(row.asked, row.asked), 1.0)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(shown, row.expected);
    }
    EXPECT_FALSE(icon.pixmap(QSize(16, 16), QIcon::Disabled).isNull());
}

} // namespace
} // namespace velmora
