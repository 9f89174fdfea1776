// The main window on a Firebird server: started on one that refuses it or
// cannot be reached, it tells the operator why in time, the password nowhere
// in it; while its server is away it says so, polls on, and writes what it
// held once the server is back.
#include "acquisition/THoldingRecorder.h"
#include "acquisition/TQueuedRecorder.h"
#include "app/TServerWriter.h"
#include "app/TStatusLine.h"
#include "app/TfrmMain.h"
#include "core/Win1251.h"
#include "db/dmmainU.h"
#include "testsupport/Child.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/GTestQt.h"
#include "testsupport/QtWait.h"
#include "testsupport/SilentPort.h"
#include "testsupport/SimProcess.h"
#include "testsupport/TFbServer.h"
#include "testsupport/TestDatabase.h"
#include "testsupport/TestFiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>

namespace {

struct Start {
    QString database;
    QString password;
    QString said; // the first line of the message
};

// The settings of a workstation on the server, its password in a file of
// its own, as a laboratory would set it up.
void writeSettings(const AppPaths& paths, const Start& start) {
    writeAll(paths.dir + "/password", start.password.toUtf8() + "\n");
    QFile::setPermissions(paths.dir + "/password", QFile::ReadOwner | QFile::WriteOwner);
    writeAll(paths.settings(), QStringLiteral("[frmStorage]\r\nlblCom_Caption=5\r\n"
                                              "PageControl1_ActivePage=TabSheet2\r\n"
                                              "[database]\r\nDatabase=%1\r\nUser=SYSDBA\r\n"
                                              "PasswordFile=password\r\n")
                                   .arg(start.database)
                                   .toLatin1());
}

TEST(ServerWindow, WrongPasswordAndUnreachableServerAreSaidWithinTenSeconds) {
    ASSERT_FALSE(testLockFolder().isEmpty());
    TFbServer server;
    server.start();
    const QString path = server.dataFolder() + "/NUV.GDB";
    const QString database = server.connectionString(path);
    ASSERT_EQ(server.createDatabase(database).exitCode, 0);

    const QString refused = QStringLiteral("“ отказа достъп: потребителското име или паролата "
                                           "не са верни.");
    const QString silent = QStringLiteral("“ не отговаря: няма връзка с него по мрежата или той "
                                          "не работи.");
    const QString closed = QStringLiteral("127.0.0.1/%1:%2").arg(closedPort()).arg(path);
    const SilentPort hanging(8);
    const QString hung = QStringLiteral("127.0.0.1/%1:%2").arg(hanging.port()).arg(path);
    const QString faraway = QStringLiteral("10.255.255.1:%1").arg(path);
    const QList<Start> starts = {
        {database, "Wr0ng-" + server.password().left(6), refused},
        {closed, server.password(), silent},
        {hung, server.password(), silent},
        {faraway, server.password(), silent},
    };
    for (const Start& start : starts) {
        QTemporaryDir dir;
        const AppPaths paths = AppPaths::in(dir.path());
        writeSettings(paths, start);
        FakeMessages messages;
        TdmMain dm;
        TfrmMain w(paths, dm);
        QElapsedTimer shown;
        shown.start();
        w.show();
        ASSERT_TRUE(serveUntil([&] { return !messages.errors.isEmpty(); },
                               int(std::max<qint64>(0, 10000 - shown.elapsed()))))
            << start.database.toStdString() << ": no message within 10 s";
        const QString text = messages.errors.join('\n');
        EXPECT_EQ(text.section(QStringLiteral("\r\n"), 0, 0),
                  "Сървърът на базата данни „" + start.database + start.said)
            << text.toStdString();
        EXPECT_FALSE(text.contains(start.password)) << text.toStdString();
        EXPECT_FALSE(text.contains(server.password())) << text.toStdString();
        EXPECT_EQ(child<QLabel>(w, "lblDatabase")->text(), "База данни: " + start.database);
        // A refused password stops acquisition; a server away holds the samples.
        EXPECT_EQ(w.acquisitionRunning(), start.said == silent) << start.database.toStdString();
        w.close();
        EXPECT_FALSE(readAll(paths.settings()).contains(start.password.toUtf8()));
        if (QFile::exists(paths.log())) {
            EXPECT_FALSE(readAll(paths.log()).contains(start.password.toUtf8()));
        }
    }
}

// A workstation on the press page of a private server, its press in one
// slow test that lasts as long as the test here.
class ServerRecordingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(testLockFolder().isEmpty());
        m_server.start();
        m_database = m_server.connectionString(m_server.dataFolder() + "/NUV.GDB");
        ASSERT_EQ(m_server.createDatabase(m_database).exitCode, 0);
        writeSettings(m_paths, {m_database, m_server.password(), {}});
        m_sim = std::make_unique<SimProcess>(
            m_dir.path(), 5,
            QStringList{"--scenario", "press", "--rate", "10", "--peak", "900", "--pause", "0"});
        QThread::msleep(1000); // past the start threshold
    }

    qsizetype polls() const { return m_sim->commands().count("p.v"); }
    static QString status(const TfrmMain& w) { return child<TStatusLine>(w, "lblStatus")->text(); }

    // Every answered request is a sample of the one run.
    void expectEveryPollRecorded() const {
        TIBDatabase other;
        other.DatabaseName = m_database;
        other.UserName = m_server.user();
        other.Password = m_server.password();
        other.Open();
        const auto stored =
            selectRows(other, "select count(*), count(distinct mes_id) from mes_de");
        EXPECT_GE(stored[0][0].toInt(), polls() - 2);
        EXPECT_LE(stored[0][0].toInt(), polls());
        EXPECT_EQ(stored[0][1].toInt(), 1);
    }

    TFbServer m_server;
    QString m_database;
    QTemporaryDir m_dir;
    AppPaths m_paths = AppPaths::in(m_dir.path());
    std::unique_ptr<SimProcess> m_sim;
    FakeMessages m_messages;
};

