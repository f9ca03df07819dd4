// Speed of a message arriving at a copy that keeps a long history, and of saving that history.

#include "Office.h"
#include "core/Core.h"
#include "core/net/Datagram.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace velmora;

namespace {

constexpr int kHistory = 1000;

QByteArray entry(int i) {
    return "Line one of message " + QByteArray::number(i) +
           "\r\nand its second line\r\n - - - From Person 7 (10.7.0.7)\r\n at 9:05 AM on Mon \r\n ";
}

struct MessageCopy {
    QTemporaryDir dir;
    SystemClock clock;
    std::unique_ptr<Core> core;

    MessageCopy() {
        CoreConfig config = bench::quietConfig(dir); // receipts go to a closed port here
        config.ownAddress = "127.0.0.1";
        core = std::make_unique<Core>(config, clock);
        core->startUp();
        QList<QByteArray> history;
        for (int i = 0; i < kHistory; ++i)
            history.append(entry(i));
        core->history().load(history);
    }
};

// Acceptance, the entry at the front of the history and the receipt. Two different texts
// alternate so that none is dropped as a repeat; the history is trimmed back outside the
// timing so that every round meets 1,000 entries.
void MessageArrivedWithLongHistory(benchmark::State& state) {
    MessageCopy copy;
    const QByteArray texts[2] = {
        datagram::messageToAll("Lunch at noon?\r\n", datagram::messageTrailer("Ann", "10.7.0.7")),
        datagram::messageToAll("Or at one?\r\n", datagram::messageTrailer("Ann", "10.7.0.7"))};
    int k = 0;
    for (auto _ : state) {
        copy.core->messageArrived(texts[k ^= 1], "10.7.0.7");
        state.PauseTiming();
        copy.core->history().erase(); // the entry just accepted, shown at the front
        state.ResumeTiming();
    }
}
BENCHMARK(MessageArrivedWithLongHistory)->Unit(benchmark::kMicrosecond);

void SaveAllSettingsWithLongHistory(benchmark::State& state) {
    MessageCopy copy;
    for (auto _ : state)
        copy.core->saveAllSettings();
}
BENCHMARK(SaveAllSettingsWithLongHistory)->Unit(benchmark::kMillisecond);

} // namespace
