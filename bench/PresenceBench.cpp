// Speed of the roster and presence paths that run per datagram or per timer tick, and of the
// settings file writes, with an office of 300 people.

#include "core/Core.h"
#include "core/net/Datagram.h"
#include "core/presence/Presence.h"
#include "core/presence/Roster.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace velmora;

namespace {

constexpr int kPeople = 300;

QByteArray address(int i) {
    return "10.7." + QByteArray::number(i / 250) + '.' + QByteArray::number(i % 250);
}
QByteArray name(int i) {
    return "Person " + QByteArray::number(i);
}

void fill(Roster& roster) {
    roster.seed("10.0.0.1", "Me", {});
    for (int i = 1; i < kPeople; ++i) {
        const QByteArray d = datagram::statusAnnouncement('y', name(i), "In a meeting");
        roster.applyStatusAnnouncement(d, address(i));
        roster.applyStatusAnnouncement(d, address(i)); // marked as seen
    }
}

void ApplyFoundByAddress(benchmark::State& state) {
    Roster roster;
    fill(roster);
    const QByteArray d = datagram::statusAnnouncement('g', name(kPeople - 1), "In");
    const QByteArray key = address(kPeople - 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(roster.applyStatusAnnouncement(d, key));
}
BENCHMARK(ApplyFoundByAddress);

void ApplyFoundByName(benchmark::State& state) {
    Roster roster;
    fill(roster);
    const QByteArray d = datagram::statusAnnouncement('g', name(kPeople - 1), "In");
    // Alternating between two unknown addresses makes every lookup fall through to the name.
    const QByteArray keys[2] = {"10.9.9.1", "10.9.9.2"};
    int k = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(roster.applyStatusAnnouncement(d, keys[k ^= 1]));
}
BENCHMARK(ApplyFoundByName);

void ApplyAppended(benchmark::State& state) {
    Roster roster;
    fill(roster);
    const QByteArray d = datagram::statusAnnouncement('g', "Newcomer", "In");
    for (auto _ : state) {
        state.PauseTiming();
        Roster fresh;
        fill(fresh);
        state.ResumeTiming();
        benchmark::DoNotOptimize(fresh.applyStatusAnnouncement(d, "10.9.9.9"));
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
                       [&](const QByteArray& d) { sentBytes += d.size(); }, [] {}});
    presence.refreshRequestArrived();
    for (auto _ : state)
        presence.relayStep();
    benchmark::DoNotOptimize(sentBytes);
}
BENCHMARK(RelayStep);

void SaveAllSettingsWithHistory(benchmark::State& state) {
    QTemporaryDir dir;
    CoreConfig config;
    config.settingsPath = dir.filePath(QStringLiteral("vlx.ini"));
    config.listenPort = 0;
    SystemClock clock;
    Core core(config, clock);
    core.startUp();
    for (int i = 1; i < kPeople; ++i)
        core.dispatchDatagram(datagram::statusAnnouncement('y', name(i), "On vacation"),
                              address(i));
    for (int i = 0; i < 1000; ++i)
        core.messages().append("Line one of message " + QByteArray::number(i) +
                               "\r\nand its second line\r\n - - - From Person 7 (10.7.0.7)");
    for (auto _ : state)
        core.saveAllSettings();
}
BENCHMARK(SaveAllSettingsWithHistory)->Unit(benchmark::kMillisecond);

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

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
