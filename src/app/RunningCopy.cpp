#include "app/RunningCopy.h"

#include <QLocalSocket>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace velmora {

namespace {

constexpr int kAnswerTimeoutMs = 20000;
constexpr qint64 kLongestRequest = 1 << 20;
constexpr qsizetype kLongestAnswer = 1 << 20;

struct Closer {
    int fd;
    ~Closer() {
        if (fd >= 0) ::close(fd);
    }
};

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

socklen_t abstractAddress(const QByteArray& name, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    const auto size = std::min<size_t>(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.constData(), size);
    return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size);
}

// Where this user's copy takes commands, or why there is no safe place for that.
struct ControlAddress {
    sockaddr_un address{};
    socklen_t size = 0;
    QByteArray file; // the socket file; empty for a name in the abstract namespace
    QString shown;   // the file or the name, for messages
    QString problem; // not empty: the runtime folder cannot be trusted with the socket
};

// The socket file lives in the user's runtime folder, which the folder's mode keeps every
// other user out of: nobody else can take its place or connect to it. A folder that is not the
// user's own with mode 0700 is refused, since others could then do both. Only where there is
// no runtime folder at all does the socket take a name in the abstract namespace, which any
// user could take first; the user id in the name and the peer checks keep users apart there.
ControlAddress controlAddress() {
    ControlAddress a;
    const QByteArray folder = qgetenv("XDG_RUNTIME_DIR");
    struct stat st {};
    // A relative path is no runtime folder: it would depend on the current folder.
    const bool absolute = folder.startsWith('/');
    const bool examined = absolute && ::lstat(folder.constData(), &st) == 0;
    const int error = errno;
    if (!absolute || (!examined && error == ENOENT)) {
        const QByteArray name = "dazuviz-velmora-control-" + QByteArray::number(::geteuid());
        a.size = abstractAddress(name, a.address);
        a.shown = QStringLiteral("the name %1").arg(QString::fromLatin1(name));
        return a;
    }
    const QString shownFolder = QString::fromLocal8Bit(folder);
    if (!examined) {
        a.problem = QStringLiteral("the runtime folder %1 cannot be examined (%2)")
                        .arg(shownFolder, errnoText(error));
        return a;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 0777) != 0700) {
        a.problem =
            QStringLiteral("the runtime folder %1 (XDG_RUNTIME_DIR) is not a folder of this "
                           "user's own with mode 0700")
                .arg(shownFolder);
        return a;
    }
    a.file = folder + "/dazuviz-velmora-control";
    a.shown = QStringLiteral("the socket file %1").arg(QString::fromLocal8Bit(a.file));
    if (a.file.size() >= qsizetype(sizeof a.address.sun_path)) {
        a.problem = QStringLiteral("the path of the socket file %1 is too long")
                        .arg(QString::fromLocal8Bit(a.file));
        return a;
    }
    a.address.sun_family = AF_UNIX;
    std::memcpy(a.address.sun_path, a.file.constData(), a.file.size());
    a.size = socklen_t(offsetof(sockaddr_un, sun_path) + a.file.size() + 1);
    return a;
}

std::optional<uid_t> peerUid(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return std::nullopt;
    return peer.uid;
}

// The user id of the process that listens at `address`, learnt by connecting without waiting
// (the kernel keeps the listener's credentials); nothing when no stream socket listens there.
std::optional<uid_t> listenerUid(const sockaddr_un& address, socklen_t size) {
    const Closer fd{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)};
    if (fd.fd < 0 || ::connect(fd.fd, reinterpret_cast<const sockaddr*>(&address), size) != 0)
        return std::nullopt;
    return peerUid(fd.fd);
}

// A socket file that nobody listens on any more: a copy that crashed left it behind.
bool staleSocketFile(const ControlAddress& a) {
    struct stat st {};
    if (::lstat(a.file.constData(), &st) != 0 || !S_ISSOCK(st.st_mode)) return false;
    const Closer fd{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)};
    return fd.fd >= 0 &&
           ::connect(fd.fd, reinterpret_cast<const sockaddr*>(&a.address), a.size) != 0 &&
           errno == ECONNREFUSED;
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
    {ControlCommand::ExitOut, "exit-out"}, {ControlCommand::Diagnose, "diagnose"},
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

int complain(const QString& text) {
    std::fprintf(stderr, "velmora: %s\n", text.toLocal8Bit().constData());
    return 1;
}

// The answer's text, then "done" on a line of its own.
void answer(QLocalSocket* connection, const QString& text = {}) {
    connection->write(text.toUtf8() + "done\n");
    connection->flush();
    connection->disconnectFromServer();
}

} // namespace

