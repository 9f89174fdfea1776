// nuv-report as a whole process on a series of 30 runs x 2,000 samples in a
// database of 10 million samples: the CSV, and the PDF of the series report.
// The database is made once (several minutes) and kept in the build folder.
#include "bench/BenchStats.h"
#include "testsupport/TestDatabase.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// 167 series of 30 press runs, 5,000 runs of 2,000 samples each: 10,000,000
// samples, rows made by a generator procedure in one insert ... select each.
const char* kFill = R"(
set term ^ ;
create procedure bench_rows(n integer) returns (i integer) as
begin
  i = 0;
  while (i < n) do
  begin
    suspend;
    i = i + 1;
  end
end^
set term ; ^
commit;
insert into obekt(obekt_id, ime) values(1, 'Мост при км 12');
insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, obekt_id)
  select i + 1, dateadd(i day to timestamp '2020-01-01 09:00:00'), 'Серия ' || (i + 1), 1, 1
  from bench_rows(167);
insert into mes(mes_id, mes_group_id, dev_id, dt_start)
  select i + 1, i / 30 + 1, 1, dateadd(i * 600 second to timestamp '2020-01-01 09:00:00')
  from bench_rows(5000);
insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, dev_id, speed)
  select i + 1, i / 2000 + 1,
         iif(mod(i, 2000) <= 1500, mod(i, 2000) * 1.35, (3000 - mod(i, 2000)) * 1.35)
           + mod(i / 2000, 7),
         dateadd((i / 2000) * 600000 + mod(i, 2000) * 100 millisecond
                 to timestamp '2020-01-01 09:00:00'),
         1, 13.5
  from bench_rows(10000000);
commit;
)";

QString database() {
    static const QString path = [] {
        const QString dir = QStringLiteral(NUV_BUILD_DIR "/bench-report");
        const QString file = dir + "/NUV10M.GDB";
        if (QFile::exists(file))
            return file;
        QDir().mkpath(dir);
        const QString making = dir + "/NUV10M.making.GDB";
        QFile::remove(making);
        QElapsedTimer t;
        t.start();
        QProcess create;
        create.start("bash", {QStringLiteral(NUV_SOURCE_DIR "/scripts/create-db.sh"), making});
        create.waitForFinished(120000);
        const QString out = isql(making, QString::fromUtf8(kFill));
        QFile::rename(making, file);
        std::fprintf(stderr, "database of 10,000,000 samples made in %.0f s %s\n",
                     t.elapsed() / 1000.0, qPrintable(out.trimmed()));
        return file;
    }();
    return path;
}

void runReport(benchmark::State& state, const QString& option, const QString& name) {
    const QString db = database();
    QTemporaryDir dir;
    CallTimes times;
    for (auto _ : state) {
        times.time([&] {
            QProcess p;
            p.start(NUV_BIN_DIR "/nuv-report",
                    {"--database", db, "--series", "1", option, dir.path() + "/" + name});
            p.waitForFinished(60000);
            if (p.exitCode() != 0)
                state.SkipWithError(p.readAllStandardError().constData());
        });
    }
    state.counters["bytes"] = double(QFile(dir.path() + "/" + name).size());
    times.report(state);
}

void BM_ReportCsv(benchmark::State& state) {
    runReport(state, "--csv", "series.csv");
}

void BM_ReportPdf(benchmark::State& state) {
    runReport(state, "--pdf", "series.pdf");
}

} // namespace

BENCHMARK(BM_ReportCsv)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(BM_ReportPdf)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK_MAIN();
