// Workstations as separate programs on one private Firebird server, each
// with its own simulated line: they record into one database at once, lose
// nothing while the server is killed and comes back, and a series saved
// meanwhile by another connection is saved whole.
#include "db/TIBDatabase.h"
#include "db/TIBQuery.h"
#include "db/TIBTransaction.h"
#include "db/TTransactionGuard.h"
#include "results/TSeriesSave.h"
#include "testsupport/AppProcess.h"
#include "testsupport/GTestQt.h"
#include "testsupport/SimProcess.h"
#include "testsupport/TFbServer.h"
#include "testsupport/TestDatabase.h"
#include "testsupport/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int kPress = 1;
constexpr int kCbrLoad = 2;
constexpr int kCbrDeformation = 3;

// A press specimen loaded so slowly that one run lasts the whole test, and a
// Marshall/CBR one the same; both past their start thresholds before the
// program's first request, so every answered request is a sample of the run.
const QStringList kLongPress{"--scenario", "press", "--rate",  "10",
                             "--peak",     "900",   "--pause", "0"};
const QStringList kLongCbr{"--scenario", "cbr",  "--cbr-ramp", "100",
                           "--cbr-peak", "1000", "--pause",    "0"};

// prjNUV in a folder of its own, its settings naming the server's database
// and its own line, and the simulator on that line.
struct Workstation {
    QString dir;
    QByteArray selected; // the controller whose requests end a sample
    int device = 0;      // the device of that controller's samples
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<AppProcess> app;
    QDateTime signalled;

    QList<QDateTime> polls() const { return pollTimes(sim->logPath(), selected); }
    // Requests whose reply came before the program was told to end.
    qsizetype answered() const {
        qsizetype n = 0;
        for (const QDateTime& polled : polls())
            if (polled.msecsTo(signalled) > 60)
                ++n;
        return n;
    }
};

class ServerProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(testLockFolder().isEmpty());
        m_server.start();
        m_database = m_server.connectionString(m_server.dataFolder() + "/NUV.GDB");
        const TFbServer::ToolResult made = m_server.createDatabase(m_database);
        ASSERT_EQ(made.exitCode, 0) << made.output.toStdString();
    }

    // The press page or the Marshall/CBR page on COM<port>; the user and the
    // password come from the environment, as the Firebird tools take them.
    std::unique_ptr<Workstation> workstation(const QString& name, int port, bool press,
                                             const QStringList& scenario) {
        auto w = std::make_unique<Workstation>();
        w->dir = m_root.path() + "/" + name;
        QDir().mkpath(w->dir);
        w->selected = press ? "U255" : "U3";
        w->device = press ? kPress : kCbrLoad;
        writeAll(w->dir + "/prjNUV.ini",
                 QStringLiteral("[frmStorage]\r\nlblCom_Caption=%1\r\n"
                                "PageControl1_ActivePage=%2\r\n[database]\r\nDatabase=%3\r\n")
                     .arg(port)
                     .arg(press ? "TabSheet2" : "TabSheet1", m_database)
                     .toLatin1());
        w->sim = std::make_unique<SimProcess>(w->dir, port, scenario);
        return w;
    }

    void startApp(Workstation& w) const {
        QProcessEnvironment env;
        env.insert("ISC_USER", m_server.user());
        env.insert("ISC_PASSWORD", m_server.password());
        w.app = std::make_unique<AppProcess>(w.dir, env);
    }

    static void end(Workstation& w) {
        w.signalled = QDateTime::currentDateTime();
        w.app->signal(SIGTERM);
        ASSERT_TRUE(w.app->process().waitForFinished(10000)) << w.dir.toStdString();
        EXPECT_EQ(w.app->process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(w.app->process().exitCode(), 0)
            << w.app->process().readAllStandardError().toStdString();
    }

    // What another workstation reads from the server.
    QList<QList<QVariant>> rows(const QString& sql) const {
        return selectRows(m_database, m_server.user(), m_server.password(), sql);
    }
    int number(const QString& sql) const { return rows(sql).value(0).value(0).toInt(); }

    int samples(int device) const {
        return number(QStringLiteral("select count(*) from mes_de where dev_id = %1").arg(device));
    }
    QList<int> runs(int device) const {
        QList<int> out;
        for (const auto& r : rows(QStringLiteral("select mes_id from mes where dev_id = %1 "
                                                 "order by mes_id")
                                      .arg(device)))
            out.append(r[0].toInt());
        return out;
    }

    // The one run of a workstation holds a sample for every request answered
    // before its end, and no more than it was asked; a Marshall/CBR sample is
    // a load and a deformation.
    void expectEveryRequestRecorded(const Workstation& w) const {
        const QList<int> own = runs(w.device);
        ASSERT_EQ(own.size(), 1) << w.dir.toStdString();
        ASSERT_GT(w.answered(), 5) << w.dir.toStdString();
        const int stored =
            number(QStringLiteral("select count(*) from mes_de where mes_id = %1 and dev_id = %2")
                       .arg(own[0])
                       .arg(w.device));
        EXPECT_GE(stored, w.answered()) << w.dir.toStdString();
        EXPECT_LE(stored, w.polls().size()) << w.dir.toStdString();
        EXPECT_EQ(samples(w.device), stored) << "samples outside the run";
        if (w.device == kCbrLoad) {
            EXPECT_EQ(samples(kCbrDeformation), stored);
        }
    }

    // How often consecutive sample ids change run: the generators hand out
    // ids to both workstations in turn.
    int runChanges() const {
        int changes = 0;
        QVariant last;
        for (const auto& r : rows("select mes_id from mes_de order by mes_de_id")) {
            if (last.isValid() && r[0] != last)
                ++changes;
            last = r[0];
        }
        return changes;
    }

    // The moments of a device's samples, in the order of their ids.
    QList<QDateTime> moments(int device) const {
        QList<QDateTime> out;
        for (const auto& r : rows(QStringLiteral("select date_effect from mes_de where "
                                                 "dev_id = %1 order by mes_de_id")
                                      .arg(device)))
            out.append(r[0].toDateTime());
        return out;
    }
    static qsizetype pollsBefore(const Workstation& w, const QDateTime& moment) {
        qsizetype n = 0;
        for (const QDateTime& polled : w.polls())
            if (polled.msecsTo(moment) > 60)
                ++n;
        return n;
    }
    // Moments that fall in the whole second from `second` on; samples are
    // stored in whole seconds.
    static int inSecond(const QList<QDateTime>& moments, const QDateTime& second) {
        const QDateTime from = second.addMSecs(-second.time().msec());
        int n = 0;
        for (const QDateTime& m : moments)
            if (m >= from && m < from.addSecs(1))
                ++n;
        return n;
    }

    QString gfix() const {
        const TFbServer::ToolResult check =
            m_server.runTool(QStringLiteral("gfix"), {"-v", "-full", "-n", m_database});
        EXPECT_EQ(check.exitCode, 0);
        return check.output.trimmed();
    }

    TFbServer m_server;
    QString m_database;
    QTemporaryDir m_root;
};