QString holderOf(std::optional<uid_t> uid) {
    if (!uid) return QStringLiteral("another program");
    if (*uid == ::geteuid()) return QStringLiteral("another program of this user");
    const QString id = QString::number(*uid);
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(*uid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QStringLiteral("another user's program (%1, user id %2)")
            .arg(QString::fromLocal8Bit(found->pw_name), id);
    return QStringLiteral("another user's program (user id %1)").arg(id);
}

PortHolderName::PortHolderName(QObject* parent) : QObject(parent) {
    sockaddr_un address;
    const socklen_t size = abstractAddress("dazuviz-velmora-55555", address);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::listen(fd, 8) == 0) {
        fd_ = fd;
        notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &PortHolderName::onAsked);
        return;
    }
    if (fd >= 0) ::close(fd);
    holder_ = listenerUid(address, size);
}

PortHolderName::~PortHolderName() {
    delete notifier_;
    if (fd_ >= 0) ::close(fd_);
}

void PortHolderName::onAsked() {
    // The connection itself told the asker whose copy this is.
    for (int fd; (fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;)
        ::close(fd);
}

int sendToRunningCopy(ControlCommand command, const QString& remark, QByteArray* answer) {
    const ControlAddress a = controlAddress();
    if (!a.problem.isEmpty())
        return complain(QStringLiteral("cannot reach the running copy: ") + a.problem);
    const Closer closer{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    const int fd = closer.fd;
    if (fd < 0) return complain(QStringLiteral("cannot make a socket to reach the running copy"));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&a.address), a.size) != 0)
        return complain(QStringLiteral("no copy of Dazuviz Velmora is running for this user"));
    // Anybody may take a name in the abstract namespace first; only the user's own copy counts.
    if (const std::optional<uid_t> uid = peerUid(fd); uid != ::geteuid())
        return complain(QStringLiteral("no copy of this user answers: %1 holds %2")
                            .arg(holderOf(uid), a.shown));

    const QByteArray request = encode(command, remark);
    for (qsizetype done = 0; done < request.size();) {
        const ssize_t n =
            ::send(fd, request.constData() + done, request.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return complain(QStringLiteral("the running copy did not take the command"));
        done += n;
    }
    QByteArray reply;
    const auto confirmed = [&reply] { return reply == "done\n" || reply.endsWith("\ndone\n"); };
    while (!confirmed() && reply.size() < kLongestAnswer) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, kAnswerTimeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        reply.append(buffer, n);
    }
    if (!confirmed())
        return complain(QStringLiteral("the running copy did not confirm the command"));
    if (answer) *answer = reply.chopped(5);
    return 0;
}

ControlServer::ControlServer(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {}

ControlServer::~ControlServer() {
    // A later copy may have replaced the file already; only this copy's own goes.
    struct stat st {};
    if (!socketFile_.isEmpty() && ::lstat(socketFile_.constData(), &st) == 0 &&
        st.st_dev == fileDevice_ && st.st_ino == fileInode_)
        ::unlink(socketFile_.constData());
    if (listening_ >= 0) ::close(listening_);
}

bool ControlServer::listen(QString& reason) {
    const ControlAddress a = controlAddress();
    if (!a.problem.isEmpty()) {
        reason = a.problem;
        return false;
    }
    Closer fd{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)};
    const auto bindTo = [&a, &fd] {
        return ::bind(fd.fd, reinterpret_cast<const sockaddr*>(&a.address), a.size) == 0;
    };
    if (fd.fd < 0) {
        reason = errnoText(errno);
        return false;
    }
    bool bound = bindTo();
    // A file left by a crashed copy is replaced; one that a live program listens on is not.
    if (!bound && errno == EADDRINUSE && !a.file.isEmpty() && staleSocketFile(a)) {
        ::unlink(a.file.constData());
        bound = bindTo();
    }
    if (!bound) {
        const int error = errno;
        reason = error == EADDRINUSE ? QStringLiteral("%1 holds %2")
                                           .arg(holderOf(listenerUid(a.address, a.size)), a.shown)
                                     : errnoText(error);
        return false;
    }
    struct stat st {};
    if (!a.file.isEmpty() && ::lstat(a.file.constData(), &st) == 0) {
        socketFile_ = a.file;
        fileDevice_ = st.st_dev;
        fileInode_ = st.st_ino;
    }
    if (::listen(fd.fd, 8) != 0) {
        reason = errnoText(errno);
        return false;
    }
    listening_ = std::exchange(fd.fd, -1);
    notifier_ = new QSocketNotifier(listening_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ControlServer::onIncoming);
    return true;
}

void ControlServer::onIncoming() {
    for (;;) {
        const int fd = ::accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        // A name in the abstract namespace can be reached by every user of the computer, and
        // a socket file is checked the same way: others are hung up on.
        if (peerUid(fd) != ::geteuid()) {
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
    const QString text = handler_(command, remark);
    if (!ending) answer(connection, text);
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
