#include "app/RunningCopy.h"

#include <QDeadlineTimer>
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
// How long the running copy waits for a command's sender to read the answer.
constexpr int kAnswerWaitMs = 1000;

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

} // namespace

// One connection of the user's to the running copy: reads the command's line, then answers
// and closes.
class ControlConnection : public QObject {
public:
    using OnLine = std::function<void(ControlConnection* connection, const QByteArray& line)>;

    ControlConnection(int fd, OnLine onLine, QObject* parent)
        : QObject(parent), fd_(fd), notifier_(fd, QSocketNotifier::Read),
          onLine_(std::move(onLine)) {
        connect(&notifier_, &QSocketNotifier::activated, this, &ControlConnection::onReadable);
    }
    ~ControlConnection() override { closeNow(); }

    // The answer's text, then "done" on a line of its own; then the connection closes. The
    // sender reads while this writes, so even a long answer passes at once; a sender that
    // stops reading is given up on after a second rather than holding the window.
    void answer(const QString& text = {}) {
        const QByteArray bytes = text.toUtf8() + "done\n";
        const QDeadlineTimer deadline(kAnswerWaitMs);
        for (qsizetype done = 0; done < bytes.size() && !deadline.hasExpired();) {
            const ssize_t n =
                ::send(fd_, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
            if (n > 0) {
                done += n;
            } else if (n < 0 && errno == EAGAIN) {
                pollfd p{fd_, POLLOUT, 0};
                ::poll(&p, 1, int(deadline.remainingTime()));
            } else if (n == 0 || errno != EINTR) {
                break;
            }
        }
        drop();
    }
    void drop() {
        closeNow();
        deleteLater();
    }

private:
    void onReadable() {
        char buffer[4096];
        while (!received_.contains('\n') && received_.size() <= kLongestRequest) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) break;
            if (n <= 0) return drop(); // the sender has gone
            received_.append(buffer, n);
        }
        const qsizetype end = received_.indexOf('\n');
        if (end < 0) {
            if (received_.size() > kLongestRequest) drop();
            return;
        }
        notifier_.setEnabled(false); // one command per connection
        onLine_(this, received_.left(end));
    }
    void closeNow() {
        notifier_.setEnabled(false);
        if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    }

    int fd_;
    QSocketNotifier notifier_;
    OnLine onLine_;
    QByteArray received_;
};

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
        const int fd = ::accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        // A name in the abstract namespace can be reached by every user of the computer, and
        // a socket file is checked the same way: others are hung up on.
        if (peerUid(fd) != ::geteuid()) {
            ::close(fd);
            continue;
        }
        new ControlConnection(
            fd, [this](ControlConnection* c, const QByteArray& line) { onLine(c, line); }, this);
    }
}

void ControlServer::onLine(ControlConnection* connection, const QByteArray& line) {
    QString remark;
    const ControlCommand command = decode(line, remark);
    if (command == ControlCommand::None) return connection->drop();
    const bool ending = command == ControlCommand::Exit || command == ControlCommand::ExitOut;
    if (ending) waitingForEnd_.append(connection);
    const QString text = handler_(command, remark);
    if (!ending) connection->answer(text);
}

void ControlServer::confirmEnd() {
    // The confirmation is in the sender's socket before the process ends.
    for (const QPointer<ControlConnection>& connection : std::as_const(waitingForEnd_))
        if (connection) connection->answer();
    waitingForEnd_.clear();
}

} // namespace velmora
