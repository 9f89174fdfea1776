// The review window: "Покажи" over 5,000 series, and a run of 100,000 load
// samples becoming current (queries read, curves drawn, title set).
#include "bench/BenchStats.h"
#include "db/dmmainU.h"
#include "review/TfrmViewer.h"
#include "testsupport/ChartCurves.h"
#include "testsupport/TestDatabase.h"
#include "widgets/TDBGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QLineSeries>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QTemporaryDir* g_dir = nullptr;

QString database() {
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
  declare i integer;
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
  /* Series 5001: one run of 100,000 load samples. */
  insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, obekt_id)
    values(5001, '2026-01-06', 'дълъг', 1, 1);
  insert into mes(mes_id, mes_group_id, dev_id, dt_start) values(5001, 5001, 1, :t);
  i = 0;
  while (i < 100000) do
  begin
    insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, dev_id, speed)
      values(gen_id(gen_mes_de_id,1), 5001, :i * 0.01, dateadd(:i * 300 millisecond to :t), 1, 0);
    i = i + 1;
  end
end^
set term ; ^
commit;
)");
        std::fprintf(stderr, "database of 5,001 series made in %.1f s %s\n", t.elapsed() / 1000.0,
                     qPrintable(out.trimmed()));
        return p;
    }();
    return path;
}

void BM_ShowAllSeries(benchmark::State& state) {
    const QString db = database();
    QTemporaryDir dir;
    TdmMain dm;
    dm.dbNUV.DatabaseName = db;
    dm.dbNUV.Open();
    TfrmViewer w(AppPaths::in(dir.path()), dm);
    child<QLineEdit>(w, "edKomentar")->setText("%");
    emit child<QLineEdit>(w, "edKomentar")->textEdited("%");
    CallTimes times;
    for (auto _ : state)
        times.time([&] { w.Button1Click(); });
    state.counters["series_listed"] = w.qryRes.RecordCount();
    times.report(state);
}
BENCHMARK(BM_ShowAllSeries)->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_LongRunBecomesCurrent(benchmark::State& state) {
    const QString db = database();
    QTemporaryDir dir;
    TdmMain dm;
    dm.dbNUV.DatabaseName = db;
    dm.dbNUV.Open();
    TfrmViewer w(AppPaths::in(dir.path()), dm);
    child<QLineEdit>(w, "edKomentar")->setText("дълъг");
    emit child<QLineEdit>(w, "edKomentar")->textEdited("дълъг");
    CallTimes times;
    for (auto _ : state)
        times.time([&] { w.Button1Click(); }); // the series opens with its run current
    state.counters["points"] = curve(w, "DBChart1", 0)->count();
    times.report(state);
}
BENCHMARK(BM_LongRunBecomesCurrent)->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

NUV_BENCHMARK_QT_MAIN(delete g_dir)
