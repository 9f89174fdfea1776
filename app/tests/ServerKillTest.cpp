// A recording through the server's writer while its Firebird server is
// killed (SIGKILL) and started again, over and over. Every other kill comes
// at a commit: a relay in front of the server holds back the server's answer
// to it, and the server is killed once it has answered, so the commit landed
// and the writer never heard of it. The others come at random moments.
// Sample values count up from 1, so a sample stored twice, lost, or put in
// the wrong run shows in the rows. NUV_SERVER_KILLS sets the number of kills
// (10 by default; scripts/server-kills.sh asks for 100).
#include "acquisition/TQueuedRecorder.h"
#include "app/TServerWriter.h"
#include "testsupport/TFbServer.h"
#include "testsupport/TTcpRelay.h"
#include "testsupport/TestDatabase.h"

#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

constexpr int kDevice = 1;
constexpr int kRunLength = 40;
constexpr int kSampleMs = 4;

using Clock = std::chrono::steady_clock;

// Runs of kRunLength samples, one sample every kSampleMs, from a thread of
// its own as the polling hands them over, whatever the server does.
class CountingFeed {
public:
    explicit CountingFeed(TRecording& rec)
        : m_thread([&rec, this](std::stop_token stop) {
              auto next = Clock::now();
              for (int n = 1; !stop.stop_requested(); ++n) {
                  if (n % kRunLength == 1)
                      m_runs.append(rec.StartRun(kDevice));
                  rec.AddSample(m_runs.last(), kDevice, n, 0);
                  m_fed = n;
                  next += std::chrono::milliseconds(kSampleMs);
                  std::this_thread::sleep_until(next);
              }
          }) {}
    int fed() const { return m_fed; }
    QList<int> stop() {
        m_thread.request_stop();
        m_thread.join();
        return m_runs;
    }

private:
    std::atomic<int> m_fed{0};
    QList<int> m_runs; // the recorder's ids, one per run
    std::jthread m_thread;
};

int killsWanted() {
    const int n = qEnvironmentVariableIntValue("NUV_SERVER_KILLS");
    return n > 0 ? n : 10;
}

bool waitFor(const std::function<bool()>& done, int ms, int stepMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < deadline) {
        if (done())
            return true;
        QThread::msleep(stepMs);
    }
    return done();
}

class ServerKillTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_server.start();
        const QString path = m_server.dataFolder() + "/NUV.GDB";
        m_database = m_server.connectionString(path);
        const TFbServer::ToolResult made = m_server.createDatabase(m_database);
        ASSERT_EQ(made.exitCode, 0) << made.output.toStdString();
        m_relay = std::make_unique<TTcpRelay>(m_server.port());
        m_throughRelay = QStringLiteral("127.0.0.1/%1:%2")
                             .arg(m_relay->port())
                             .arg(QFileInfo(path).absoluteFilePath());
    }

    QList<QList<QVariant>> rows(const QString& sql) const {
        return selectRows(m_database, m_server.user(), m_server.password(), sql);
    }
    int number(const QString& sql) const { return rows(sql).value(0).value(0).toInt(); }

    // The writer found the server again: a sample fed after the restart is stored.
    bool caughtUp(int fed) const {
        return waitFor(
            [&] {
                return number(QStringLiteral("select max(mes_value) from mes_de where dev_id = %1")
                                  .arg(kDevice)) > fed;
            },
            30000, 50);
    }
    // What is wrong so far: samples stored more than once, samples among the
    // first `fed` not stored, and run headers without samples below the last
    // run (a header written twice is one).
    int faults(int fed) const {
        const auto r =
            rows(QStringLiteral(
                     "select count(*), count(distinct mes_value) from mes_de where dev_id "
                     "= %1 and mes_value <= %2")
                     .arg(kDevice)
                     .arg(fed))
                .value(0);
        const int emptyRuns = number(
            QStringLiteral("select count(*) from mes m where dev_id = %1 and not exists (select 1 "
                           "from mes_de d where d.mes_id = m.mes_id) and m.mes_id < (select "
                           "max(mes_id) from mes_de)")
                .arg(kDevice));
        const int stored = r.value(0).toInt();
        const int distinct = r.value(1).toInt();
        return (stored - distinct) + (fed - distinct) + emptyRuns;
    }

    // The writer's answer to the next commit is held back, and the server is
    // killed once it has answered: true when that happened in time.
    bool killAtACommit() {
        m_answered = false;
        m_arm = true;
        const bool held = waitFor([&] { return m_answered.load(); }, 5000, 5);
        m_arm = false;
        m_server.kill();
        m_relay->release();
        return held;
    }

    std::unique_ptr<TServerWriter> writer(const TDatabaseSetting& setting) {
        auto w = std::make_unique<TServerWriter>(setting, m_dir.path() + "/prjNUV.log");
        w->AfterMark = [this] {
            if (m_arm.exchange(false))
                m_relay->holdAnswers([this] { m_answered = true; });
        };
        return w;
    }

    TFbServer m_server;
    QString m_database;
    QString m_throughRelay;
    std::unique_ptr<TTcpRelay> m_relay;
    std::atomic<bool> m_arm{false};
    std::atomic<bool> m_answered{false};
    QTemporaryDir m_dir;
};

