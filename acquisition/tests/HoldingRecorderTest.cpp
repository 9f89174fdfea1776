// The recorder that holds what the database refuses: in order, with each
// operation's own moment, written as soon as the database takes writes again.
// The real case runs the embedded database in a child process under a
// file-size limit, which makes the database file's growth fail as a full disk
// does.
#include "acquisition/THoldingRecorder.h"
#include "core/Exception.h"
#include "db/dmmainU.h"
#include "testsupport/TestDatabase.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Written {
    bool start;
    int run, device;
    double value;
    QDateTime at;
};

// A database that refuses while `refusing` is set.
constexpr double kRejected = 666;

struct FlakyRecorder : TRecorder {
    bool refusing = false;
    int nextId = 100;
    QList<Written> written;
    void refuse() const {
        if (refusing)
            throw Exception(
                "I/O error during \"write\" operation for file \"NUV.GDB\"\n-File too large");
    }
    int StartRun(int) override { throw std::logic_error("a moment must be given"); }
    void AddSample(int, int, double, double) override {
        throw std::logic_error("a moment must be given");
    }
    int StartRunAt(int dev, const QDateTime& at) override {
        refuse();
        written.append({true, nextId, dev, 0, at});
        return nextId++;
    }
    void AddSampleAt(int run, int dev, double v, double, const QDateTime& at) override {
        if (v == kRejected)
            throw Exception(
                "violation of FOREIGN KEY constraint \"FK_MES_DE_MES\" on table \"MES_DE\"");
        refuse();
        written.append({false, run, dev, v, at});
    }
};

struct Log : TEventLog {
    QStringList lines;
    void WriteLog(const QString& m, const QString& tag) override { lines.append(tag + ": " + m); }
};

struct Observer : TRecorderObserver {
    QString cause;
    qsizetype held = -1;
    qint64 dropped = 0;
    int recovered = 0;
    void RecorderFailing(const QString& c, qsizetype h, qint64 d) override {
        cause = c;
        held = h;
        dropped = d;
    }
    void RecorderRecovered() override {
        ++recovered;
        held = -1;
    }
};

// Each reading is 300 ms after the one before.
class TickingClock : public TClock {
public:
    explicit TickingClock(QDateTime start) : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now = m_now.addMSecs(300); }

private:
    mutable QDateTime m_now;
};

class HoldingTest : public ::testing::Test {
protected:
    FlakyRecorder m_db;
    Log m_log;
    Observer m_observer;
    TickingClock m_clock{QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0))};
    THoldingRecorder m_rec{m_db, m_log, m_clock, 50};
};

