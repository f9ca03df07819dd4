#pragma once
// What a screen reader learns about the painted buttons (ColorButton, AquaButton): a push
// button named by its caption, with a press action that clicks it.

namespace velmora {

// Registers the buttons' accessible interfaces with Qt; the buttons call it, and only the
// first call does anything.
void installButtonAccessibility();

} // namespace velmora
