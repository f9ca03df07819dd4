#pragma once
// What a screen reader learns about the painted buttons (ColorButton, AquaButton): a push
// button named by its caption, with a press action that clicks it. What a keyboard user gets:
// Space and Enter click the button that has the focus, and the focus is marked on its face.

class QColor;
class QKeyEvent;
class QPainter;
class QRect;
class QWidget;

namespace velmora {

// Registers the buttons' accessible interfaces with Qt; the buttons call it, and only the
// first call does anything.
void installButtonAccessibility();

// Space, Return and Enter, not repeated by a held key.
bool isClickKey(const QKeyEvent& event);
// While `button` has the focus: a dotted frame along `frame` in `colour`, the caption's colour,
// which shows on every face colour.
void paintFocusMark(QPainter& painter, const QWidget& button, const QRect& frame,
                    const QColor& colour);

} // namespace velmora