TEST_F(HoldingTest, RefusedWritesAreHeldInOrderAndWrittenWithTheirMoments) {
    m_rec.setObserver(&m_observer);
    const int first = m_rec.StartRun(1);
    EXPECT_EQ(first, 100);
    m_rec.AddSample(first, 1, 1.0, 0);
    m_db.refusing = true;
    for (int i = 2; i <= 4; ++i)
        m_rec.AddSample(first, 1, i, 0);
    const int second = m_rec.StartRun(1); // provisional while refused
    EXPECT_GE(second, THoldingRecorder::kFirstProvisional);
    for (int i = 5; i <= 7; ++i)
        m_rec.AddSample(second, 1, i, 0);
    EXPECT_TRUE(m_rec.failing());
    EXPECT_EQ(m_observer.held, 6);
    EXPECT_TRUE(m_observer.cause.contains("File too large"));
    EXPECT_FALSE(m_rec.retry()); // still refused
    // One log line for the episode, however many samples were refused.
    ASSERT_EQ(m_log.lines.size(), 1);
    EXPECT_TRUE(m_log.lines[0].startsWith("commErr: ")) << m_log.lines[0].toStdString();

    m_db.refusing = false;
    // Catching up goes in slices: at least one write per try.
    EXPECT_FALSE(m_rec.retry(0));
    EXPECT_EQ(m_db.written.size(), 3);
    EXPECT_EQ(m_observer.held, 5);
    EXPECT_TRUE(m_observer.cause.isEmpty()); // taking writes again
    m_rec.AddSample(second, 1, 8, 0);        // the next sample writes everything first
    EXPECT_FALSE(m_rec.failing());
    EXPECT_EQ(m_observer.recovered, 1);
    ASSERT_EQ(m_db.written.size(), 10);
    for (int i = 1; i < m_db.written.size(); ++i)
        EXPECT_GT(m_db.written[i].at, m_db.written[i - 1].at) << i;
    EXPECT_EQ(m_db.written[5].start, true);
    const int real = m_db.written[5].run;
    EXPECT_EQ(m_rec.realId(second), real);
    QList<double> values;
    for (const Written& w : m_db.written) {
        if (w.start)
            continue;
        values.append(w.value);
        EXPECT_EQ(w.run, w.value < 5 ? first : real);
    }
    EXPECT_EQ(values, (QList<double>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(m_log.lines.size(), 1);

    // A new episode gets its own line.
    m_db.refusing = true;
    m_rec.AddSample(second, 1, 9, 0);
    EXPECT_EQ(m_log.lines.size(), 2);
    // Closing while still refused names what is left.
    EXPECT_FALSE(m_rec.finish(0));
    EXPECT_TRUE(m_log.lines.last().endsWith(QStringLiteral("проби: 1")))
        << m_log.lines.last().toStdString();
}

// A statement the database rejects for itself is never held: held, it
// would block every later write behind it.
TEST_F(HoldingTest, RejectedStatementsGoToTheCallerAndNeverBlockTheQueue) {
    int rolledBack = 0;
    m_rec.AfterFailure = [&] { ++rolledBack; };
    const int run = m_rec.StartRun(1);
    EXPECT_THROW(m_rec.AddSample(run, 1, kRejected, 0), Exception);
    EXPECT_FALSE(m_rec.failing());
    EXPECT_EQ(rolledBack, 1);

    m_db.refusing = true;
    m_rec.AddSample(run, 1, 1, 0);
    m_rec.AddSample(run, 1, kRejected, 0); // held: refused for the disk first
    m_rec.AddSample(run, 1, 2, 0);
    m_db.refusing = false;
    EXPECT_TRUE(m_rec.retry());
    ASSERT_EQ(m_db.written.size(), 3);
    EXPECT_EQ(m_db.written[1].value, 1.0);
    EXPECT_EQ(m_db.written[2].value, 2.0);
    ASSERT_EQ(m_log.lines.size(), 2);
    EXPECT_TRUE(m_log.lines[1].contains("FOREIGN KEY")) << m_log.lines[1].toStdString();
}

// A database with transactions: what a batch wrote is kept at its commit,
// and nothing of it when it fails; the commit itself may be refused.
struct TransactionalRecorder : FlakyRecorder {
    int commits = 0;
    bool refuseCommit = false;
    bool inOneTransaction(const std::function<void()>& writes) override {
        const qsizetype before = written.size();
        try {
            writes();
            if (refuseCommit)
                throw Exception("Error writing data to the connection.");
        } catch (...) {
            written.resize(before);
            throw;
        }
        ++commits;
        return true;
    }
};

// After an outage the held operations go in few transactions, and a batch
// that fails leaves nothing half-written: neither lost nor written twice.
TEST(HoldingRecorderInBatches, FewCommitsNothingLostNothingTwice) {
    TransactionalRecorder db;
    Log log;
    TickingClock clock(QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0)));
    THoldingRecorder rec(db, log, clock);
    db.refusing = true;
    const int first = rec.StartRun(1);
    QList<double> expected;
    for (int i = 0; i < 1200; ++i) {
        rec.AddSample(first, 1, i + 0.5, 0);
        expected.append(i + 0.5);
    }
    const int second = rec.StartRun(2);
    for (int i = 1200; i < 1300; ++i) {
        rec.AddSample(second, 2, i == 1250 ? kRejected : i + 0.5, 0);
        if (i != 1250)
            expected.append(i + 0.5);
    }
    db.refusing = false;
    db.refuseCommit = true; // the connection drops at the commit
    EXPECT_FALSE(rec.retry(-1));
    EXPECT_TRUE(db.written.isEmpty());
    EXPECT_EQ(rec.realId(first), first); // still provisional
    EXPECT_EQ(rec.held(), 1300);

    db.refuseCommit = false;
    EXPECT_TRUE(rec.retry(-1));
    EXPECT_LE(db.commits, 6); // not one per sample
    QList<double> values;
    for (const Written& w : db.written) {
        if (w.start)
            continue;
        values.append(w.value);
        EXPECT_EQ(w.run, rec.realId(w.value < 1200 ? first : second)) << w.value;
    }
    EXPECT_EQ(values, expected);
    EXPECT_EQ(db.written.first().run, rec.realId(first));
    EXPECT_NE(rec.realId(first), first);
    EXPECT_NE(rec.realId(second), second);
    EXPECT_TRUE(log.lines.last().contains("FOREIGN KEY")) << log.lines.last().toStdString();
}

