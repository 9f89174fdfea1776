#include "db/dmmainU.h"
#include "testsupport/GTestQt.h"
#include "testsupport/TFbServer.h"
#include "testsupport/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

// A private server with one database of the program on it, made by the
// set-up script through the server.
class FbServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The program points the embedded engine at its own lock folder
        // before anything connects; a server connection must work with it.
        ASSERT_FALSE(testLockFolder().isEmpty());
        m_server.start();
        m_path = m_server.dataFolder() + "/NUV.GDB";
        const TFbServer::ToolResult made = m_server.createDatabase(
            QStringLiteral("inet://127.0.0.1:%1/%2").arg(m_server.port()).arg(m_path));
        ASSERT_EQ(made.exitCode, 0) << made.output.toStdString();
        m_database = m_server.connectionString(m_path);
    }

    void openDataModule(TdmMain& dm) const {
        dm.dbNUV.DatabaseName = m_database;
        dm.dbNUV.UserName = m_server.user();
        dm.dbNUV.Password = m_server.password();
        dm.dbNUV.Open();
    }

    // What another workstation reads from the server.
    QList<QList<QVariant>> rows(const QString& sql) const {
        return selectRows(m_database, m_server.user(), m_server.password(), sql);
    }

    TFbServer m_server;
    QString m_path;
    QString m_database;
};

// A window's reading after the server went away and came back: the read in
// the outage fails with the engine's word for it, the next refresh connects
// again by itself.
TEST_F(FbServerTest, AWindowsNextRefreshAfterTheServersReturnReadsAgain) {
    TdmMain dm;
    openDataModule(dm);
    const int run = dm.StartRunAt(1, QDateTime(QDate(2024, 5, 6), QTime(9, 30, 0)));
    TIBTransaction tr(dm.dbNUV);
    TIBQuery runs(dm.dbNUV, tr);
    runs.setSQL(QStringLiteral("select mes_id from mes order by mes_id"));
    const auto refresh = [&] {
        if (tr.InTransaction())
            tr.Rollback();
        runs.Close();
        runs.Open();
        return runs.RecordCount();
    };
    EXPECT_EQ(refresh(), 1);
    m_server.kill();
    EXPECT_THROW(refresh(), EDatabaseError);
    EXPECT_FALSE(dm.dbNUV.Connected());
    m_server.restart();
    EXPECT_EQ(refresh(), 1);
    EXPECT_EQ(runs.Value(0, 0).toInt(), run);
    // A database closed on purpose is not opened behind the program's back.
    dm.dbNUV.Close();
    EXPECT_THROW(refresh(), EDatabaseError);
}

TEST_F(FbServerTest, SamplesRecordedOnTheServerSurviveItsKill) {
    TdmMain dm;
    openDataModule(dm);
    const QDateTime start(QDate(2024, 5, 6), QTime(9, 30, 0));
    const int run = dm.StartRunAt(2, start);
    for (int i = 0; i < 40; ++i)
        dm.AddSampleAt(run, 2, i * 1.25, 0.5, start.addSecs(i));
    auto stored = rows(
        QStringLiteral("select count(*), sum(mes_value) from mes_de where mes_id = %1").arg(run));
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0][0].toInt(), 40);
    EXPECT_DOUBLE_EQ(stored[0][1].toDouble(), 1.25 * 39 * 40 / 2);

    // A crash of the server: the write in flight is refused in the
    // operator's words, and the next one after the server's return connects
    // again by itself.
    m_server.kill();
    try {
        dm.AddSampleAt(run, 2, 100, 0.5, start.addSecs(40));
        ADD_FAILURE() << "a write without a server succeeded";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.message().contains("връзката с базата данни е прекъсната"))
            << e.message().toStdString();
    }
    m_server.restart();
    dm.AddSampleAt(run, 2, 100, 0.5, start.addSecs(41));
    EXPECT_EQ(dm.StartRunAt(2, start.addSecs(60)), run + 1);

    stored = rows(
        QStringLiteral("select count(*), max(mes_value) from mes_de where mes_id = %1").arg(run));
    EXPECT_EQ(stored[0][0].toInt(), 41);
    EXPECT_DOUBLE_EQ(stored[0][1].toDouble(), 100);
    EXPECT_EQ(rows("select dt_start from mes order by mes_id")[0][0].toDateTime(), start);

    dm.dbNUV.Close();
    const TFbServer::ToolResult check =
        m_server.runTool(QStringLiteral("gfix"), {"-v", "-full", "-n", m_database});
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
    EXPECT_TRUE(check.output.trimmed().isEmpty()) << check.output.toStdString();
}

