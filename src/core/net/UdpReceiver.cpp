#include "core/net/UdpReceiver.h"

#include "core/net/SocketSupport.h"

#include <QMetaObject>
#include <QtGlobal>

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace velmora {

// ---------------------------------------------------------------------------------------------
// UdpReceiverThread

// Receives on the owner's socket until the owner deactivates it. Lives only while the owner
// is active; the owner starts it, asks it to stop and waits for it.
class UdpReceiverThread {
public:
    UdpReceiverThread(UdpReceiver* owner, int socket, int bufferSize);
    ~UdpReceiverThread();
    void start();
    // Asks the thread to stop, wakes its wait and any pending hand-off, and joins it. Safe to
    // call from inside the datagram handler: the batch being handled stays alive until the
    // handler returns, and the rest of it is not handed on.
    void stopAndWait();

private:
    struct Shared;
    void run();

    UdpReceiver* owner_;
    int socket_;
    int bufferSize_;
    int wakeFd_ = -1;
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<std::thread> thread_;
};

namespace {

// The thread drains what the socket holds, up to this many datagrams or about this many bytes,
// and hands them over in one call: a flood then costs one wake-up of the main thread and one
// wait per batch instead of one per datagram.
constexpr std::size_t kBatchDatagrams = 64;
constexpr std::size_t kBatchBytes = 256 * 1024;

// One datagram of a batch: where its bytes lie in the batch's byte store, and its source.
struct BatchItem {
    std::size_t offset;
    int count;
    QByteArray address;
    quint16 port;
};

} // namespace

// What the thread shares with the hand-offs it has queued to the main thread. A queued call
// keeps it alive, so the batch it hands over stays valid even when the receiver is deactivated
// (and the thread ends) from inside the datagram handler.
struct UdpReceiverThread::Shared {
    std::mutex mutex;
    std::condition_variable handedOff;
    bool stop = false;            // asked to stop; queued hand-offs are cancelled
    bool handled = false;         // the pending hand-off has finished
    std::vector<char> buffer;     // what recvfrom() fills
    std::vector<char> bytes;      // the batch's datagrams, back to back
    std::vector<BatchItem> batch; // in arrival order
};

UdpReceiverThread::UdpReceiverThread(UdpReceiver* owner, int socket, int bufferSize)
    : owner_(owner), socket_(socket), bufferSize_(bufferSize), shared_(std::make_shared<Shared>()) {
    // close() does not wake a recvfrom() blocked on the same socket, so the thread also
    // waits on this descriptor.
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) throw socketError(errno);
}

