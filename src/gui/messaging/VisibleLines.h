#pragma once
// The lines of a text box as it shows them: what is sent and printed is what the user saw.

#include <QStringList>

class QPlainTextEdit;

namespace velmora {

// A wrapped line counts as several; a last empty line does not count.
QStringList visibleLines(QPlainTextEdit* box);

} // namespace velmora
