// Speed of a message arriving at a copy that keeps a long history, and of saving that history.

#include "core/net/Datagram.h"
#include "core/Core.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace velmora;

namespace {

constexpr int kHistory = 1000;

QByteArray Entry(int i) {
    return "Line one of message " + QByteArray::number(i) +
           "\r\nand its second line\r\n - - - From Person 7 (10.7.0.7)\r\n at 9:05 AM on Mon \r\n ";
}

struct TMessageCopy {
    QTemporaryDir dir;
    TSystemClock clock;
    std::unique_ptr<TVelmoraCore> core;

    TMessageCopy() {
        TCoreConfig config;
        config.settingsPath = dir.filePath(QStringLiteral("vlx.ini"));
        config.listenPort = 0;
        config.ownAddress = "127.0.0.1";
        config.remoteIP = "127.0.0.1"; // receipts go to a closed port of this machine
        config.remotePort = 9;
        core = std::make_unique<TVelmoraCore>(config, clock);
        core->FormCreate();
        for (int i = 0; i < kHistory; ++i)
            core->Messages().append(Entry(i));
    }
};

// Acceptance, the entry at the front of the history and the receipt. Two different texts
// alternate so that none is dropped as a repeat; the history is trimmed back outside the
// timing so that every round meets 1,000 entries.
void MessageArrivedWithLongHistory(benchmark::State& state) {
    TMessageCopy copy;
    const QByteArray texts[2] = {
        datagram::MessageToAll("Lunch at noon?\r\n", datagram::MessageTrailer("Ann", "10.7.0.7")),
        datagram::MessageToAll("Or at one?\r\n", datagram::MessageTrailer("Ann", "10.7.0.7"))};
    int k = 0;
    for (auto _ : state) {
        copy.core->MessageArrived(texts[k ^= 1], "10.7.0.7");
        state.PauseTiming();
        copy.core->Messages().removeFirst();
        state.ResumeTiming();
    }
}
BENCHMARK(MessageArrivedWithLongHistory)->Unit(benchmark::kMicrosecond);

void SaveAllSettingsWithLongHistory(benchmark::State& state) {
    TMessageCopy copy;
    for (auto _ : state)
        copy.core->SaveAllSettings();
}
BENCHMARK(SaveAllSettingsWithLongHistory)->Unit(benchmark::kMillisecond);

} // namespace
