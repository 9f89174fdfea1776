// The review window: "Покажи" over 5,000 series; and runs of 1,000,000,
// 100,000 and 2,000 samples opened in a database of 10,000,000 samples
// ("Покажи" for the run's series: lists read, the run read, its chart drawn
// and painted), each beside a raw fetch of the same run's load samples as
// whole rows, in the same process.
#include "bench/BenchMemory.h"
#include "bench/BenchStats.h"
#include "bench/ReviewDatabase.h"
#include "db/dmmainU.h"
#include "review/TfrmViewer.h"
#include "testsupport/ChartCurves.h"
#include "testsupport/TestDatabase.h"
#include "widgets/TDBGrid.h"

#include <QApplication>
#include <QChartView>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

QTemporaryDir* g_dir = nullptr;

QString seriesDatabase() {
    static const QString path = [] {
        g_dir = new QTemporaryDir;
        const QString p = g_dir->path() + "/NUV.GDB";
        makeTestDatabase(p);
        QElapsedTimer t;
        t.start();
        const QString out = isql(p, R"(
insert into obekt(obekt_id, ime) values(1, 'Обект');
set term ^ ;
execute block as
  declare g integer = 1;
  declare t timestamp = '2026-01-05 08:00:00';
begin
  while (g <= 5000) do
  begin
    insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, obekt_id)
      values(:g, '2026-01-05', 'серия ' || :g, 1, 1);
    insert into mes(mes_id, mes_group_id, dev_id, dt_start) values(:g, :g, 1, :t);
    insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, dev_id, speed)
      values(gen_id(gen_mes_de_id,1), :g, 10, :t, 1, 0);
    g = g + 1;
  end
end^
set term ; ^
commit;
)");
        std::fprintf(stderr, "database of 5,000 series made in %.1f s %s\n", t.elapsed() / 1000.0,
                     qPrintable(out.trimmed()));
        return p;
    }();
    return path;
}

void times(benchmark::State& state, const std::string& name, CallTimes& t) {
    benchmark::State* s = &state;
    t.report(*s);
    for (const char* c : {"median_ms", "p99_ms", "max_ms", "calls"}) {
        state.counters[name + "_" + c] = state.counters[c];
        state.counters.erase(c);
    }
}

void filterBy(TfrmViewer& w, const char* edit, const QString& text) {
    child<QLineEdit>(w, edit)->setText(text);
    emit child<QLineEdit>(w, edit)->textEdited(text);
}

void BM_ShowAllSeries(benchmark::State& state) {
    const QString db = seriesDatabase();
    QTemporaryDir dir;
    TdmMain dm;
    dm.dbNUV.DatabaseName = db;
    dm.dbNUV.Open();
    TfrmViewer w(AppPaths::in(dir.path()), dm);
    // Every series' comment holds this text: all 5,000 are listed.
    filterBy(w, "edKomentar", QStringLiteral("серия"));
    CallTimes times;
    for (auto _ : state)
        times.time([&] { w.Button1Click(); });
    state.counters["series_listed"] = w.qryRes.RecordCount();
    times.report(state);
}
BENCHMARK(BM_ShowAllSeries)->Iterations(10)->Unit(benchmark::kMillisecond);

// The window on the screen, its run's series chosen by number: "Покажи"
// reads the lists and the run and draws the chart; then the chart is painted.
void BM_OpenRun(benchmark::State& state) {
    const ReviewRun run = kReviewRuns[state.range(0)];
    QTemporaryDir dir;
    TdmMain dm;
    dm.dbNUV.DatabaseName = reviewDatabase();
    dm.dbNUV.Open();
    TfrmViewer w(AppPaths::in(dir.path()), dm);
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        state.SkipWithError("window not shown");
    QApplication::processEvents();
    filterBy(w, "edNomer", QString::number(run.series));
    auto* chart = child<QChartView>(w, "DBChart1");
    CallTimes times;
    PeakAdded peak;
    for (auto _ : state) {
        peak.start();
        times.time([&] {
            w.Button1Click();
            chart->viewport()->repaint();
        });
        peak.stop();
    }
    state.counters["samples"] = run.samples;
    state.counters["points_drawn"] = curve(w, "DBChart1", 0)->count();
    peak.report(state);
    state.counters["rss_MiB"] = BenchMemory::residentMiB();
    times.report(state);
}

// The same run's load samples as whole rows, the way a query reads a list.
void BM_RawFetch(benchmark::State& state) {
    const ReviewRun run = kReviewRuns[state.range(0)];
    TdmMain dm;
    dm.dbNUV.DatabaseName = reviewDatabase();
    dm.dbNUV.Open();
    TIBQuery q(dm.dbNUV, dm.trMain);
    q.setSQL(TfrmViewer::kLoad);
    q.ParamByName(QStringLiteral("mes_id"), run.run);
    CallTimes times;
    PeakAdded peak;
    int rows = 0;
    for (auto _ : state) {
        peak.start();
        times.time([&] {
            q.Open();
            rows = q.RecordCount();
            q.Close();
        });
        peak.stop();
    }
    state.counters["rows"] = rows;
    peak.report(state);
    times.report(state);
}

// The parts of opening a run: the engine's count of its extents, and the
// pass that sends its samples (reduced to 600 columns, or kept whole).
void BM_Parts(benchmark::State& state) {
    const ReviewRun run = kReviewRuns[state.range(0)];
    TdmMain dm;
    dm.dbNUV.DatabaseName = reviewDatabase();
    dm.dbNUV.Open();
    TIBQuery q(dm.dbNUV, dm.trMain);
    CallTimes extents, pass, rows;
    for (auto _ : state) {
        QList<TCurveExtent> e;
        extents.time(
            [&] { e = TRunData::extents(q, run.run, TRunData::Curves::LoadAndDeformation); });
        const TColumnGrid g{e[0].x0, e[0].x1, 60.5, 600};
        pass.time([&] { TRunData::read(q, run.run, TRunData::Curves::LoadAndDeformation, g); });
        int n = 0;
        rows.time([&] {
            q.setSQL(TRunData::kSamples);
            q.setParams({run.run});
            q.Stream([&](const TIBRow&) { ++n; });
        });
    }
    times(state, "extents", extents);
    times(state, "pass", pass);
    times(state, "rows_only", rows);
}
BENCHMARK(BM_Parts)->DenseRange(0, 2)->Iterations(3)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_OpenRun)->Arg(0)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawFetch)->Arg(0)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenRun)->Arg(1)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawFetch)->Arg(1)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenRun)->Arg(2)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawFetch)->Arg(2)->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

NUV_BENCHMARK_QT_MAIN(delete g_dir)
