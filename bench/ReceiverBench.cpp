// How many datagrams the receiver hands to the main thread per second when a flood of junk
// arrives, on loopback, with the whole process on one processor: the receiving thread, the
// main thread that handles them and the sender share it, as on a busy single-core machine.
// Target: at least 20,000 per second.

#include "core/net/UdpReceiver.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace velmora;

namespace {

// Runs the calling thread, and the threads it starts, on the processor it is on now; restores
// the old set on destruction.
class OneProcessor {
public:
    OneProcessor() {
        sched_getaffinity(0, sizeof old_, &old_);
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        sched_setaffinity(0, sizeof one, &one);
    }
    ~OneProcessor() { sched_setaffinity(0, sizeof old_, &old_); }

private:
    cpu_set_t old_;
};

void ReceiveJunk(benchmark::State& state) {
    // Bursts stay well below what the socket's receive queue holds, so nothing is dropped and
    // every datagram sent is one handled.
    const int burst = int(state.range(0));
    OneProcessor pinned;
    UdpReceiver receiver;
    qint64 handled = 0;
    receiver.setDatagramHandler(
        [&handled](UdpReceiver*, const char*, int, const QByteArray&, quint16) { ++handled; });
    receiver.setActive(true);

    const int sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(receiver.boundPort());
    const QByteArray junk(48, 'J');
    // Wakes the main thread's wait now and then, so that a lost datagram ends the run instead
    // of hanging it.
    QTimer tick;
    tick.start(100);

    qint64 sent = 0;
    for (auto _ : state) {
        for (int i = 0; i < burst; ++i)
            if (::sendto(sender, junk.constData(), std::size_t(junk.size()), 0,
                         reinterpret_cast<const sockaddr*>(&to), sizeof to) > 0)
                ++sent;
        const QDeadlineTimer deadline(5000);
        while (handled < sent && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (handled < sent) {
            state.SkipWithError("datagrams were lost");
            break;
        }
    }
    ::close(sender);
    receiver.setActive(false);
    state.SetItemsProcessed(handled);
}
BENCHMARK(ReceiveJunk)->Arg(1)->Arg(64)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
