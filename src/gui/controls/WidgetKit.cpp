#include "gui/controls/WidgetKit.h"

#include "core/net/AnsiText.h"
#include "gui/controls/AquaButton.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QResource>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <QVBoxLayout>
#include <QtEndian>
#include <algorithm>
#include <vector>

namespace velmora {

namespace {
constexpr quint32 kPaleBlue = 0xFC9C72; // red 114, green 156, blue 252
} // namespace

QPushButton* pushButton(const char* name, const char* caption, QWidget* parent) {
    return named(new QPushButton(latin1(caption), parent), name);
}

QCheckBox* checkBox(const char* name, const QString& caption) {
    return named(new QCheckBox(caption), name);
}

AquaButton* aquaButton(const char* name, const char* caption, QSize size, const QFont& font) {
    auto* b = named(new AquaButton, name);
    b->setButtonColor(kPaleBlue);
    b->setCaptionFont(font);
    b->setCaption(latin1(caption));
    b->setFixedSize(size);
    return b;
}

QVBoxLayout* columnLayout(QWidget* owner, int margin, int spacing) {
    auto* l = new QVBoxLayout(owner);
    l->setContentsMargins(margin, margin, margin, margin);
    l->setSpacing(spacing);
    return l;
}

QHBoxLayout* rowLayout(int spacing) {
    auto* l = new QHBoxLayout;
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(spacing);
    return l;
}

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::Base, colour);
    p.setColor(QPalette::Button, colour);
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::Text, Qt::black);
    p.setColor(QPalette::ButtonText, Qt::black);
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::ButtonText, colour);
    widget->setPalette(p);
}

void makeInFont(const QFont& font, const std::function<void()>& make) {
    const QFont desktop = QApplication::font();
    if (font == desktop) return make();
    // Setting the application's font drops the fonts the desktop gave to whole classes of
    // controls: they are put back with it.
    static constexpr const char* kClassesWithFonts[] = {"QMenu",
                                                        "QMenuBar",
                                                        "QMenuItem",
                                                        "QMessageBox",
                                                        "QLabel",
                                                        "QTipLabel",
                                                        "QStatusBar",
                                                        "QMdiSubWindowTitleBar",
                                                        "QDockWidgetTitle",
                                                        "QPushButton",
                                                        "QCheckBox",
                                                        "QRadioButton",
                                                        "QToolButton",
                                                        "QAbstractItemView",
                                                        "QListView",
                                                        "QHeaderView",
                                                        "QListBox",
                                                        "QComboMenuItem",
                                                        "QComboLineEdit",
                                                        "QSmallFont",
                                                        "QMiniFont",
                                                        "QTabBar",
                                                        "QGroupBox",
                                                        "QLineEdit",
                                                        "QTextEdit",
                                                        "QPlainTextEdit"};
    std::vector<std::pair<const char*, QFont>> classFonts;
    for (const char* name : kClassesWithFonts)
        if (QFont f = QApplication::font(name); f != desktop) classFonts.emplace_back(name, f);
    QApplication::setFont(font);
    make();
    QApplication::setFont(desktop);
    for (const auto& [name, f] : classFonts)
        QApplication::setFont(f, name);
}

void keepTabOrder(QWidget* after, QWidget* part) {
    for (QWidget* control : part->findChildren<QWidget*>()) {
        if (!(control->focusPolicy() & Qt::TabFocus)) continue;
        QWidget::setTabOrder(after, control);
        after = control;
    }
}

QString menuText(const QByteArray& ansi) {
    return fromAnsi(ansi).replace(QLatin1Char('&'), latin1("&&"));
}

