// Recording over the network to a Firebird server on this machine (a private
// one, started for the benchmark): one insert and one commit per call through
// the data module; and a press recording that loses its server for a while:
// how soon everything held is in the database once the server is back.
#include "acquisition/TQueuedRecorder.h"
#include "app/TServerWriter.h"
#include "bench/BenchStats.h"
#include "db/dmmainU.h"
#include "testsupport/TFbServer.h"
#include "testsupport/TestDatabase.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

void createDatabase(const TFbServer& server, const QString& database) {
    const TFbServer::ToolResult made = server.createDatabase(database);
    if (made.exitCode != 0)
        throw std::runtime_error("create-db.sh failed: " + made.output.toStdString());
}

QString serverDatabase(TFbServer& server) {
    server.start();
    const QString database = server.connectionString(server.dataFolder() + "/NUV.GDB");
    createDatabase(server, database);
    return database;
}

// state.range(0): 1 with the server's forced writes (the database as made),
// 0 without them, to tell the disk's share from the network's.
void BM_AddSampleOverNetwork(benchmark::State& state) {
    TFbServer server;
    const QString database = serverDatabase(server);
    if (state.range(0) == 0)
        server.runTool("gfix", {"-write", "async", database});
    TdmMain dm;
    dm.dbNUV.DatabaseName = database;
    dm.dbNUV.UserName = server.user();
    dm.dbNUV.Password = server.password();
    dm.dbNUV.Open();
    const int run = dm.StartRun(1);
    CallTimes times;
    double v = 0;
    for (auto _ : state) {
        times.time([&] { dm.AddSample(run, 1, v += 0.37, 1.25); });
    }
    times.report(state);
}
BENCHMARK(BM_AddSampleOverNetwork)
    ->Arg(1)
    ->Arg(0)
    ->ArgName("forced_writes")
    ->Iterations(10000)
    ->Unit(benchmark::kMillisecond);

// The press handler's side of a recording: a sample every intervalMs from a
// thread of its own, as the polling hands them over, whatever the server does.
class PressFeed {
public:
    PressFeed(TRecording& rec, int run, int intervalMs)
        : m_thread([&rec, run, intervalMs, this](std::stop_token stop) {
              auto next = Clock::now();
              while (!stop.stop_requested()) {
                  rec.AddSample(run, 1, 100.0 + double(m_fed % 50), 2.5);
                  ++m_fed;
                  next += std::chrono::milliseconds(intervalMs);
                  std::this_thread::sleep_until(next);
              }
          }) {}
    int fed() const { return m_fed.load(); }
    void stop() {
        m_thread.request_stop();
        m_thread.join();
    }

private:
    std::atomic<int> m_fed{0};
    std::jthread m_thread;
};

// Another workstation's view of the run: its rows as committed.
class RowCounter {
public:
    RowCounter(const TFbServer& server, const QString& database) {
        m_db.DatabaseName = database;
        m_db.UserName = server.user();
        m_db.Password = server.password();
    }
    int count(int run) {
        if (!m_db.Connected())
            m_db.Open();
        return selectRows(m_db,
                          QStringLiteral("select count(*) from mes_de where mes_id = %1").arg(run))
            .value(0)
            .value(0)
            .toInt();
    }
    void close() { m_db.Close(); }

private:
    TIBDatabase m_db;
};

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// A press recording through the queue and the server's writer while the
// server is stopped for range(1) seconds and started again; range(0) is the
// time between samples. Measured from the moment the server answers again
// (start() returned) until every sample taken before that moment is a row
// that another connection sees.
void BM_HeldSamplesAfterOutage(benchmark::State& state) {
    const int intervalMs = int(state.range(0));
    const int outageS = int(state.range(1));
    TFbServer server;
    const QString database = serverDatabase(server);
    QTemporaryDir dir;
    const TDatabaseSetting setting{database, true, server.user(), server.password()};
    RowCounter rows(server, database);
    for (auto _ : state) {
        TQueuedRecorder rec(
            [&] { return std::make_unique<TServerWriter>(setting, dir.path() + "/prjNUV.log"); });
        const int queued = rec.StartRun(1);
        PressFeed feed(rec, queued, intervalMs);
        QThread::msleep(2000); // recording with the server there
        const int run = rec.realId(queued);
        rows.close();
        server.stop();
        QThread::msleep(unsigned(outageS) * 1000);
        server.start();
        const auto back = Clock::now();
        const int held = feed.fed();
        double firstRowMs = -1;
        const int before = rows.count(run);
        int written = before;
        while (written < held && msSince(back) < 60000) {
            QThread::msleep(5);
            written = rows.count(run);
            if (firstRowMs < 0 && written > before)
                firstRowMs = msSince(back);
        }
        const double flushMs = msSince(back);
        feed.stop();
        rec.finish(-1);
        state.counters["flush_ms"] = written >= held ? flushMs : -1;
        state.counters["first_row_ms"] = firstRowMs;
        state.counters["held_at_return"] = held;
        state.counters["missing_at_end"] = feed.fed() - rows.count(run);
    }
}
BENCHMARK(BM_HeldSamplesAfterOutage)
    ->Args({100, 60})
    ->Args({20, 60})
    ->ArgNames({"sample_ms", "outage_s"})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

} // namespace

NUV_BENCHMARK_QT_MAIN((void)0)