TEST_F(FbServerTest, SetUpScriptLeavesAnExistingDatabaseAlone) {
    TdmMain dm;
    openDataModule(dm);
    const int run = dm.StartRun(1);

    // Every server form of the connection string reaches the same database.
    for (const QString& form :
         {m_database, QStringLiteral("inet://127.0.0.1:%1/%2").arg(m_server.port()).arg(m_path)}) {
        const TFbServer::ToolResult again = m_server.createDatabase(form);
        EXPECT_EQ(again.exitCode, 0) << again.output.toStdString();
    }
    EXPECT_EQ(rows("select mes_id from mes").size(), 1);
    EXPECT_EQ(rows("select mes_id from mes")[0][0].toInt(), run);

    // Without the password, or with a wrong one, nothing is made and the
    // script says why; the password stays out of what it says.
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ISC_USER", "SYSDBA");
    env.insert("ISC_PASSWORD", "wrong-password-42");
    p.setProcessEnvironment(env);
    const QString other = m_server.connectionString(m_server.dataFolder() + "/OTHER.GDB");
    p.start("bash", {NUV_SOURCE_DIR "/scripts/create-db.sh", other});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString said = QString::fromLocal8Bit(p.readAll());
    EXPECT_NE(p.exitCode(), 0);
    EXPECT_TRUE(said.contains("user name and password")) << said.toStdString();
    EXPECT_FALSE(said.contains("wrong-password-42"));
    EXPECT_FALSE(QFile::exists(m_server.dataFolder() + "/OTHER.GDB"));
}

TEST_F(FbServerTest, BackupThroughTheServerRestoresTheSameRows) {
    TdmMain dm;
    openDataModule(dm);
    const QDateTime start(QDate(2024, 2, 29), QTime(23, 59, 58));
    const int run = dm.StartRunAt(1, start);
    for (int i = 0; i < 25; ++i)
        dm.AddSampleAt(run, 1, 3.5 + i, 0.25 * i, start.addSecs(i));
    dm.dbNUV.Close();
    const QString sql =
        "select m.mes_id, m.dev_id, m.dt_start, d.mes_value, d.speed, d.date_effect "
        "from mes m join mes_de d on d.mes_id = m.mes_id order by d.mes_de_id";
    const auto before = rows(sql);
    ASSERT_EQ(before.size(), 25);

    // The nightly form: the server's service manager writes the backup on
    // the server's own disk and restores it into a new database there.
    const QString service = QStringLiteral("127.0.0.1/%1:service_mgr").arg(m_server.port());
    const QString backup = m_server.dataFolder() + "/NUV.fbk";
    const QString restored = m_server.dataFolder() + "/RESTORED.GDB";
    TFbServer::ToolResult r = m_server.runTool("gbak", {"-b", "-se", service, m_path, backup});
    ASSERT_EQ(r.exitCode, 0) << r.output.toStdString();
    r = m_server.runTool("gbak", {"-c", "-se", service, backup, restored});
    ASSERT_EQ(r.exitCode, 0) << r.output.toStdString();
    m_database = m_server.connectionString(restored);
    EXPECT_EQ(rows(sql), before);

    // The same through the connection string, the backup file on this side.
    const QString local = m_server.root() + "/client.fbk";
    const QString second = m_server.dataFolder() + "/SECOND.GDB";
    r = m_server.runTool("gbak", {"-b", m_server.connectionString(m_path), local});
    ASSERT_EQ(r.exitCode, 0) << r.output.toStdString();
    r = m_server.runTool("gbak", {"-c", local, m_server.connectionString(second)});
    ASSERT_EQ(r.exitCode, 0) << r.output.toStdString();
    m_database = m_server.connectionString(second);
    EXPECT_EQ(rows(sql), before);
}

} // namespace
