// The main window on a Firebird server: started on one that refuses it or
// cannot be reached, it tells the operator why in time, the password nowhere
// in it; while its server is away it says so, polls on, and writes what it
// held once the server is back.
#include "app/TStatusLine.h"
#include "app/TfrmMain.h"
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

TEST(ServerWindow, OutageIsShownPollingGoesOnAndHeldSamplesAreWrittenOnReturn) {
    ASSERT_FALSE(testLockFolder().isEmpty());
    TFbServer server;
    server.start();
    const QString database = server.connectionString(server.dataFolder() + "/NUV.GDB");
    ASSERT_EQ(server.createDatabase(database).exitCode, 0);
    QTemporaryDir dir;
    const AppPaths paths = AppPaths::in(dir.path());
    writeSettings(paths, {database, server.password(), {}});
    // One slow press test that lasts the whole outage.
    SimProcess sim(dir.path(), 5,
                   {"--scenario", "press", "--rate", "10", "--peak", "900", "--pause", "0"});
    QThread::msleep(1000);
    FakeMessages messages;
    TdmMain dm;
    TfrmMain w(paths, dm);
    w.show();
    const auto status = [&] { return child<TStatusLine>(w, "lblStatus")->text(); };
    const auto polls = [&] { return sim.commands().count("p.v"); };
    ASSERT_TRUE(serveUntil([&] { return polls() >= 6; }, 10000));

    server.kill();
    const QString outage = QStringLiteral("Няма връзка с базата данни. Задържани проби: ");
    ASSERT_TRUE(serveUntil([&] { return status().startsWith(outage); }, 10000))
        << status().toStdString();
    const int pollsInOutage = polls();
    ASSERT_TRUE(serveUntil([&] { return polls() >= pollsInOutage + 8; }, 10000))
        << "polling stalled while the server was away";
    EXPECT_TRUE(status().startsWith(outage)) << status().toStdString();
    EXPECT_GT(status().mid(outage.size()).section(QLatin1Char(' '), 0, 0).toInt(), 0)
        << status().toStdString();
    EXPECT_TRUE(w.acquisitionRunning());

    server.restart();
    ASSERT_TRUE(serveUntil([&] { return !status().contains("база"); }, 10000))
        << status().toStdString();
    w.close();

    TIBDatabase other;
    other.DatabaseName = database;
    other.UserName = server.user();
    other.Password = server.password();
    other.Open();
    const auto stored = selectRows(other, "select count(*), count(distinct mes_id) from mes_de");
    EXPECT_GE(stored[0][0].toInt(), polls() - 2);
    EXPECT_LE(stored[0][0].toInt(), polls());
    EXPECT_EQ(stored[0][1].toInt(), 1);
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('|').toStdString();
}

TEST(ServerWindow, ServerAwayAtTheStartIsSaidAndTheTestIsRecordedWhenItReturns) {
    ASSERT_FALSE(testLockFolder().isEmpty());
    TFbServer server;
    server.start();
    const QString database = server.connectionString(server.dataFolder() + "/NUV.GDB");
    ASSERT_EQ(server.createDatabase(database).exitCode, 0);
    server.stop();
    QTemporaryDir dir;
    const AppPaths paths = AppPaths::in(dir.path());
    writeSettings(paths, {database, server.password(), {}});
    SimProcess sim(dir.path(), 5,
                   {"--scenario", "press", "--rate", "10", "--peak", "900", "--pause", "0"});
    QThread::msleep(1000);
    FakeMessages messages;
    TdmMain dm;
    TfrmMain w(paths, dm);
    w.show();
    ASSERT_EQ(messages.errors.size(), 1);
    EXPECT_TRUE(messages.errors[0].contains("не отговаря")) << messages.errors[0].toStdString();
    // The press is polled and its samples held meanwhile.
    EXPECT_TRUE(w.acquisitionRunning());
    const auto polls = [&] { return sim.commands().count("p.v"); };
    ASSERT_TRUE(serveUntil([&] { return polls() >= 8; }, 10000));
    EXPECT_TRUE(child<TStatusLine>(w, "lblStatus")
                    ->text()
                    .startsWith("Няма връзка с базата данни. Задържани проби: "))
        << child<TStatusLine>(w, "lblStatus")->text().toStdString();

    server.start();
    ASSERT_TRUE(serveUntil(
        [&] { return !child<TStatusLine>(w, "lblStatus")->text().contains("база"); }, 10000))
        << child<TStatusLine>(w, "lblStatus")->text().toStdString();
    w.close();
    TIBDatabase other;
    other.DatabaseName = database;
    other.UserName = server.user();
    other.Password = server.password();
    other.Open();
    const auto stored = selectRows(other, "select count(*), count(distinct mes_id) from mes_de");
    EXPECT_GE(stored[0][0].toInt(), polls() - 2);
    EXPECT_LE(stored[0][0].toInt(), polls());
    EXPECT_EQ(stored[0][1].toInt(), 1);
}

} // namespace