bool pollsReach(const Workstation& w, qsizetype n) {
    return waitFor([&] { return w.polls().size() >= n; }, 15000);
}

TEST_F(ServerProcessTest, TwoWorkstationsRecordIntoOneDatabaseAtOnce) {
    auto press = workstation("press", 5, true, kLongPress);
    auto cbr = workstation("cbr", 6, false, kLongCbr);
    QThread::msleep(1000); // both ramps past their thresholds
    startApp(*press);
    startApp(*cbr);
    ASSERT_TRUE(pollsReach(*press, 15));
    ASSERT_TRUE(pollsReach(*cbr, 10));
    QThread::msleep(700);
    end(*press);
    end(*cbr);

    expectEveryRequestRecorded(*press);
    expectEveryRequestRecorded(*cbr);
    EXPECT_GT(runChanges(), 10) << "the two recordings did not overlap";
    EXPECT_EQ(number("select count(*) from mes"), 2);
    EXPECT_EQ(number("select count(*) from mes_de d where not exists "
                     "(select 1 from mes m where m.mes_id = d.mes_id)"),
              0);
    for (const auto* w : {press.get(), cbr.get()})
        EXPECT_FALSE(QFile::exists(w->dir + "/prjNUV.log"))
            << readAll(w->dir + "/prjNUV.log").toStdString();
}