namespace {

// Reads one of the program's own PNG files. Named as PNG outright: a reader left to guess the
// format loads every image format plugin of the system first to ask it.
QImage readPng(const QString& path) {
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

// The size a PNG file of the program's own gives in its header; none when it is no PNG. Read
// from the header itself: an image reader looks through every image format plugin of the
// system before it reads anything, and the start asks the size of every picture.
QSize pngSize(const QString& path) {
    const QByteArray data = QResource(path).uncompressedData();
    constexpr char kSignature[] = "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR";
    if (data.size() < 24 || !data.startsWith(QByteArrayView(kSignature, 16))) return {};
    const auto be32 = [&](int at) { return qFromBigEndian<quint32>(data.constData() + at); };
    const quint32 width = be32(16), height = be32(20);
    if (width == 0 || height == 0 || width > 4096 || height > 4096) return {};
    return QSize(int(width), int(height));
}

// The program's pictures, each drawn for one, two and three pixels to the point. A copy is
// decoded when it is first asked for at its size, so a screen of scale 1 never decodes the
// others; the sizes an icon offers (the window manager takes all of them) stop at the largest
// scale among the screens.
class PictureEngine final : public QIconEngine {
public:
    // With its first picture: QIcon::addFile replaces an engine that holds none.
    explicit PictureEngine(const QString& fileName) {
        addFile(fileName, {}, QIcon::Normal, QIcon::Off);
    }

    // Takes ":/pictures/<name>.png" and its copies "<name>@2x.png" and "<name>@3x.png". The
    // copy that QIcon::addFile looks for by itself at the screen's scale is among them already.
    void addFile(const QString& fileName, const QSize&, QIcon::Mode, QIcon::State) override {
        if (fileName.contains(QLatin1Char('@'))) return;
        for (int scale : {1, 2, 3}) {
            QString path = fileName;
            if (scale > 1) path.insert(path.size() - 4, QStringLiteral("@%1x").arg(scale));
            if (const QSize size = pngSize(path); size.isValid())
                copies_.push_back({path, size, scale, {}});
        }
        // Lower scales first: among copies of one size, the one drawn for it is found first.
        std::stable_sort(copies_.begin(), copies_.end(),
                         [](const Copy& a, const Copy& b) { return a.scale < b.scale; });
    }

    QIconEngine* clone() const override { return new PictureEngine(*this); }
    bool isNull() override { return copies_.empty(); }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const Copy* copy = match(size);
        return copy ? fitted(copy->size, size) : QSize();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        Copy* copy = match(size);
        if (!copy) return {};
        if (copy->pixmap.isNull()) copy->pixmap = QPixmap::fromImage(readPng(copy->path));
        QPixmap shown = copy->pixmap;
        if (const QSize fit = fitted(shown.size(), size); fit != shown.size())
            shown = shown.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (mode != QIcon::Normal) {
            QStyleOption option;
            option.palette = QGuiApplication::palette();
            shown = QApplication::style()->generatedIconPixmap(mode, shown, &option);
        }
        return shown;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device()->devicePixelRatio();
        painter->drawPixmap(rect, pixmap(rect.size() * ratio, mode, state));
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        qreal largest = 1;
        for (const QScreen* screen : QGuiApplication::screens())
            largest = qMax(largest, screen->devicePixelRatio());
        QList<QSize> sizes;
        for (const Copy& copy : copies_)
            if (copy.scale < largest + 1 && !sizes.contains(copy.size)) sizes.append(copy.size);
        return sizes;
    }

private:
    struct Copy {
        QString path;
        QSize size;
        int scale;
        QPixmap pixmap;
    };

    // The smallest copy that fills `size`, else the largest; among equal sizes the one drawn
    // for the lower scale.
    Copy* match(const QSize& size) {
        Copy* best = nullptr;
        for (Copy& copy : copies_) {
            const bool fills =
                copy.size.width() >= size.width() && copy.size.height() >= size.height();
            const bool bestFills =
                best && best->size.width() >= size.width() && best->size.height() >= size.height();
            const qint64 area = qint64(copy.size.width()) * copy.size.height();
            const qint64 bestArea = best ? qint64(best->size.width()) * best->size.height() : 0;
            if (!best || (fills && (!bestFills || area < bestArea)) ||
                (!fills && !bestFills && area > bestArea))
                best = &copy;
        }
        return best;
    }

    static QSize fitted(QSize picture, const QSize& size) {
        if (picture.width() > size.width() || picture.height() > size.height())
            picture.scale(size, Qt::KeepAspectRatio);
        return picture;
    }

    std::vector<Copy> copies_;
};

} // namespace

void addPicture(QIcon& icon, const char* name) {
    const QString fileName = latin1(":/pictures/") + latin1(name) + latin1(".png");
    if (icon.isNull())
        icon = QIcon(new PictureEngine(fileName));
    else
        icon.addFile(fileName);
}

QIcon picture(const char* name) {
    QIcon icon;
    addPicture(icon, name);
    return icon;
}

} // namespace velmora
