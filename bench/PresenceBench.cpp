// Speed of the roster and presence paths that run per datagram or per timer tick, and of the
// settings file writes, with an office of 300 people.

#include "core/presence/Roster.h"
#include "core/net/Datagram.h"
#include "core/presence/Presence.h"
#include "core/Core.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace velmora;

namespace {

constexpr int kPeople = 300;

QByteArray Address(int i) {
    return "10.7." + QByteArray::number(i / 250) + '.' + QByteArray::number(i % 250);
}
QByteArray Name(int i) {
    return "Person " + QByteArray::number(i);
}

void Fill(TRoster& roster) {
    roster.Seed("10.0.0.1", "Me", {});
    for (int i = 1; i < kPeople; ++i) {
        const QByteArray d = datagram::StatusAnnouncement('y', Name(i), "In a meeting");
        roster.ApplyStatusAnnouncement(d, Address(i));
        roster.ApplyStatusAnnouncement(d, Address(i)); // marked as seen
    }
}

void ApplyFoundByAddress(benchmark::State& state) {
    TRoster roster;
    Fill(roster);
    const QByteArray d = datagram::StatusAnnouncement('g', Name(kPeople - 1), "In");
    const QByteArray key = Address(kPeople - 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(roster.ApplyStatusAnnouncement(d, key));
}
BENCHMARK(ApplyFoundByAddress);

void ApplyFoundByName(benchmark::State& state) {
    TRoster roster;
    Fill(roster);
    const QByteArray d = datagram::StatusAnnouncement('g', Name(kPeople - 1), "In");
    // Alternating between two unknown addresses makes every lookup fall through to the name.
    const QByteArray keys[2] = {"10.9.9.1", "10.9.9.2"};
    int k = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(roster.ApplyStatusAnnouncement(d, keys[k ^= 1]));
}
BENCHMARK(ApplyFoundByName);

void ApplyAppended(benchmark::State& state) {
    TRoster roster;
    Fill(roster);
    const QByteArray d = datagram::StatusAnnouncement('g', "Newcomer", "In");
    for (auto _ : state) {
        state.PauseTiming();
        TRoster fresh;
        Fill(fresh);
        state.ResumeTiming();
        benchmark::DoNotOptimize(fresh.ApplyStatusAnnouncement(d, "10.9.9.9"));
    }
}
BENCHMARK(ApplyAppended)->Iterations(2000);

void RelayStep(benchmark::State& state) {
    TRoster roster;
    Fill(roster);
    TOwnStatus own;
    TOptions options;
    TSystemClock clock;
    qsizetype sentBytes = 0;
    TPresence presence({roster, own, options, clock, QLocale::c(),
                        [](const QByteArray&, const QByteArray&) {},
                        [&](const QByteArray& d) { sentBytes += d.size(); }, [] {}});
    presence.RefreshRequestArrived();
    for (auto _ : state)
        presence.RelayStep();
    benchmark::DoNotOptimize(sentBytes);
}
BENCHMARK(RelayStep);

void SaveAllSettingsWithHistory(benchmark::State& state) {
    QTemporaryDir dir;
    TCoreConfig config;
    config.settingsPath = dir.filePath(QStringLiteral("vlx.ini"));
    config.listenPort = 0;
    TSystemClock clock;
    TVelmoraCore core(config, clock);
    core.FormCreate();
    for (int i = 1; i < kPeople; ++i)
        core.DispatchDatagram(datagram::StatusAnnouncement('y', Name(i), "On vacation"),
                              Address(i));
    for (int i = 0; i < 1000; ++i)
        core.Messages().append("Line one of message " + QByteArray::number(i) +
                               "\r\nand its second line\r\n - - - From Person 7 (10.7.0.7)");
    for (auto _ : state)
        core.SaveAllSettings();
}
BENCHMARK(SaveAllSettingsWithHistory)->Unit(benchmark::kMillisecond);

void RestoreArchive(benchmark::State& state) {
    TProfile profile;
    for (int i = 0; i < 301; ++i)
        profile.WriteSetting("ipList", QByteArray::number(i),
                             Address(i + 1) + kSep + Name(i + 1) + kSep + "yOn vacation");
    profile.WriteSetting("ipList", "cnt", "301");
    for (auto _ : state) {
        TRoster roster;
        benchmark::DoNotOptimize(roster.Seed("10.0.0.1", "Me", ReadRosterArchive(profile)));
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
