#include "gui/controls/WidgetKit.h"

#include "core/net/AnsiText.h"
#include "gui/controls/AquaButton.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

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

QString menuText(const QByteArray& ansi) {
    return fromAnsi(ansi).replace(QLatin1Char('&'), latin1("&&"));
}

void addPicture(QIcon& icon, const char* name) {
    // Each file is added with its own pixel size, so the icon picks by pixels: a 16-point
    // picture on a screen of scale 2 is the 32-pixel "@2x" copy.
    const QString base = latin1(":/pictures/") + latin1(name);
    for (const char* scale : {"", "@2x", "@3x"})
        icon.addFile(base + latin1(scale) + latin1(".png"));
}

QIcon picture(const char* name) {
    QIcon icon;
    addPicture(icon, name);
    return icon;
}

} // namespace velmora