const QString kOutage = QStringLiteral("Няма връзка с базата данни. Задържани проби: ");

TEST_F(ServerRecordingTest, OutageIsShownPollingGoesOnAndHeldSamplesAreWrittenOnReturn) {
    TdmMain dm;
    TfrmMain w(m_paths, dm);
    w.show();
    ASSERT_TRUE(serveUntil([&] { return polls() >= 6; }, 10000));

    m_server.kill();
    ASSERT_TRUE(serveUntil([&] { return status(w).startsWith(kOutage); }, 10000))
        << status(w).toStdString();
    const qsizetype pollsInOutage = polls();
    ASSERT_TRUE(serveUntil([&] { return polls() >= pollsInOutage + 8; }, 10000))
        << "polling stalled while the server was away";
    EXPECT_TRUE(status(w).startsWith(kOutage)) << status(w).toStdString();
    EXPECT_GT(status(w).mid(kOutage.size()).section(QLatin1Char(' '), 0, 0).toInt(), 0)
        << status(w).toStdString();
    EXPECT_TRUE(w.acquisitionRunning());

    m_server.restart();
    ASSERT_TRUE(serveUntil([&] { return !status(w).contains("база"); }, 10000))
        << status(w).toStdString();
    w.close();
    expectEveryPollRecorded();
    EXPECT_TRUE(m_messages.errors.isEmpty()) << m_messages.errors.join('|').toStdString();
}

TEST_F(ServerRecordingTest, ServerAwayAtTheStartIsSaidAndTheTestIsRecordedWhenItReturns) {
    m_server.stop();
    TdmMain dm;
    TfrmMain w(m_paths, dm);
    w.show();
    ASSERT_EQ(m_messages.errors.size(), 1);
    EXPECT_TRUE(m_messages.errors[0].contains("не отговаря")) << m_messages.errors[0].toStdString();
    // The press is polled and its samples held meanwhile.
    EXPECT_TRUE(w.acquisitionRunning());
    ASSERT_TRUE(serveUntil([&] { return polls() >= 8; }, 10000));
    EXPECT_TRUE(status(w).startsWith(kOutage)) << status(w).toStdString();

    m_server.start();
    ASSERT_TRUE(serveUntil([&] { return !status(w).contains("база"); }, 10000))
        << status(w).toStdString();
    w.close();
    expectEveryPollRecorded();
}

// A server whose host takes connections and then says nothing: every connect
// attempt lasts the connect time-out. The samples held meanwhile must not
// each pay it, or the program's close would wait that long for every one.
TEST(ServerWriter, SilentServerCostsOneConnectAttemptASecondNotOnePerSample) {
    ASSERT_FALSE(testLockFolder().isEmpty());
    QTemporaryDir dir;
    const SilentPort silent(64);
    const TDatabaseSetting setting = TDatabaseSetting::forConnection(
        QStringLiteral("127.0.0.1/%1:/srv/NUV.GDB").arg(silent.port()), dir.path());
    const QString log = dir.path() + "/prjNUV.log";
    TQueuedRecorder recorder([&] { return std::make_unique<TServerWriter>(setting, log); });
    const int run = recorder.StartRun(1);
    for (int i = 0; i < 20; ++i)
        recorder.AddSample(run, 1, i, 0);
    auto closing = std::async(std::launch::async,
                              [&] { return recorder.finish(THoldingRecorder::kFinishBudgetMs); });
    ASSERT_EQ(closing.wait_for(std::chrono::seconds(30)), std::future_status::ready)
        << "the close waits for a connect attempt per held sample";
    EXPECT_FALSE(closing.get());
    const QString said = Win1251::decode(readAll(log));
    EXPECT_TRUE(said.contains("При затваряне на програмата не бяха записани задържани проби: 20"))
        << said.toStdString();
}

} // namespace
