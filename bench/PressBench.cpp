// The press handler as it runs for every poll: settings file read, conversion,
// readouts, chart, insert and commit, with a real settings file and a real
// embedded database. And the live chart's memory over a simulated day.
#include "acquisition/THoldingRecorder.h"
#include "app/TfrmMain.h"
#include "bench/BenchStats.h"
#include "db/dmmainU.h"
#include "testsupport/TestDatabase.h"

#include <QApplication>
#include <QFile>
#include <QLineSeries>
#include <QTemporaryDir>

#include <fstream>
#include <unistd.h>

namespace {

struct SteppingClock : TClock {
    QDateTime t{QDate(2026, 12, 9), QTime(6, 0, 0)};
    QDateTime now() const override { return t; }
};

double residentMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// range(0): MiB of other settings written before [dev], as a laboratory's
// file that grew with window state over the years.
void BM_ProcessPressSample(benchmark::State& state) {
    QTemporaryDir dir;
    const AppPaths paths = AppPaths::in(dir.path());
    makeTestDatabase(paths.database());
    QFile ini(paths.settings());
    ini.open(QIODevice::WriteOnly);
    ini.write("[frmStorage]\r\nlblCom_Caption=0\r\n");
    const QByteArray padding = "[other]\r\n" + QByteArray(1000, 'x') + "=1\r\n";
    for (qint64 written = 0; written < state.range(0) * 1024 * 1024; written += padding.size())
        ini.write(padding);
    ini.write("\r\n[dev]\r\nupp=52.2\r\ndownn=26.2\r\nmaxstart=5.2\r\n");
    ini.close();
    SteppingClock clock;
    TdmMain dm;
    dm.dbNUV.DatabaseName = paths.database();
    dm.dbNUV.Open();
    TfrmMain w(paths, dm, clock);
    w.InitTimeAxes();
    TAcqState s;
    s.PressRunId = -1;
    CallTimes times;
    int i = 0;
    for (auto _ : state) {
        clock.t = clock.t.addMSecs(271);
        // A loaded press: every sample belongs to the open run and is recorded.
        s.Reply1 = QStringLiteral("PL%1\r\n").arg(100.0 + (i++ % 50), 5, 'f', 1);
        times.time([&] { w.ProcessPressSample(s); });
    }
    times.report(state);
    state.counters["samples_recorded"] =
        double(w.charts().Series3->count()); // all points within the window
}

// How fast held samples reach the database once it takes writes again.
void BM_HeldSamplesCatchUp(benchmark::State& state) {
    QTemporaryDir dir;
    const AppPaths paths = AppPaths::in(dir.path());
    makeTestDatabase(paths.database());
    TdmMain dm;
    dm.dbNUV.DatabaseName = paths.database();
    dm.dbNUV.Open();
    TFileLog log(paths.log());
    THoldingRecorder rec(dm, log);
    rec.AfterFailure = [&] {
        if (dm.trThread.InTransaction())
            dm.trThread.Rollback();
    };
    rec.BeforeRetry = [&] {
        if (!dm.dbNUV.Connected())
            dm.dbNUV.Open();
    };
    const int held = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        dm.dbNUV.Close();
        dm.dbNUV.DatabaseName = dir.path() + "/gone/NUV.GDB";
        const int run = rec.StartRun(1);
        for (int i = 0; i < held; ++i)
            rec.AddSample(run, 1, i, 0);
        dm.dbNUV.DatabaseName = paths.database();
        state.ResumeTiming();
        if (!rec.retry(-1))
            state.SkipWithError("still refused");
    }
    state.counters["samples_per_s"] =
        benchmark::Counter(double(held) * double(state.iterations()), benchmark::Counter::kIsRate);
}

// 24 hours of polling at 271 ms through the sliding window.
void BM_PressChartOneDay(benchmark::State& state) {
    SteppingClock clock;
    for (auto _ : state) {
        TLiveCharts charts(clock);
        charts.InitTimeAxes();
        const double before = residentMiB();
        const int samples = int(24.0 * 3600 * 1000 / 271);
        for (int i = 0; i < samples; ++i) {
            clock.t = clock.t.addMSecs(271);
            charts.AddPressPoints(100 + i % 300, 2.5);
        }
        state.counters["samples"] = samples;
        state.counters["points_kept"] = charts.Series3->count();
        state.counters["rss_growth_MiB"] = residentMiB() - before;
        state.counters["rss_MiB"] = residentMiB();
    }
}

} // namespace

BENCHMARK(BM_ProcessPressSample)->Arg(0)->Arg(20)->Iterations(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeldSamplesCatchUp)->Arg(2000)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_PressChartOneDay)->Iterations(1)->Unit(benchmark::kSecond);

NUV_BENCHMARK_QT_MAIN((void)0)