TEST_F(HoldingTest, BeyondTheCapacitySamplesAreCountedAsDroppedButRunsAreKept) {
    m_rec.setObserver(&m_observer);
    int rolledBack = 0;
    m_rec.AfterFailure = [&] { ++rolledBack; };
    m_db.refusing = true;
    const int run = m_rec.StartRun(1);
    for (int i = 0; i < 60; ++i)
        m_rec.AddSample(run, 1, i, 0);
    const int next = m_rec.StartRun(1); // no room: its start waits for its samples
    m_rec.AddSample(next, 1, 99, 0);
    EXPECT_EQ(m_rec.held(), 50);
    EXPECT_EQ(m_observer.dropped, 11);
    EXPECT_GT(rolledBack, 0);
    m_db.refusing = false;
    EXPECT_TRUE(m_rec.retry());
    ASSERT_EQ(m_db.written.size(), 51);
    EXPECT_EQ(m_db.written.last().value, 49.0); // the last held sample of the first run
    EXPECT_TRUE(m_log.lines.last().endsWith(": 11")) << m_log.lines.last().toStdString();
    // The run that had no room starts with its next sample: no run is left empty.
    m_rec.AddSample(next, 1, 100, 0);
    ASSERT_EQ(m_db.written.size(), 53);
    EXPECT_TRUE(m_db.written[51].start);
    EXPECT_EQ(m_db.written[52].run, m_db.written[51].run);
    EXPECT_EQ(m_db.written[52].value, 100.0);
}

// ---- the real database under a file-size limit, in a child process ----

void fill(TdmMain& dm, int fillerRun) {
    // Rows of another run in committed batches, until a batch is refused.
    for (int batch = 0; batch < 2000; ++batch) {
        TIBTransaction tr(dm.dbNUV);
        TIBQuery q(dm.dbNUV, tr);
        q.setSQL(
            (QStringLiteral("execute block as declare i integer = 0; begin while (i < 2000) do "
                            "begin insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, "
                            "dev_id, speed) values(gen_id(gen_mes_de_id,1), %1, 0, "
                            "current_timestamp, 1, 0); i = i + 1; end end")
                 .arg(fillerRun)));
        try {
            q.ExecSQL();
            tr.Commit();
        } catch (const std::exception&) {
            try {
                tr.Rollback();
            } catch (...) {
            }
            return;
        }
    }
    throw std::runtime_error("the database never filled up");
}

void setFileLimit(rlim_t soft) {
    rlimit lim{};
    getrlimit(RLIMIT_FSIZE, &lim);
    lim.rlim_cur = soft;
    if (setrlimit(RLIMIT_FSIZE, &lim) != 0)
        throw std::runtime_error("setrlimit failed");
}

// The child's work; its findings go to `report`, one per line.
int recordUnderALimit(const QString& path, QFile& report) {
    std::signal(SIGXFSZ, SIG_IGN);
    const auto say = [&](const QString& line) { report.write((line + "\n").toUtf8()); };

    TdmMain dm;
    dm.dbNUV.DatabaseName = path;
    dm.dbNUV.Open();
    Log log;
    Observer observer;
    TickingClock clock(QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0)));
    THoldingRecorder rec(dm, log, clock);
    rec.setObserver(&observer);
    rec.AfterFailure = [&] {
        if (dm.trThread.InTransaction())
            dm.trThread.Rollback();
    };

    const int filler = dm.StartRun(1);
    const int before = rec.StartRun(1);
    for (int i = 0; i < 5; ++i)
        rec.AddSample(before, 1, i, 0);

    setFileLimit(QFile(path).size());
    fill(dm, filler);
    say(QStringLiteral("filled"));

    for (int i = 5; i < 100; ++i)
        rec.AddSample(before, 1, i, 0);
    const int during = rec.StartRun(1);
    for (int i = 0; i < 100; ++i)
        rec.AddSample(during, 1, 1000 + i, 0);
    say(QStringLiteral("failing %1 held %2 logged %3")
            .arg(rec.failing())
            .arg(observer.held)
            .arg(log.lines.size()));
    say(QStringLiteral("cause %1").arg(observer.cause.simplified()));

    setFileLimit(RLIM_INFINITY);
    const bool done = rec.retry(-1);
    say(QStringLiteral("written %1 recovered %2 failing %3")
            .arg(done)
            .arg(observer.recovered)
            .arg(rec.failing()));
    say(QStringLiteral("runs %1 %2 %3").arg(before).arg(rec.realId(during)).arg(filler));
    report.flush();
    return 0;
}

