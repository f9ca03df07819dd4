#pragma once
// The copy that runs already. Every running copy holds two sockets:
// - a name in the abstract socket namespace, once per computer (network namespace) whatever
//   the user, by which a second start tells "another copy holds the port" from "some other
//   program holds it", and whose holder's user it can learn;
// - the control socket of its user, on which it takes commands (--status, --show, --exit,
//   --exit-out) from programs of the same user only: a socket file in the user's runtime folder
//   ($XDG_RUNTIME_DIR), or, where there is none, a name in the abstract namespace.

#include "app/CommandLine.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>
#include <sys/types.h>

class QSocketNotifier;

namespace velmora {

class ControlConnection;

// The per-computer name. Taken when made; while held, a second start of any user may connect
// to it to learn whose copy runs, and is hung up on at once.
class PortHolderName : public QObject {
    Q_OBJECT
public:
    explicit PortHolderName(QObject* parent = nullptr);
    ~PortHolderName() override;

    bool held() const { return fd_ >= 0; }
    // When another process holds the name: its user id, where that could be learnt.
    std::optional<uid_t> holder() const { return holder_; }

private:
    void onAsked();

    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::optional<uid_t> holder_;
};

// Who holds a socket name, for a message: "another user's program (NAME, user id N)",
// "another program of this user", or "another program" when the user is not known.
QString holderOf(std::optional<uid_t> uid);

// Hands `command` to this user's running copy and waits until it confirms: 0 when it did, 1
// with one line on stderr when no copy runs or it did not confirm. What the copy answered
// before its confirmation goes to `answer`. Starts nothing and sends nothing on the network.
int sendToRunningCopy(ControlCommand command, const QString& remark, QByteArray* answer = nullptr);

class ControlServer : public QObject {
    Q_OBJECT
public:
    // Runs one command of the user and gives the text to answer before the confirmation; Exit
    // and ExitOut end the event loop.
    using Handler = std::function<QString(ControlCommand command, const QString& remark)>;

    explicit ControlServer(Handler handler, QObject* parent = nullptr);
    // Removes the socket file, if it is still the one this copy made.
    ~ControlServer() override;

    // Takes the control socket; false with the reason when that fails.
    bool listen(QString& reason);
    // The program has ended (its last announcement sent, its settings saved): the commands
    // that asked for the end are confirmed now.
    void confirmEnd();

private:
    void onIncoming();
    void onLine(ControlConnection* connection, const QByteArray& line);

    Handler handler_;
    int listening_ = -1;
    QByteArray socketFile_; // empty for the abstract name
    dev_t fileDevice_ = 0;
    ino_t fileInode_ = 0;
    QSocketNotifier* notifier_ = nullptr;
    QList<QPointer<ControlConnection>> waitingForEnd_;
};

} // namespace velmora