UdpReceiverThread::~UdpReceiverThread() {
    stopAndWait();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void UdpReceiverThread::start() {
    thread_ = std::make_unique<std::thread>(&UdpReceiverThread::run, this);
}

void UdpReceiverThread::stopAndWait() {
    {
        std::lock_guard guard(shared_->mutex);
        shared_->stop = true;
    }
    shared_->handedOff.notify_all();
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
    if (thread_ && thread_->joinable()) thread_->join();
    thread_.reset();
}

void UdpReceiverThread::run() {
    Shared& shared = *shared_;
    shared.buffer.resize(size_t(bufferSize_));
    shared.batch.reserve(kBatchDatagrams);
    in_addr lastSource{};
    QByteArray lastAddress; // consecutive datagrams from one sender share their address text

    for (;;) {
        {
            std::lock_guard guard(shared.mutex);
            if (shared.stop) break;
        }
        pollfd waits[2] = {{socket_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (waits[1].revents != 0 || (waits[0].revents & POLLNVAL)) break;
        if (waits[0].revents == 0) continue;

        // Nothing else touches the batch now: the previous hand-off has been handled.
        shared.batch.clear();
        shared.bytes.clear();
        while (shared.batch.size() < kBatchDatagrams && shared.bytes.size() < kBatchBytes) {
            sockaddr_in source{};
            socklen_t sourceLength = sizeof source;
            // MSG_TRUNC reports the datagram's real length, so one longer than the buffer is
            // seen and dropped instead of being handed on cut short.
            const ssize_t count = ::recvfrom(socket_, shared.buffer.data(), shared.buffer.size(),
                                             MSG_TRUNC | MSG_DONTWAIT,
                                             reinterpret_cast<sockaddr*>(&source), &sourceLength);
            if (count < 0) break; // drained (or failing: back to the wait)
            if (count == 0 || count > bufferSize_) continue;

            if (lastAddress.isNull() || source.sin_addr.s_addr != lastSource.s_addr) {
                lastSource = source.sin_addr;
                lastAddress = dottedText(source.sin_addr);
            }
            shared.batch.push_back(
                {shared.bytes.size(), int(count), lastAddress, ntohs(source.sin_port)});
            shared.bytes.insert(shared.bytes.end(), shared.buffer.data(),
                                shared.buffer.data() + count);
        }
        if (shared.batch.empty()) continue;

        {
            std::lock_guard guard(shared.mutex);
            if (shared.stop) break;
            shared.handled = false;
        }
        UdpReceiver* owner = owner_;
        // The receiver is the context: if it is destroyed first, the call is discarded.
        QMetaObject::invokeMethod(
            owner,
            [owner, keep = shared_] {
                for (const BatchItem& item : keep->batch) {
                    {
                        // Deactivated since it was queued, or by the handler of an earlier
                        // datagram of this batch (which may also have destroyed the receiver).
                        std::lock_guard guard(keep->mutex);
                        if (keep->stop) return;
                    }
                    try {
                        owner->dataArrived(keep->bytes.data() + item.offset, item.count,
                                           item.address, item.port);
                    } catch (const std::exception& error) {
                        // An exception must not unwind through the event loop.
                        qWarning("Unhandled error in the datagram handler: %s", error.what());
                    } catch (...) {
                        qWarning("Unhandled error in the datagram handler");
                    }
                }
                {
                    std::lock_guard guard(keep->mutex);
                    keep->handled = true;
                }
                keep->handedOff.notify_all();
            },
            Qt::QueuedConnection);

        // One batch at a time: later datagrams wait in the socket's queue until this batch has
        // been handled, which also keeps its bytes untouched while the handler reads them.
        std::unique_lock guard(shared.mutex);
        shared.handedOff.wait(guard, [&shared] { return shared.handled || shared.stop; });
    }
}

// ---------------------------------------------------------------------------------------------
// UdpReceiver

UdpReceiver::UdpReceiver(QObject* owner) : QObject(owner) {}

UdpReceiver::~UdpReceiver() {
    deactivate();
}

void UdpReceiver::setActive(bool active) {
    if (active == active_) return;
    if (active)
        activate();
    else
        deactivate();
}

void UdpReceiver::setPort(quint16 port) {
    if (port == port_) return;
    const bool wasActive = active_;
    deactivate();
    port_ = port;
    if (wasActive) activate();
}

void UdpReceiver::setBufferSize(int size) {
    if (size == bufferSize_) return;
    if (size < 1024 || size > 65000) throw failure("Size value is out of boundary!");
    bufferSize_ = size;
}

quint16 UdpReceiver::boundPort() const {
    if (!active_ || socket_ < 0) return 0;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
    return ntohs(local.sin_port);
}

void UdpReceiver::dataArrived(const char* bytes, int count, const QByteArray& address,
                              quint16 port) {
    if (datagramHandler_) datagramHandler_(this, bytes, count, address, port);
}

void UdpReceiver::activate() {
    if (active_) throw failure("UDP Socket already connected");

    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) throw socketError(errno);
    // No SO_REUSEADDR: a second copy on the same computer must fail to bind the port.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port_);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int error = errno;
        ::close(s);
        throw socketError(error);
    }

    try {
        auto thread = std::make_unique<UdpReceiverThread>(this, s, bufferSize_);
        thread->start();
        thread_ = std::move(thread);
    } catch (...) {
        ::close(s);
        throw;
    }
    socket_ = s;
    active_ = true;
}

void UdpReceiver::deactivate() {
    active_ = false;
    // The thread ends before the socket is closed, so it never waits on a descriptor number
    // that the system may already have handed to someone else.
    if (thread_) {
        thread_->stopAndWait();
        thread_.reset();
    }
    if (socket_ >= 0) {
        const int old = socket_;
        socket_ = -1;
        ::close(old);
    }
}

} // namespace velmora
