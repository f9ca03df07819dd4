#pragma once
// Small helpers that every page uses to build its controls: named widgets, compact layouts,
// the flat colour face of option controls, and peer texts made safe for menus and captions.

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QSize>
#include <QString>

#include <functional>

class QCheckBox;
class QHBoxLayout;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace velmora {

class AquaButton;

inline QString latin1(const char* text) {
    return QString::fromLatin1(text);
}

// Gives a widget its object name, by which the program and the tests find it.
template <class W> W* named(W* widget, const char* name) {
    widget->setObjectName(latin1(name));
    return widget;
}

QPushButton* pushButton(const char* name, const char* caption, QWidget* parent = nullptr);
QCheckBox* checkBox(const char* name, const QString& caption);
// The glossy pale blue button of the remark list editor, in the given font.
AquaButton* aquaButton(const char* name, const char* caption, QSize size, const QFont& font);

// A column and a row with the tight margins and spacing of the window's design.
QVBoxLayout* columnLayout(QWidget* owner, int margin = 3, int spacing = 2);
QHBoxLayout* rowLayout(int spacing = 3);

// Paints a control's face (its base, button and window colours) with black text on it.
void setBackground(QWidget* widget, const QColor& colour);
// Gives a label or button's text a colour of its own. A palette, not a style sheet: one style
// sheet anywhere brings in Qt's style sheet engine, which costs start-up time and memory.
void setTextColour(QWidget* widget, const QColor& colour);

// Runs `make`, which builds controls that will show in `font`, with `font` as the application's
// font, and gives the desktop's fonts back after. Qt lays out a new edit line's empty text in
// the application's font before the line takes its parent's: without this, building one would
// load the desktop's default font file only for that, a quarter of a megabyte kept for good.
// Menus, dialogs and tool tips keep the desktop's fonts.
void makeInFont(const QFont& font, const std::function<void()>& make);

// Puts the controls of `part` that Tab reaches right after `after` in the focus order, in their
// own order: a part whose controls were made before their neighbours would otherwise come first.
void keepTabOrder(QWidget* after, QWidget* part);

// Texts from other copies go into menus and group captions through this: "&" is shown, never
// taken for a mnemonic.
QString menuText(const QByteArray& ansi);

// Adds the program's picture ":/pictures/<name>.png" to `icon` with its copies drawn for two
// and three pixels to the point ("<name>@2x.png", "<name>@3x.png"): the icon hands out the one
// that is sharp at the screen's scale.
void addPicture(QIcon& icon, const char* name);
QIcon picture(const char* name);

} // namespace velmora
