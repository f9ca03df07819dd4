#pragma once
// The Messages and Compose pages of the main window: choosing a recipient, composing and
// sending, received messages with their history, receipts, the envelope and the sound.

#include <QByteArray>
#include <QObject>

namespace velmora {

class TForm1;

class TMessagePages : public QObject {
    Q_OBJECT
public:
    // Finds the pages' controls in `form` by their names and connects them.
    explicit TMessagePages(TForm1& form);

    // Makes the person the recipient of the Compose page. `viaMenu` is true for the right
    // click that opens the person menu, false for a plain click on the name.
    void SelectRecipient(const QByteArray& address, const QByteArray& name, bool offLine,
                         bool viaMenu);

private:
    TForm1& form_;
};

} // namespace velmora