QString child(const QString& path, const QString& reportPath) {
    const pid_t pid = fork();
    if (pid == 0) {
        QFile report(reportPath);
        report.open(QIODevice::WriteOnly);
        int rc = 3;
        try {
            rc = recordUnderALimit(path, report);
        } catch (const std::exception& e) {
            report.write(QByteArray("exception ") + e.what() + "\n");
        }
        report.close();
        _exit(rc);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    QFile report(reportPath);
    report.open(QIODevice::ReadOnly);
    return QString::fromUtf8(report.readAll()) +
           QStringLiteral("exit %1").arg(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}

QStringList column(const QString& isqlOutput) {
    QStringList out;
    for (const QString& line : isqlOutput.split('\n')) {
        const QString t = line.simplified();
        if (t.startsWith("V "))
            out.append(t.mid(2));
    }
    return out;
}

TEST(HoldingRecorderOnAFullDisk, EverySampleArrivesInOrderInItsRun) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/NUV.GDB";
    makeTestDatabase(path);
    const QString report = child(path, dir.path() + "/report.txt");
    ASSERT_TRUE(report.endsWith("exit 0")) << report.toStdString();
    ASSERT_TRUE(report.contains("filled")) << report.toStdString();
    // Refused while the file could not grow, held, one log line.
    const QRegularExpressionMatch held =
        QRegularExpression("failing 1 held (\\d+) logged 1\n").match(report);
    ASSERT_TRUE(held.hasMatch()) << report.toStdString();
    EXPECT_GE(held.captured(1).toInt(), 100) << report.toStdString();
    EXPECT_TRUE(report.contains("written 1 recovered 1 failing 0")) << report.toStdString();

    const QRegularExpressionMatch runs =
        QRegularExpression("runs (\\d+) (\\d+) (\\d+)").match(report);
    ASSERT_TRUE(runs.hasMatch());
    const QString before = runs.captured(1), during = runs.captured(2);
    ASSERT_LT(during.toInt(), THoldingRecorder::kFirstProvisional);

    const auto values = [&](const QString& run) {
        return column(isql(path, "set list on; select mes_value as v from mes_de where mes_id = " +
                                     run + " order by mes_de_id;"));
    };
    QStringList expectBefore, expectDuring;
    for (int i = 0; i < 100; ++i) {
        expectBefore.append(QString::number(i));
        expectDuring.append(QString::number(1000 + i));
    }
    const auto asNumbers = [](const QStringList& l) {
        QStringList out;
        for (const QString& v : l)
            out.append(QString::number(v.toDouble()));
        return out;
    };
    EXPECT_EQ(asNumbers(values(before)), expectBefore);
    EXPECT_EQ(asNumbers(values(during)), expectDuring);
    // Each with its own moment: 300 ms apart, in order, the run's start first.
    const QStringList stamps = column(
        isql(path, "set list on; select datediff(millisecond, m.dt_start, d.date_effect) as v "
                   "from mes_de d join mes m on m.mes_id = d.mes_id where d.mes_id = " +
                       during + " order by d.mes_de_id;"));
    ASSERT_EQ(stamps.size(), 100);
    for (int i = 1; i < stamps.size(); ++i)
        EXPECT_GE(stamps[i].toLongLong(), stamps[i - 1].toLongLong()) << i;
    EXPECT_GE(stamps.first().toLongLong(), 0);
    EXPECT_LE(stamps.last().toLongLong(), 100 * 300 + 1000);
    // No run without samples, apart from the filler's.
    EXPECT_EQ(
        column(isql(path, "set list on; select count(*) as v from mes m where not exists "
                          "(select 1 from mes_de d where d.mes_id = m.mes_id) and m.mes_id <> " +
                              runs.captured(3) + ";")),
        QStringList{"0"});
}

} // namespace
