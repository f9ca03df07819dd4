// The entry of the core benchmarks: Qt's event loop objects (timers, sockets) need an
// application object, which the benchmarks' own main would otherwise each create.

#include <QCoreApplication>
#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
