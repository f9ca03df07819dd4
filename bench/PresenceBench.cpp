// Speed of the roster and presence paths that run per datagram or per timer tick, and of the
// roster's restore from the settings file, with an office of 300 people; the per-datagram paths
// also with 5,000 (the roster keeps 4,096 of them). The save itself is in SettingsBench. Target:
// one status update, roster and display order together, within 20 microseconds at 5,000 people.

#include "Office.h"
#include "core/Core.h"
#include "core/net/Datagram.h"
#include "core/presence/Presence.h"
#include "core/presence/Roster.h"
#include "core/presence/StatusSort.h"

#include <memory>
#include <vector>

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace velmora;
using namespace velmora::bench;

namespace {

void fill(Roster& roster, int people = kPeople) {
    roster.seed("10.0.0.1", "Me", {});
    for (int i = 1; i < people; ++i) {
        const QByteArray d =
            datagram::statusAnnouncement(StatusCode::Remark, name(i), "In a meeting");
        roster.applyStatusAnnouncement(d, address(i));
        roster.applyStatusAnnouncement(d, address(i)); // marked as seen
    }
}

// The last person the roster holds, of `people`.
int lastKept(int people) {
    return std::min(people, int(Roster::kMaxEntries)) - 1;
}

void ApplyFoundByAddress(benchmark::State& state) {
    const int people = int(state.range(0));
    Roster roster;
    fill(roster, people);
    const QByteArray d = datagram::statusAnnouncement(StatusCode::In, name(lastKept(people)), "In");
    const QByteArray key = address(lastKept(people));
    for (auto _ : state)
        benchmark::DoNotOptimize(roster.applyStatusAnnouncement(d, key));
}
BENCHMARK(ApplyFoundByAddress)->Arg(300)->Arg(5000);

void ApplyFoundByName(benchmark::State& state) {
    const int people = int(state.range(0));
    Roster roster;
    fill(roster, people);
    const QByteArray d = datagram::statusAnnouncement(StatusCode::In, name(lastKept(people)), "In");
    // Alternating between two unknown addresses makes every lookup fall through to the name.
    const QByteArray keys[2] = {"10.9.9.1", "10.9.9.2"};
    int k = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(roster.applyStatusAnnouncement(d, keys[k ^= 1]));
}
BENCHMARK(ApplyFoundByName)->Arg(300)->Arg(5000);

// One status update as a received announcement costs it: the roster entry and the display
// order. Every round another person (spread over the list) changes between "In" and "In a
// meeting", so that the row changes class in the colour sort and status in the name sort.
void updateAndSort(benchmark::State& state, bool byColour) {
    const int people = int(state.range(0));
    const int kept = lastKept(people) + 1;
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    Roster roster;
    fill(roster, people);
    sortDisplayOrder(roster, byColour, '!', locale);
    std::vector<char> in(std::size_t(kept), 0);
    int round = 0;
    for (auto _ : state) {
        const int i = 1 + int((qint64(round++) * 7919) % (kept - 1));
        const bool nowIn = (in[std::size_t(i)] ^= 1) != 0;
        roster.applyStatusAnnouncement(
            nowIn ? datagram::statusAnnouncement(StatusCode::In, name(i), "In")
                  : datagram::statusAnnouncement(StatusCode::Remark, name(i), "In a meeting"),
            address(i));
        sortDisplayOrder(roster, byColour, '!', locale);
    }
    benchmark::DoNotOptimize(roster.displayOrder().constData());
}

void UpdateInColourOrder(benchmark::State& state) {
    updateAndSort(state, true);
}
BENCHMARK(UpdateInColourOrder)->Arg(300)->Arg(5000)->Unit(benchmark::kMicrosecond);

void UpdateInNameOrder(benchmark::State& state) {
    updateAndSort(state, false);
}
BENCHMARK(UpdateInNameOrder)->Arg(300)->Arg(5000)->Unit(benchmark::kMicrosecond);

// The whole way of a received status announcement through the core, signals included.
void DispatchStatusAnnouncement(benchmark::State& state) {
    const int people = int(state.range(0));
    const int kept = lastKept(people) + 1;
    QTemporaryDir dir;
    CoreConfig config = quietConfig(dir);
    config.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    SystemClock clock;
    Core core(config, clock);
    core.startUp();
    for (int i = 1; i < people; ++i)
        core.dispatchDatagram(
            datagram::statusAnnouncement(StatusCode::Remark, name(i), "In a meeting"), address(i));
    std::vector<char> in(std::size_t(kept), 0);
    int round = 0;
    for (auto _ : state) {
        const int i = 1 + int((qint64(round++) * 7919) % (kept - 1));
        const bool nowIn = (in[std::size_t(i)] ^= 1) != 0;
        core.dispatchDatagram(
            nowIn ? datagram::statusAnnouncement(StatusCode::In, name(i), "In")
                  : datagram::statusAnnouncement(StatusCode::Remark, name(i), "In a meeting"),
            address(i));
    }
}
BENCHMARK(DispatchStatusAnnouncement)->Arg(300)->Arg(5000)->Unit(benchmark::kMicrosecond);

void ApplyAppended(benchmark::State& state) {
    const QByteArray d = datagram::statusAnnouncement(StatusCode::In, "Newcomer", "In");
    std::unique_ptr<Roster> fresh;
    for (auto _ : state) {
        // The previous roster goes, and the next one fills, outside the timing.
        state.PauseTiming();
        fresh = std::make_unique<Roster>();
        fill(*fresh);
        state.ResumeTiming();
        benchmark::DoNotOptimize(fresh->applyStatusAnnouncement(d, "10.9.9.9"));
    }
}
BENCHMARK(ApplyAppended)->Iterations(2000);

void RelayStep(benchmark::State& state) {
    Roster roster;
    fill(roster);
    OwnStatus own;
    Options options;
    SystemClock clock;
    qsizetype sentBytes = 0;
    Presence presence({roster, own, options, clock, QLocale::c(),
                       [](const QByteArray&, const QByteArray&) {},
                       [&](const QByteArray& d) {
                           sentBytes += d.size();
                           return SendResult{};
                       },
                       [] {}});
    presence.refreshRequestArrived();
    for (auto _ : state)
        presence.relayStep();
    benchmark::DoNotOptimize(sentBytes);
}
BENCHMARK(RelayStep);

void RestoreArchive(benchmark::State& state) {
    Profile profile;
    for (int i = 0; i < 301; ++i)
        profile.writeSetting("ipList", QByteArray::number(i),
                             address(i + 1) + kSep + name(i + 1) + kSep + "yOn vacation");
    profile.writeSetting("ipList", "cnt", "301");
    for (auto _ : state) {
        Roster roster;
        benchmark::DoNotOptimize(roster.seed("10.0.0.1", "Me", readRosterArchive(profile)));
    }
}
BENCHMARK(RestoreArchive)->Unit(benchmark::kMicrosecond);

} // namespace
