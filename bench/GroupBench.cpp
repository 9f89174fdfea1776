// The grouping window over 10,000 ungrouped runs of 1,000 samples each:
// opening it, and moving to another run; and over the review benchmarks'
// database of 10,000,000 samples, moving to a run of 1,000,000 samples.
#include "bench/BenchMemory.h"
#include "bench/BenchStats.h"
#include "bench/ReviewDatabase.h"
#include "db/dmmainU.h"
#include "grouping/TfrmGroup.h"
#include "testsupport/ChartCurves.h"
#include "testsupport/Child.h"
#include "testsupport/TestDatabase.h"
#include "widgets/TDBGrid.h"

#include <QApplication>
#include <QChartView>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

QTemporaryDir* g_dir = nullptr;

QString bigDatabase() {
    static const QString path = [] {
        g_dir = new QTemporaryDir;
        const QString p = g_dir->path() + "/NUV.GDB";
        makeTestDatabase(p);
        QElapsedTimer t;
        t.start();
        // Server-side loops: 10,000 runs, 1,000 samples each, one per second.
        const QString out = isql(p, R"(
set term ^ ;
execute block as
  declare r integer = 1;
  declare i integer;
  declare t timestamp = '2026-01-05 08:00:00';
begin
  while (r <= 10000) do
  begin
    insert into mes(mes_id, dev_id, dt_start) values(:r, 1, :t);
    i = 0;
    while (i < 1000) do
    begin
      insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, dev_id, speed)
        values(gen_id(gen_mes_de_id,1), :r, :i * 0.37, dateadd(:i second to :t), 1, 0.37);
      i = i + 1;
    end
    r = r + 1;
  end
end^
set term ; ^
commit;
)");
        std::fprintf(stderr, "database of 10,000 runs x 1,000 samples made in %.1f s %s\n",
                     t.elapsed() / 1000.0, qPrintable(out.trimmed()));
        return p;
    }();
    return path;
}

void BM_GroupOpen(benchmark::State& state) {
    const QString db = bigDatabase();
    QTemporaryDir dir;
    TdmMain dm;
    dm.dbNUV.DatabaseName = db;
    dm.dbNUV.Open();
    CallTimes times;
    for (auto _ : state) {
        std::unique_ptr<TfrmGroup> w;
        times.time([&] { w = std::make_unique<TfrmGroup>(AppPaths::in(dir.path()), dm); });
        state.counters["runs_listed"] = w->qryMes.RecordCount();
    }
    times.report(state);
}
BENCHMARK(BM_GroupOpen)->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_GroupMoveToAnotherRun(benchmark::State& state) {
    const QString db = bigDatabase();
    QTemporaryDir dir;
    TdmMain dm;
    dm.dbNUV.DatabaseName = db;
    dm.dbNUV.Open();
    TfrmGroup w(AppPaths::in(dir.path()), dm);
    auto* grid = child<TDBGrid>(w, "DBGrid1");
    CallTimes times;
    int row = 0;
    for (auto _ : state) {
        row = (row + 997) % 10000;
        times.time([&] { grid->setCurrentIndex(grid->model()->index(row, 0)); });
    }
    state.counters["points_drawn"] = curve(w, "DBChart1", 0)->count();
    times.report(state);
}
BENCHMARK(BM_GroupMoveToAnotherRun)->Iterations(50)->Unit(benchmark::kMillisecond);

// The window on the screen, among 101 runs of no series: from a run of
// 2,000 samples to the run of 1,000,000 (an ended run, with its overview),
// read, drawn and painted.
void BM_GroupMoveToMillionRun(benchmark::State& state) {
    QTemporaryDir dir;
    TdmMain dm;
    dm.dbNUV.DatabaseName = reviewDatabase();
    dm.dbNUV.Open();
    TfrmGroup w(AppPaths::in(dir.path()), dm);
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        state.SkipWithError("window not shown");
    auto* grid = child<TDBGrid>(w, "DBGrid1");
    auto* chart = child<QChartView>(w, "DBChart1");
    int million = -1;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        if (w.qryMes.Value(r, w.qryMes.FieldIndex("MES_ID")).toInt() == kUngroupedMillionRun)
            million = r;
    if (million < 0)
        state.SkipWithError("no run of a million samples");
    CallTimes times;
    PeakAdded peak;
    for (auto _ : state) {
        grid->setCurrentIndex(grid->model()->index(million + 1, 0));
        QApplication::processEvents();
        peak.start();
        times.time([&] {
            grid->setCurrentIndex(grid->model()->index(million, 0));
            chart->viewport()->repaint();
        });
        peak.stop();
    }
    state.counters["points_drawn"] = curve(w, "DBChart1", 0)->count();
    peak.report(state);
    times.report(state);
}
BENCHMARK(BM_GroupMoveToMillionRun)->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

NUV_BENCHMARK_QT_MAIN(delete g_dir)
