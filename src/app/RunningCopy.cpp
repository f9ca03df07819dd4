#include "app/RunningCopy.h"

#include <QLocalSocket>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace velmora {

namespace {

constexpr int kAnswerTimeoutMs = 20000;
constexpr qint64 kLongestRequest = 1 << 20;

socklen_t abstractAddress(const QByteArray& name, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    const auto size = std::min<size_t>(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.constData(), size);
    return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size);
}

// The user's name in the abstract namespace; the user id keeps users apart.
QByteArray controlName() {
    return "dazuviz-velmora-control-" + QByteArray::number(::geteuid());
}

bool peerIsThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

// The word of each command on the line; a remark's text follows its word, percent-encoded as
// UTF-8.
struct CommandWord {
    ControlCommand command;
    const char* word;
};
constexpr CommandWord kWords[] = {
    {ControlCommand::StatusIn, "in"},      {ControlCommand::StatusBusy, "busy"},
    {ControlCommand::StatusOut, "out"},    {ControlCommand::Remark, "remark"},
    {ControlCommand::Show, "show"},        {ControlCommand::Exit, "exit"},
    {ControlCommand::ExitOut, "exit-out"},
};

QByteArray encode(ControlCommand command, const QString& remark) {
    if (command == ControlCommand::Remark)
        return "remark " + remark.toUtf8().toPercentEncoding() + '\n';
    for (const CommandWord& w : kWords)
        if (w.command == command) return QByteArray(w.word) + '\n';
    return {};
}

ControlCommand decode(const QByteArray& line, QString& remark) {
    const QByteArray word = line.left(line.indexOf(' '));
    if (word == "remark") {
        remark = QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(word.size() + 1)));
        return ControlCommand::Remark;
    }
    for (const CommandWord& w : kWords)
        if (line == w.word) return w.command;
    return ControlCommand::None;
}

int complain(const char* text) {
    std::fprintf(stderr, "velmora: %s\n", text);
    return 1;
}

void answer(QLocalSocket* connection) {
    connection->write("done\n");
    connection->flush();
    connection->disconnectFromServer();
}

} // namespace

int claimPortHolderName() {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un address;
    const socklen_t size = abstractAddress("dazuviz-velmora-55555", address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int sendToRunningCopy(ControlCommand command, const QString& remark) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return complain("cannot make a socket to reach the running copy");
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    sockaddr_un address;
    const socklen_t size = abstractAddress(controlName(), address);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), size) != 0)
        return complain("no copy of Dazuviz Velmora is running for this user");
    // Anybody may take a name in the abstract namespace first; only the user's own copy counts.
    if (!peerIsThisUser(fd)) return complain("the running copy's socket belongs to another user");

    const QByteArray request = encode(command, remark);
    for (qsizetype done = 0; done < request.size();) {
        const ssize_t n =
            ::send(fd, request.constData() + done, request.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return complain("the running copy did not take the command");
        done += n;
    }
    QByteArray reply;
    while (!reply.endsWith('\n')) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, kAnswerTimeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char buffer[64];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        reply.append(buffer, n);
    }
    if (reply != "done\n") return complain("the running copy did not confirm the command");
    return 0;
}

ControlServer::ControlServer(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {}

ControlServer::~ControlServer() {
    if (listening_ >= 0) ::close(listening_);
}

bool ControlServer::listen(QString& reason) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address;
    const socklen_t size = abstractAddress(controlName(), address);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(fd, 8) != 0) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0) ::close(fd);
        return false;
    }
    listening_ = fd;
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ControlServer::onIncoming);
    return true;
}

void ControlServer::onIncoming() {
    for (;;) {
        const int fd = ::accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        // The name can be reached by every user of the computer: others are hung up on.
        if (!peerIsThisUser(fd)) {
            ::close(fd);
            continue;
        }
        auto* connection = new QLocalSocket(this);
        connection->setSocketDescriptor(fd);
        connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
        connect(connection, &QLocalSocket::readyRead, this,
                [this, connection] { onReadable(connection); });
    }
}

void ControlServer::onReadable(QLocalSocket* connection) {
    if (!connection->canReadLine()) {
        if (connection->bytesAvailable() > kLongestRequest) connection->abort();
        return;
    }
    QString remark;
    const ControlCommand command = decode(connection->readLine().chopped(1), remark);
    disconnect(connection, &QLocalSocket::readyRead, this, nullptr);
    if (command == ControlCommand::None) {
        connection->abort();
        return;
    }
    const bool ending = command == ControlCommand::Exit || command == ControlCommand::ExitOut;
    if (ending) waitingForEnd_.append(connection);
    handler_(command, remark);
    if (!ending) answer(connection);
}

void ControlServer::confirmEnd() {
    for (const QPointer<QLocalSocket>& connection : std::as_const(waitingForEnd_))
        if (connection) {
            answer(connection);
            // The answer must reach the script before the process ends.
            if (connection->state() != QLocalSocket::UnconnectedState)
                connection->waitForDisconnected(1000);
        }
    waitingForEnd_.clear();
}

} // namespace velmora
