#pragma once
// Printing the shown message: a title line and the inbox lines below it, at fixed positions in
// the printer's units, no wrapping and no page break.

#include <QStringList>

class QPrinter;

namespace velmora {

inline constexpr char kMessageJobTitle[] = "Velmora Message";

// Prints on `printer` as it is set up (the caller chose it, or a PDF file in tests): the job
// title at (100, 100) and line i at (100, 240 + i * h), h the height of "xx" in a black
// 12-point font. Stops after the current line when the job is aborted. False when the job
// could not start.
bool printMessage(QPrinter& printer, const QStringList& lines);

} // namespace velmora
