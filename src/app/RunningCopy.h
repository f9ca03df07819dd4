#pragma once
// The copy that runs already. Every running copy holds two names in the abstract socket
// namespace, which exist once per network namespace and vanish with the process:
// - one per computer (network namespace), whatever the user, by which a second start tells
//   "another copy holds the port" from "some other program holds it";
// - one per user, on which the copy takes commands (--status, --show, --exit, --exit-out)
//   from programs of the same user only.

#include "app/CommandLine.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

class QLocalSocket;
class QSocketNotifier;

namespace velmora {

// Takes the per-computer name; -1 when another copy holds it. Close the descriptor at the end.
int claimPortHolderName();

// Hands `command` to this user's running copy and waits until it confirms: 0 when it did, 1
// with one line on stderr when no copy runs or it did not confirm. Starts nothing and sends
// nothing on the network.
int sendToRunningCopy(ControlCommand command, const QString& remark);

class ControlServer : public QObject {
    Q_OBJECT
public:
    // Runs one command of the user; Exit and ExitOut end the event loop.
    using Handler = std::function<void(ControlCommand command, const QString& remark)>;

    explicit ControlServer(Handler handler, QObject* parent = nullptr);
    ~ControlServer() override;

    // Takes the per-user name; false with the reason when that fails.
    bool listen(QString& reason);
    // The program has ended (its last announcement sent, its settings saved): the commands
    // that asked for the end are confirmed now.
    void confirmEnd();

private:
    void onIncoming();
    void onReadable(QLocalSocket* connection);

    Handler handler_;
    int listening_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QList<QPointer<QLocalSocket>> waitingForEnd_;
};

} // namespace velmora
