#pragma once
// The options lock: whoever knows the access code can freeze the two "Hide and disable *"
// options. The code and the texts of its dialog are kept scrambled, so that they do not show
// up as plain strings in the program file.

#include <QByteArray>

namespace velmora::options_lock {

// The caption and the prompt of the dialog that asks for the code.
QByteArray dialogCaption();
QByteArray dialogPrompt();
// Whether a text entered in that dialog is the access code (exactly, letter case included).
bool isAccessCode(const QByteArray& entered);

// The Lock button's caption in each state.
inline constexpr char kLockedCaption[] = "Unlock * ";
inline constexpr char kUnlockedCaption[] = "Lock * ";

} // namespace velmora::options_lock
