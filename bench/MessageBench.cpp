// Speed of a message arriving at a copy that keeps a long history, of saving that history, and
// of finding a message in a full one.

#include "Office.h"
#include "core/Core.h"
#include "core/messaging/MessageSearch.h"
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

// A full history of 5,000 messages from the office's people, the given number of bytes each
// (250 is a usual message; 1,600 fills the history's 8 MiB), a few words with accents among
// them.
QList<QByteArray> fullHistory(int bytes) {
    const QByteArray words[] = {"meeting ", "caf\xE9 ", "report ",       "Z\xFCrich ", "lunch ",
                                "figures ", "travel ",  "Fran\xE7oise ", "room ",      "plans "};
    QList<QByteArray> entries;
    for (int i = 0; i < MessageHistory::kLimit; ++i) {
        QByteArray text;
        for (unsigned w = unsigned(i); text.size() < bytes - 70; w = w * 7 + 3)
            text += words[w % 10] + (text.size() % 60 < 8 ? "\r\n" : "");
        entries.append(text + "\r\n - - - From " + bench::name(i % bench::kPeople) + " (" +
                       bench::address(i % bench::kPeople) + ")\r\n at 2:30 PM on Tue \r\n ");
    }
    return entries;
}

// What a word typed into the find box costs: the texts were folded as the box took the focus.
void FindInFullHistory(benchmark::State& state) {
    const QList<QByteArray> entries = fullHistory(int(state.range(0)));
    MessageSearch search;
    search.prepare(entries);
    qsizetype hits = 0;
    for (auto _ : state)
        hits = search.find(entries, QStringLiteral("CAFE person 12")).size();
    state.counters["hits"] = double(hits);
}
BENCHMARK(FindInFullHistory)->Arg(250)->Arg(1600)->Unit(benchmark::kMillisecond);

// The find box taking the focus, which folds every message, and the first search after it.
void FirstFindInFullHistory(benchmark::State& state) {
    const QList<QByteArray> entries = fullHistory(int(state.range(0)));
    for (auto _ : state) {
        MessageSearch search;
        search.prepare(entries);
        benchmark::DoNotOptimize(search.find(entries, QStringLiteral("zurich francoise")));
    }
}
BENCHMARK(FirstFindInFullHistory)->Arg(250)->Arg(1600)->Unit(benchmark::kMillisecond);

} // namespace
