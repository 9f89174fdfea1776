// Recording cost over the network: one insert and one commit per call through
// the data module, to a Firebird server on this machine (a private one,
// started for the benchmark).
#include "bench/BenchStats.h"
#include "db/dmmainU.h"
#include "testsupport/TFbServer.h"

#include <stdexcept>

namespace {

void createDatabase(const TFbServer& server, const QString& database) {
    const TFbServer::ToolResult made = server.createDatabase(database);
    if (made.exitCode != 0)
        throw std::runtime_error("create-db.sh failed: " + made.output.toStdString());
}

// state.range(0): 1 with the server's forced writes (the database as made),
// 0 without them, to tell the disk's share from the network's.
void BM_AddSampleOverNetwork(benchmark::State& state) {
    TFbServer server;
    server.start();
    const QString database = server.connectionString(server.dataFolder() + "/NUV.GDB");
    createDatabase(server, database);
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

} // namespace

BENCHMARK_MAIN();