TEST_F(ServerKillTest, EverySampleIsStoredOnceInItsRunInOrder) {
    const TDatabaseSetting setting{m_throughRelay, true, m_server.user(), m_server.password()};
    auto rec = std::make_unique<TQueuedRecorder>([&] { return writer(setting); });
    auto* random = QRandomGenerator::global();
    const int kills = killsWanted();
    int survived = 0;
    int atCommits = 0;
    int faultsSoFar = 0;
    CountingFeed feed(*rec);
    for (int k = 0; k < kills; ++k) {
        QThread::msleep(random->bounded(50, 400));
        if (k % 2 == 0 && killAtACommit())
            ++atCommits;
        else
            m_server.kill();
        QThread::msleep(random->bounded(0, 200));
        m_server.start();
        const int fed = feed.fed();
        if (!caughtUp(fed))
            continue;
        const int now = faults(fed);
        survived += now == faultsSoFar ? 1 : 0;
        faultsSoFar = now;
    }
    const QList<int> runs = feed.stop();
    const int fed = feed.fed();
    for (int i = 0; i < 30 && !rec->finish(-1); ++i)
        QThread::msleep(200);

    // Every run once with its own samples, in the order they were taken.
    QHash<int, QList<int>> stored;
    int total = 0;
    for (const auto& r : rows(QStringLiteral("select mes_id, mes_value from mes_de where dev_id "
                                             "= %1 order by mes_de_id")
                                  .arg(kDevice))) {
        stored[r[0].toInt()].append(r[1].toInt());
        ++total;
    }
    QHash<int, int> times;
    for (const QList<int>& values : std::as_const(stored))
        for (int v : values)
            ++times[v];
    int twice = 0;
    int missing = 0;
    for (int v = 1; v <= fed; ++v) {
        twice += times.value(v) > 1 ? 1 : 0;
        missing += times.value(v) == 0 ? 1 : 0;
    }
    int misplaced = 0;
    for (int i = 0; i < runs.size(); ++i) {
        QList<int> expected;
        for (int v = i * kRunLength + 1; v <= qMin(fed, (i + 1) * kRunLength); ++v)
            expected.append(v);
        misplaced += stored.value(rec->realId(runs[i])) == expected ? 0 : 1;
    }
    const int storedRuns =
        number(QStringLiteral("select count(*) from mes where dev_id = %1").arg(kDevice));
    const int marks = number(QStringLiteral("select count(*) from rec_batch"));
    rec.reset();
    const int marksAfter = number(QStringLiteral("select count(*) from rec_batch"));
    std::printf("server kills: %d (%d after a commit the writer never heard of), survived: %d; "
                "samples fed: %d, stored: %d, twice: %d, missing: %d; runs: %d, stored: %d, "
                "with wrong samples: %d\n",
                kills, atCommits, survived, fed, total, twice, missing, int(runs.size()),
                storedRuns, misplaced);
    EXPECT_EQ(survived, kills);
    EXPECT_GE(atCommits, kills / 2 - 1);
    EXPECT_EQ(twice, 0);
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(total, fed);
    EXPECT_EQ(misplaced, 0);
    EXPECT_EQ(storedRuns, runs.size());
    EXPECT_EQ(marks, 1);      // one writer, one row
    EXPECT_EQ(marksAfter, 0); // forgotten when the writer ends
}

} // namespace
