#include "db/dmmainU.h"
#include "testsupport/GTestQt.h"
#include "testsupport/TFbServer.h"
#include "testsupport/TestDatabase.h"

#include <gtest/gtest.h>

namespace {

// The workstations' user made by the server database's script records runs
// and appends to the audit trail, and can neither change nor empty it.
TEST(TraceServerTest, TheWorkstationsUserAppendsToTheTrailAndNothingMore) {
    TFbServer server;
    server.start();
    const QString db = server.connectionString(server.dataFolder() + "/NUV.GDB");
    const auto made = server.runTool(
        "env", {"NUV_USER=LAB", "NUV_PASSWORD=it's lab", "bash",
                NUV_SOURCE_DIR "/scripts/create-server-db.sh", db});
    ASSERT_EQ(made.exitCode, 0) << made.output.toStdString();

    TdmMain dm;
    TRunContextSource context("1.0");
    dm.setContextSource(&context);
    dm.dbNUV.DatabaseName = db;
    dm.dbNUV.UserName = "LAB";
    dm.dbNUV.Password = "it's lab";
    dm.dbNUV.Open();
    ASSERT_TRUE(dm.traced()) << dm.traceProblem().toStdString();
    const int run = dm.StartRun(1);
    dm.AddSample(run, 1, 12.5, 0.5);
    dm.EndRun(run);
    EXPECT_EQ(selectRows(dm.dbNUV, "select seal_samples from run_context")[0][0].toInt(), 1);

    const auto asLab = [&](const QString& sql) {
        return server
            .runTool("isql-fb", {"-q", "-user", "LAB", "-password", "it's lab", db},
                     (sql + ";\ncommit;\n").toUtf8())
            .output;
    };
    EXPECT_EQ(asLab("insert into audit_trail(action) values('проба')"), "");
    for (const QString sql : {"update audit_trail set reason = 'x'", "delete from audit_trail"})
        EXPECT_TRUE(asLab(sql).contains("no permission")) << sql.toStdString();
    EXPECT_TRUE(asLab("select count(*) from audit_trail").contains("1"));
}

} // namespace
