// Speed of what the status list costs, with an office of 300 people: one sort of the display
// order from scratch in each order (what switching orders costs; a roster change moves only
// its row, see PresenceBench), and one paint of the rows a large window shows.

#include "Office.h"
#include "core/Core.h"
#include "core/net/Datagram.h"
#include "core/presence/StatusSort.h"
#include "gui/board/StatusListView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace velmora;
using namespace velmora::bench;

namespace {

constexpr int kVisibleRows = 45; // a large window on an 800-pixel screen
constexpr int kRowWidth = 420;

void fill(Roster& roster) {
    using enum StatusCode;
    static const StatusCode codes[] = {In, Out, Busy, Remark, Idle, In, WhiteRemark, Blue, Aqua};
    static const char* const statuses[] = {"In", "Out to lunch", "Busy on the phone", "Meeting",
                                           "",   "In 9:05 AM"};
    roster.seed("10.0.0.1", "Me", {});
    for (int i = 1; i < kPeople; ++i) {
        roster.applyStatusAnnouncement(
            datagram::statusAnnouncement(codes[i % 9], name((i * 7919) % kPeople), statuses[i % 6]),
            address(i));
    }
}

// Sorts into one order, the other order set up beforehand, untimed, so that every sort starts
// afresh.
void sortAfresh(benchmark::State& state, bool byColour) {
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    Roster roster;
    fill(roster);
    for (auto _ : state) {
        state.PauseTiming();
        sortDisplayOrder(roster, !byColour, '!', locale);
        state.ResumeTiming();
        sortDisplayOrder(roster, byColour, '!', locale);
        benchmark::DoNotOptimize(roster.displayOrder().constData());
    }
}

void ColourSort300(benchmark::State& state) {
    sortAfresh(state, true);
}
BENCHMARK(ColourSort300)->Unit(benchmark::kMicrosecond);

void NameSort300(benchmark::State& state) {
    sortAfresh(state, false);
}
BENCHMARK(NameSort300)->Unit(benchmark::kMicrosecond);

void PaintVisibleRows(benchmark::State& state) {
    QTemporaryDir dir;
    const CoreConfig config = quietConfig(dir);
    const ManualClock clock(QDateTime(QDate(2026, 12, 7), QTime(9, 5)));
    Core core(config, clock);
    fill(core.roster());
    StatusListView list(core);
    core.colourSort();

    const int h = list.rowHeight();
    QImage image(kRowWidth, kVisibleRows * h, QImage::Format_RGB32);
    QPainter painter(&image);
    for (auto _ : state)
        for (int r = 0; r < kVisibleRows; ++r)
            list.drawRow(painter, r, QRect(0, r * h, kRowWidth, h));
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
