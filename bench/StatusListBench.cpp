// Speed of what every roster change costs the status list, with an office of 300 people: one
// sort of the display order in each order, and one paint of the rows a large window shows.

#include "gui/board/StatusListView.h"
#include "core/presence/StatusSort.h"
#include "core/net/Datagram.h"
#include "core/Core.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace velmora;

namespace {

constexpr int kPeople = 300;
constexpr int kVisibleRows = 45; // a large window on an 800-pixel screen
constexpr int kRowWidth = 420;

void Fill(TRoster& roster) {
    static const char codes[] = "grfysgwbz";
    static const char* const statuses[] = {"In", "Out to lunch", "Busy on the phone", "Meeting",
                                           "",   "In 9:05 AM"};
    roster.Seed("10.0.0.1", "Me", {});
    for (int i = 1; i < kPeople; ++i) {
        const QByteArray name = "Person " + QByteArray::number((i * 7919) % kPeople);
        const QByteArray address =
            "10.7." + QByteArray::number(i / 250) + '.' + QByteArray::number(i % 250);
        roster.ApplyStatusAnnouncement(
            datagram::StatusAnnouncement(codes[i % 9], name, statuses[i % 6]), address);
    }
}

void ColourSort300(benchmark::State& state) {
    TRoster roster;
    Fill(roster);
    for (auto _ : state) {
        SortDisplayOrder(roster, true, ' ');
        benchmark::DoNotOptimize(roster.DisplayOrder().constData());
    }
}
BENCHMARK(ColourSort300)->Unit(benchmark::kMicrosecond);

void NameSort300(benchmark::State& state) {
    TRoster roster;
    Fill(roster);
    for (auto _ : state) {
        SortDisplayOrder(roster, false, '!');
        benchmark::DoNotOptimize(roster.DisplayOrder().constData());
    }
}
BENCHMARK(NameSort300)->Unit(benchmark::kMicrosecond);

void PaintVisibleRows(benchmark::State& state) {
    QTemporaryDir dir;
    TCoreConfig config;
    config.settingsPath = dir.filePath(QStringLiteral("vlx.ini"));
    config.listenPort = 0;
    config.remoteIP = "127.0.0.1";
    config.remotePort = 9;
    const TManualClock clock(QDateTime(QDate(2026, 12, 7), QTime(9, 5)));
    TVelmoraCore core(config, clock);
    Fill(core.Roster());
    TStatusList list(core);
    core.ColourSort();

    const int h = list.RowHeight();
    QImage image(kRowWidth, kVisibleRows * h, QImage::Format_RGB32);
    QPainter painter(&image);
    for (auto _ : state)
        for (int r = 0; r < kVisibleRows; ++r)
            list.ListBox1DrawItem(painter, r, QRect(0, r * h, kRowWidth, h));
    state.counters["rows"] = kVisibleRows;
}
BENCHMARK(PaintVisibleRows)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // Painting needs a GUI application; the offscreen platform needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