TEST_F(ServerProcessTest, ServerKilledMidRunAndRestartedLosesNoSample) {
    auto press = workstation("press", 5, true, kLongPress);
    auto cbr = workstation("cbr", 6, false, kLongCbr);
    QThread::msleep(1000);
    startApp(*press);
    startApp(*cbr);
    ASSERT_TRUE(pollsReach(*press, 10));
    ASSERT_TRUE(pollsReach(*cbr, 6));

    m_server.kill();
    const QDateTime killed = QDateTime::currentDateTime();
    QThread::msleep(4000);
    m_server.restart();
    const QDateTime back = QDateTime::currentDateTime();
    // What was held is written without anyone doing anything.
    EXPECT_TRUE(waitFor(
        [&] {
            return samples(kPress) >= pollsBefore(*press, back) &&
                   samples(kCbrLoad) >= pollsBefore(*cbr, back);
        },
        10000))
        << samples(kPress) << " of " << pollsBefore(*press, back);
    std::printf("held samples written %lld ms after the server's return\n",
                static_cast<long long>(back.msecsTo(QDateTime::currentDateTime())));
    QThread::msleep(1000);
    end(*press);
    end(*cbr);

    for (const Workstation* w : {press.get(), cbr.get()}) {
        expectEveryRequestRecorded(*w);
        // The held samples keep the moments of their requests, in order.
        const QList<QDateTime> stamped = moments(w->device);
        EXPECT_TRUE(std::is_sorted(stamped.begin(), stamped.end())) << w->dir.toStdString();
        for (QDateTime second = killed.addSecs(1); second < back.addSecs(-1);
             second = second.addSecs(1))
            EXPECT_NEAR(inSecond(stamped, second), inSecond(w->polls(), second), 1)
                << w->dir.toStdString() << " " << second.toString().toStdString();
        // The outage is in the log, the password is not.
        const QByteArray log = readAll(w->dir + "/prjNUV.log");
        EXPECT_TRUE(log.contains("commErr")) << log.toStdString();
        EXPECT_FALSE(log.contains(m_server.password().toLatin1()));
    }
    EXPECT_EQ(gfix(), QString());
}

TEST_F(ServerProcessTest, SeriesSavedWhileRecordingGoesOnIsSavedWhole) {
    // Short press tests, one after another, and one long Marshall/CBR test.
    auto press =
        workstation("press", 5, true,
                    {"--scenario", "press", "--rate", "30", "--peak", "60", "--pause", "0.5"});
    auto cbr = workstation("cbr", 6, false, kLongCbr);
    QThread::msleep(1000);
    startApp(*press);
    startApp(*cbr);
    ASSERT_TRUE(waitFor([&] { return runs(kPress).size() >= 3; }, 25000));

    // A third desk groups the finished press runs, its transaction open for
    // a while as the recordings go on.
    TIBDatabase desk;
    desk.DatabaseName = m_database;
    desk.UserName = m_server.user();
    desk.Password = m_server.password();
    desk.Open();
    execSql(desk, "insert into obekt(obekt_id, ime) values (gen_id(gen_obekt_id, 1), 'Мост 3')");
    const int object = selectRows(desk, "select max(obekt_id) from obekt")[0][0].toInt();
    const QList<int> finished = runs(kPress).mid(0, 2);
    const int finishedSamples =
        number(QStringLiteral("select count(*) from mes_de where mes_id in (%1, %2)")
                   .arg(finished[0])
                   .arg(finished[1]));
    const int cbrBefore = samples(kCbrLoad);
    TIBTransaction tr(desk);
    TIBQuery q(desk, tr);
    int series = 0;
    {
        TTransactionGuard guard(tr);
        series = TSeriesSave::save(q, QDate::currentDate(), "Плочи, втори етаж", 4, object,
                                   {finished[0], finished[1]});
        QThread::msleep(1500);
        guard.commit();
    }
    EXPECT_GT(samples(kCbrLoad), cbrBefore) << "the recording waited for the series";
    const int runsAtSave = int(runs(kPress).size());
    ASSERT_TRUE(waitFor([&] { return runs(kPress).size() > runsAtSave; }, 15000));
    QThread::msleep(500);
    end(*press);
    end(*cbr);

    const auto saved = rows(QStringLiteral("select komentar, multiplier_id, obekt_id from "
                                           "mes_group where mes_group_id = %1")
                                .arg(series));
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0][0].toString(), "Плочи, втори етаж");
    EXPECT_EQ(saved[0][1].toInt(), 4);
    EXPECT_EQ(saved[0][2].toInt(), object);
    EXPECT_EQ(
        number(QStringLiteral("select count(*) from mes where mes_group_id = %1").arg(series)), 2);
    for (int run : finished)
        EXPECT_EQ(number(QStringLiteral("select mes_group_id from mes where mes_id = %1").arg(run)),
                  series);
    EXPECT_EQ(number("select count(*) from mes where mes_group_id is null"),
              runs(kPress).size() - 2 + 1);
    EXPECT_EQ(number(QStringLiteral("select count(*) from mes_de where mes_id in (%1, %2)")
                         .arg(finished[0])
                         .arg(finished[1])),
              finishedSamples);
    // Every press run has its samples, those after the save included, and
    // the long test lost nothing.
    EXPECT_EQ(number("select count(*) from mes m where m.dev_id = 1 and not exists "
                     "(select 1 from mes_de d where d.mes_id = m.mes_id)"),
              0);
    expectEveryRequestRecorded(*cbr);
    for (const auto* w : {press.get(), cbr.get()})
        EXPECT_FALSE(QFile::exists(w->dir + "/prjNUV.log"))
            << readAll(w->dir + "/prjNUV.log").toStdString();
}

} // namespace
