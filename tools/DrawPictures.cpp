// Draws the program's pictures (status pictures for the notification area, the message
// envelope and the program icon) and writes them as PNG files into the folder given on the
// command line, each at 1x, 2x and 3x ("in.png", "in@2x.png", "in@3x.png") for screens with
// more pixels to the point; the program icon also as "velmora.svg". The files are committed;
// run this again only to change a picture.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <cstdio>
#include <functional>

namespace velmora {
namespace {

const QColor outline(0x20, 0x20, 0x20);

// A transparent picture of `size` x `size` design units at `scale` pixels to the unit.
QImage Canvas(int size, int scale) {
    QImage image(size * scale, size * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void prepare(QPainter& p, int scale) {
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
}

// Head and shoulders, clipped by the disc they sit in. Coordinates are those of a 16x16 picture.
void drawPerson(QPainter& p, const QColor& colour) {
    QPainterPath disc;
    disc.addEllipse(QPointF(8, 8), 6.5, 6.5);
    QPainterPath person;
    person.addEllipse(QPointF(8, 5.5), 2.5, 2.5);
    person.addEllipse(QRectF(3.5, 9, 9, 9));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(person.intersected(disc));
}

// A round status badge with a person in it: one shape for every status, told apart by colour.
// A black disc gets a grey rim so that it keeps its shape on a dark panel.
QImage statusPicture(int scale, const QColor& disc, const QColor& person,
                     const QColor& outline = outline) {
    QImage image = Canvas(16, scale);
    QPainter p(&image);
    prepare(p, scale);
    p.setPen(QPen(outline, 1));
    p.setBrush(disc);
    p.drawEllipse(QPointF(8, 8), 7.5, 7.5);
    drawPerson(p, person);
    return image;
}

// A speech bubble: a remark in place of a plain status.
QImage remarkPicture(int scale) {
    QImage image = Canvas(16, scale);
    QPainter p(&image);
    prepare(p, scale);
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(0.5, 1.5, 14, 10), 3, 3);
    QPainterPath tail;
    tail.moveTo(3.5, 10);
    tail.lineTo(3.5, 14.5);
    tail.lineTo(8, 10);
    tail.closeSubpath();
    bubble = bubble.united(tail);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc0, 0xc0, 0xc0)); // silver shadow
    p.drawPath(bubble.translated(1, 1));
    p.setPen(QPen(QColor(0x00, 0x00, 0xc0), 1));
    p.setBrush(QColor(0xff, 0xff, 0x00));
    p.drawPath(bubble);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x00, 0x80, 0x00));
    for (double x : {3.5, 7.5, 11.5})
        p.drawEllipse(QPointF(x, 6.5), 1.5, 1.5);
    return image;
}

// A closed letter: yellow paper, green flap.
QImage envelopePicture(int scale) {
    QImage image = Canvas(32, scale);
    QPainter p(&image);
    prepare(p, scale);
    const QColor darkGreen(0x00, 0x64, 0x00);
    const QRectF body(1.5, 6.5, 29, 20);
    p.setPen(QPen(darkGreen, 1.5));
    p.setBrush(QColor(0xff, 0xff, 0x00));
    p.drawRoundedRect(body, 2, 2);
    // The lower folds, drawn thin so the flap stays the eye-catcher.
    p.setPen(QPen(darkGreen, 1));
    p.drawLine(QPointF(2.5, 25.5), QPointF(12.5, 16.5));
    p.drawLine(QPointF(29.5, 25.5), QPointF(19.5, 16.5));
    QPainterPath flap;
    flap.moveTo(2, 7.5);
    flap.lineTo(16, 19);
    flap.lineTo(30, 7.5);
    flap.closeSubpath();
    p.setPen(QPen(darkGreen, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0x00, 0xb0, 0x00));
    p.drawPath(flap);
    return image;
}

