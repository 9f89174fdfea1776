// Recording cost on the embedded engine with forced writes: one insert and
// one commit per call, as the sample handlers do it.
#include "bench/BenchStats.h"
#include "db/dmmainU.h"
#include "testsupport/TestDatabase.h"

#include <QTemporaryDir>

namespace {

void BM_AddSample(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/NUV.GDB";
    makeTestDatabase(path);
    TdmMain dm;
    dm.dbNUV.DatabaseName = path;
    dm.dbNUV.Open();
    const int run = dm.StartRun(1);
    CallTimes times;
    double v = 0;
    for (auto _ : state) {
        times.time([&] { dm.AddSample(run, 1, v += 0.37, 1.25); });
    }
    times.report(state);
}
BENCHMARK(BM_AddSample)->Iterations(10000)->Unit(benchmark::kMillisecond);

void BM_StartRun(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/NUV.GDB";
    makeTestDatabase(path);
    TdmMain dm;
    dm.dbNUV.DatabaseName = path;
    dm.dbNUV.Open();
    CallTimes times;
    for (auto _ : state) {
        times.time([&] { dm.StartRun(1); });
    }
    times.report(state);
}
BENCHMARK(BM_StartRun)->Iterations(2000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
