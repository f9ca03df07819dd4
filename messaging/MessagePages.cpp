#include "messaging/MessagePages.h"

#include "shell/Unit1.h"

namespace velmora {

TMessagePages::TMessagePages(TForm1& form) : QObject(&form), form_(form) {}

void TMessagePages::SelectRecipient(const QByteArray&, const QByteArray&, bool, bool) {}

} // namespace velmora