// The program's icon: a blue rounded tile holding a white board of three names, one dot per
// status colour. Drawn in a 64-unit square whose rows and edges fall on pixel boundaries at
// 16 pixels; the smallest size gets slimmer dots so that they stay apart.
QImage programIcon(int size) {
    QImage image = Canvas(size, 1);
    QPainter p(&image);
    prepare(p, 1);
    const double s = size / 64.0;
    const double px = 1.0 / s; // one device pixel in design units
    p.scale(s, s);

    QLinearGradient tile(0, 0, 0, 64);
    tile.setColorAt(0, QColor(0x3a, 0x78, 0xc8));
    tile.setColorAt(1, QColor(0x1c, 0x48, 0x8c));
    p.setPen(QPen(QColor(0x12, 0x30, 0x60), px));
    p.setBrush(tile);
    const double edge = px / 2;
    p.drawRoundedRect(QRectF(edge, edge, 64 - 2 * edge, 64 - 2 * edge), 12, 12);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf4, 0xf6, 0xfa));
    p.drawRoundedRect(QRectF(8, 8, 48, 48), 4, 4);

    const QColor dots[] = {QColor(0x00, 0xd0, 0x00), QColor(0xe0, 0x00, 0xe0),
                           QColor(0xe0, 0x00, 0x00)};
    const double radius = size <= 16 ? 4 : 6;
    const double thickness = size <= 16 ? 8 : 4;
    const double dotX = size <= 16 ? 20 : 18;
    for (int i = 0; i < 3; ++i) {
        const double y = 16 + 16 * i;
        p.setPen(Qt::NoPen);
        p.setBrush(dots[i]);
        p.drawEllipse(QPointF(dotX, y), radius, radius);
        p.setPen(QPen(QColor(0x70, 0x80, 0x98), thickness, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(28, y), QPointF(i == 1 ? 40 : 48, y));
    }
    return image;
}

// The program icon as scalable vector graphics: the large-size design of programIcon in its
// 64-unit square, for desktops that draw icons at any size.
QByteArray programIconSvg() {
    QByteArray svg = R"svg(<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">
  <defs>
    <linearGradient id="tile" x1="0" y1="0" x2="0" y2="64" gradientUnits="userSpaceOnUse">
      <stop offset="0" stop-color="#3a78c8"/>
      <stop offset="1" stop-color="#1c488c"/>
    </linearGradient>
  </defs>
  <rect x="0.25" y="0.25" width="63.5" height="63.5" rx="12" fill="url(#tile)"
        stroke="#123060" stroke-width="0.5"/>
  <rect x="8" y="8" width="48" height="48" rx="4" fill="#f4f6fa"/>
)svg";
    const char* dots[] = {"#00d000", "#e000e0", "#e00000"};
    for (int i = 0; i < 3; ++i) {
        const QByteArray y = QByteArray::number(16 + 16 * i);
        svg += "  <circle cx=\"18\" cy=\"" + y + "\" r=\"6\" fill=\"" + dots[i] + "\"/>\n";
        svg += "  <line x1=\"28\" y1=\"" + y + "\" x2=\"" + (i == 1 ? "40" : "48") + "\" y2=\"" +
               y + "\" stroke=\"#708098\" stroke-width=\"4\"/>\n";
    }
    return svg + "</svg>\n";
}

bool save(const QDir& dir, const QString& name, const QImage& image) {
    const QString path = dir.filePath(name);
    if (image.save(path, "PNG")) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace
} // namespace velmora

int main(int argc, char** argv) {
    using namespace velmora;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    bool ok = true;
    for (int scale : {1, 2, 3}) {
        const QString suffix =
            scale == 1 ? QStringLiteral(".png") : QStringLiteral("@%1x.png").arg(scale);
        ok &= save(dir, QStringLiteral("in") + suffix,
                   statusPicture(scale, QColor(0x00, 0x00, 0x00), QColor(0x00, 0xff, 0x00),
                                 QColor(0x60, 0x60, 0x60)));
        ok &= save(dir, QStringLiteral("busy") + suffix,
                   statusPicture(scale, QColor(0xff, 0x00, 0xff), QColor(0xff, 0xff, 0xff)));
        ok &= save(dir, QStringLiteral("out") + suffix,
                   statusPicture(scale, QColor(0xff, 0x00, 0x00), QColor(0xff, 0xff, 0xff)));
        ok &= save(dir, QStringLiteral("remark") + suffix, remarkPicture(scale));
        ok &= save(dir, QStringLiteral("envelope") + suffix, envelopePicture(scale));
        // The icon's small-size design belongs to 16 pixels, not to 16 points drawn larger.
        for (int size : {16, 32, 48, 64, 128})
            ok &= save(dir, QStringLiteral("velmora-%1").arg(size) + suffix,
                       programIcon(size * scale));
    }
    QFile svg(dir.filePath(QStringLiteral("velmora.svg")));
    if (!svg.open(QIODevice::WriteOnly) || svg.write(programIconSvg()) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(svg.fileName()));
        ok = false;
    }
    return ok ? 0 : 1;
}
