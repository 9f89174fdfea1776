#include "db/FbApi.h"
#include "db/dmmainU.h"
#include "testsupport/GTestQt.h"
#include "testsupport/TestDatabase.h"

#include <QFile>
#include <QTemporaryDir>

#include <limits>

#include <QFileInfo>

#include <csignal>

#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

class DmMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = m_dir.path() + "/NUV.GDB";
        makeTestDatabase(m_path);
        m_dm.dbNUV.DatabaseName = m_path;
        m_dm.setClock(m_now);
        m_dm.dbNUV.Open();
    }

    QList<QList<QVariant>> rows(const QString& sql) { return selectRows(m_dm.dbNUV, sql); }

    QTemporaryDir m_dir;
    QString m_path;
    TdmMain m_dm;
    TFixedClock m_now{QDateTime(QDate(2008, 3, 14), QTime(10, 21, 7))};
};

TEST_F(DmMainTest, RunAndSamplesWithTheirValuesBound) {
    const int id = m_dm.StartRun(1);
    EXPECT_EQ(m_dm.qryThread.SQL(), "insert into mes(mes_id, dev_id, dt_start) values( ?, ?, ? );");
    EXPECT_TRUE(m_dm.trMain.InTransaction()); // started by the id request, and left active
    EXPECT_FALSE(m_dm.trThread.InTransaction());

    m_now.advance(400);
    m_dm.AddSample(id, 1, 12.34, 0.85);
    EXPECT_EQ(m_dm.qryThread.SQL(),
              "insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, dev_id, speed)  "
              "values(gen_id(gen_mes_de_id,1), ?,?, ?, ?, ? );");
    m_now.advance(500);
    m_dm.AddSample(id, 1, 0.000003, -2.5);
    m_dm.AddSample(id, 1, 123456789.123456, 1e-300);

    const auto run =
        rows(QString("select mes_group_id, dt_start, dt_stop, dev_id from mes where mes_id = %1")
                 .arg(id));
    ASSERT_EQ(run.size(), 1);
    EXPECT_TRUE(run[0][0].isNull());
    EXPECT_EQ(run[0][1].toDateTime(), QDateTime(QDate(2008, 3, 14), QTime(10, 21, 7)));
    EXPECT_TRUE(run[0][2].isNull()); // DT_STOP is never written
    EXPECT_EQ(run[0][3].toInt(), 1);
    const auto samples = rows(QString("select mes_value, date_effect, speed, dev_id from mes_de "
                                      "where mes_id = %1 order by mes_de_id")
                                  .arg(id));
    ASSERT_EQ(samples.size(), 3);
    EXPECT_EQ(samples[0][0].toDouble(), 12.34);
    EXPECT_EQ(samples[0][2].toDouble(), 0.85);
    EXPECT_EQ(samples[1][0].toDouble(), 0.000003);
    EXPECT_EQ(samples[1][2].toDouble(), -2.5);
    // Doubles travel bound, so every bit arrives.
    EXPECT_EQ(samples[2][0].toDouble(), 123456789.123456);
    EXPECT_EQ(samples[2][2].toDouble(), 1e-300);
    // Stored timestamps are whole seconds: 10:21:07.400 and .900 are the same second.
    EXPECT_EQ(samples[0][1].toDateTime(), QDateTime(QDate(2008, 3, 14), QTime(10, 21, 7)));
    EXPECT_EQ(samples[0][1], samples[1][1]);
}

// An infinite or undefined value never reaches the database; the recording
// goes on with the next sample.
TEST_F(DmMainTest, NonFiniteValuesAreRefused) {
    const int id = m_dm.StartRun(1);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const auto& [value, speed] : {std::pair{nan, 0.0}, {1.0, inf}, {-inf, 1.0}}) {
        try {
            m_dm.AddSample(id, 1, value, speed);
            FAIL() << value << " " << speed;
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(
                e.message().startsWith(QString("Отчетът към измерване %1 не е записан: ").arg(id)))
                << e.what();
            EXPECT_TRUE(e.message().contains("не е крайно число")) << e.what();
        }
        EXPECT_FALSE(m_dm.trThread.InTransaction());
    }
    m_dm.AddSample(id, 1, 1.5, 0);
    const auto samples = rows("select mes_value from mes_de");
    ASSERT_EQ(samples.size(), 1);
    EXPECT_EQ(samples[0][0].toDouble(), 1.5);

    // The same refusal for any statement that binds such a value.
    m_dm.qryDelete.setSQL("update mes set dev_id = ? where mes_id = ?");
    m_dm.qryDelete.setParams({nan, id});
    EXPECT_THROW(m_dm.qryDelete.ExecSQL(), EDatabaseError);
}

TEST_F(DmMainTest, IdsAreNeverReusedAfterARollback) {
    const int a = m_dm.GenID("mes");
    m_dm.trMain.Rollback();
    const int b = m_dm.GenID("mes");
    const int c = m_dm.GenID("OBEKT");
    EXPECT_GT(b, a);
    EXPECT_GT(c, 0);
    EXPECT_GT(m_dm.GenID("obekt"), c);
}

TEST_F(DmMainTest, MissingProcedureAndMissingDatabase) {
    try {
        m_dm.GenID("nosuch");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.message().startsWith(
            QString::fromUtf8("Грешка при генериране на уникалния номер на таблицаnosuch ")))
            << e.what();
        EXPECT_TRUE(e.message().contains("\r\n"));
        EXPECT_FALSE(e.message().endsWith("."));
    }
    // A run start on a database without NEXT_MES fails the same way, and records nothing.
    m_dm.trMain.Commit();
    m_dm.dbNUV.Close();
    isql(m_path, "drop procedure NEXT_MES; commit;");
    m_dm.dbNUV.Open();
    try {
        m_dm.StartRun(1);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.message().startsWith(
            QString::fromUtf8("Грешка при генериране на уникалния номер на таблицаmes ")));
    }
    EXPECT_TRUE(rows("select * from mes").isEmpty());

    // No database file: the id request tries to connect, and tries again next time.
    TdmMain other;
    other.dbNUV.DatabaseName = m_dir.path() + "/later.gdb";
    EXPECT_THROW(other.dbNUV.Open(), EDatabaseError);
    try {
        other.GenID("mes");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.message().contains("later.gdb")) << e.what();
    }
    makeTestDatabase(m_dir.path() + "/later.gdb");
    EXPECT_GT(other.GenID("mes"), 0);
}

// A refused write is rolled back (nothing of it waits in trThread for a later
// commit) and named in Bulgarian with the engine's text below; the next call
// works once the cause is gone.
TEST_F(DmMainTest, FailedInsertLeavesNoRowAndTheNextOneWorks) {
    const int id = m_dm.StartRun(2);
    try {
        m_dm.AddSample(id + 1000, 2, 1.0, 0); // no such run
        FAIL();
    } catch (const EDatabaseError& e) {
        const QStringList lines = e.message().split("\r\n");
        ASSERT_GE(lines.size(), 2) << e.what();
        EXPECT_EQ(lines[0], QString("Отчетът към измерване %1 не е записан: измерването, към "
                                    "което е отчетът, вече го няма в базата данни.")
                                .arg(id + 1000));
        EXPECT_TRUE(e.message().contains("FK_MES_DE_MES")) << e.what(); // the engine's text
    }
    EXPECT_FALSE(m_dm.trThread.InTransaction());
    // The cause gone (the run exists), the same call works.
    execSql(m_dm.dbNUV, "insert into mes(mes_id, dev_id) values(?, 2)", {}, {id + 1000});
    m_dm.AddSample(id + 1000, 2, 1.0, 0);
    execSql(m_dm.dbNUV, "delete from mes_de where mes_id = ?", {}, {id + 1000});
    m_dm.AddSample(id, 2, 1.5, 0);
    m_dm.AddSample(id, 3, 0.0, 0);
    EXPECT_FALSE(m_dm.trThread.InTransaction());
    const auto samples = rows("select mes_id, dev_id from mes_de order by mes_de_id");
    ASSERT_EQ(samples.size(), 2);
    EXPECT_EQ(samples[0][1].toInt(), 2);
    EXPECT_EQ(samples[1][1].toInt(), 3);
}

// Recording statements written together: all of them or none, and the
// recording goes on afterwards with a commit of its own per call.
TEST_F(DmMainTest, WritesInOneTransactionAreKeptTogetherOrNotAtAll) {
    const int id = m_dm.StartRun(2);
    int kept = 0;
    EXPECT_THROW(m_dm.inOneTransaction([&] {
        m_dm.AddSample(id, 2, 1.0, 0);
        m_dm.StartRun(3);
        m_dm.AddSample(id + 1000, 2, 2.0, 0); // no such run
        ++kept;
    }),
                 EDatabaseError);
    EXPECT_EQ(kept, 0);
    EXPECT_FALSE(m_dm.trThread.InTransaction());
    EXPECT_EQ(rows("select count(*) from mes_de").value(0).value(0).toInt(), 0);
    EXPECT_EQ(rows("select count(*) from mes").value(0).value(0).toInt(), 1);

    int second = 0;
    EXPECT_TRUE(m_dm.inOneTransaction([&] {
        m_dm.AddSample(id, 2, 3.0, 0);
        second = m_dm.StartRun(3);
        m_dm.inOneTransaction([&] { m_dm.AddSample(second, 3, 4.0, 0); });
    }));
    EXPECT_FALSE(m_dm.trThread.InTransaction());
    m_dm.AddSample(id, 2, 5.0, 0);
    const auto samples = rows("select mes_id, mes_value from mes_de order by mes_de_id");
    ASSERT_EQ(samples.size(), 3);
    EXPECT_EQ(samples[0][1].toDouble(), 3.0);
    EXPECT_EQ(samples[1][0].toInt(), second);
    EXPECT_EQ(samples[2][1].toDouble(), 5.0);
}

// The database file cannot grow (a full disk, here a file-size limit): the
// refused write names the cause, and once the file can grow again the next
// run and sample are recorded.
TEST_F(DmMainTest, AFullDiskIsNamedAndRecordingResumesAfterIt) {
    const int id = m_dm.StartRun(1);
    struct sigaction ignore {
    }, before{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &before);
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit limit = old;
    limit.rlim_cur = rlim_t(QFileInfo(m_path).size());
    setrlimit(RLIMIT_FSIZE, &limit);
    // Fill the free pages the file already has until a commit needs more.
    QString failure;
    for (int i = 0; i < 200000 && failure.isEmpty(); ++i) {
        try {
            m_dm.AddSample(id, 1, i, 0);
        } catch (const EDatabaseError& e) {
            failure = e.message();
        }
    }
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &before, nullptr);
    ASSERT_FALSE(failure.isEmpty());
    EXPECT_TRUE(failure.startsWith(QString("Отчетът към измерване %1 не е записан: ").arg(id)))
        << failure.toStdString();
    EXPECT_TRUE(failure.contains("няма място на диска")) << failure.toStdString();
    EXPECT_FALSE(m_dm.trThread.InTransaction());
    const int stored = rows("select count(*) from mes_de")[0][0].toInt();

    const int next = m_dm.StartRun(1);
    m_dm.AddSample(next, 1, 7.5, 0);
    m_dm.AddSample(id, 1, 8.5, 0);
    EXPECT_EQ(rows("select count(*) from mes_de")[0][0].toInt(), stored + 2);
}

TEST_F(DmMainTest, TextTravelsAsWindows1251) {
    const QString name = QString::fromUtf8("Обект „Изток“ 'A' № 5");
    m_dm.qryDelete.setSQL("insert into obekt(obekt_id, ime) values(:id, :ime)");
    m_dm.qryDelete.ParamByName("id", 1);
    m_dm.qryDelete.ParamByName("ime", name);
    m_dm.qryDelete.ExecSQL();
    m_dm.qryDelete.setSQL("insert into obekt(obekt_id, ime) values(2, 'Плевен ''Север''')");
    m_dm.qryDelete.ExecSQL();
    m_dm.trDelete.Commit();
    const auto objects = rows("select ime from obekt order by obekt_id");
    ASSERT_EQ(objects.size(), 2);
    EXPECT_EQ(objects[0][0].toString(), name);
    EXPECT_EQ(objects[1][0].toString(), QString::fromUtf8("Плевен 'Север'"));

    // A character Windows-1251 cannot hold is refused, not stored as '?'.
    m_dm.qryDelete.setSQL("insert into obekt(obekt_id, ime) values(3, :ime)");
    m_dm.qryDelete.ParamByName("ime", QString::fromUtf8("Обект 中"));
    EXPECT_THROW(m_dm.qryDelete.ExecSQL(), EDatabaseError);
    // Too long for the column: the server's message.
    m_dm.qryDelete.ParamByName("ime", QString(101, QChar('x')));
    try {
        m_dm.qryDelete.ExecSQL();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.message().contains("truncation")) << e.what();
    }
    m_dm.trDelete.Rollback();
    EXPECT_EQ(rows("select count(*) from obekt")[0][0].toInt(), 2);
}

TEST_F(DmMainTest, ValuesOfEveryKindTravelBound) {
    const QString sqlLike = "x'); drop table mes; --";
    execSql(m_dm.dbNUV, "insert into obekt(obekt_id, ime) values(?, ?)", {}, {7, sqlLike});
    execSql(m_dm.dbNUV,
            "insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, obekt_id) "
            "values(?, ?, ?, ?, ?)",
            {}, {1, QDate(2026, 12, 9), QVariant(), 1, 7});
    const auto series = rows("select date_effect, komentar, obekt.ime from mes_group join obekt "
                             "on obekt.obekt_id = mes_group.obekt_id");
    ASSERT_EQ(series.size(), 1);
    EXPECT_EQ(series[0][0].toDateTime(), QDateTime(QDate(2026, 12, 9), QTime(0, 0)));
    EXPECT_TRUE(series[0][1].isNull());
    EXPECT_EQ(series[0][2].toString(), sqlLike);

    // Named and positional marks together; a "?" inside quotes is text.
    TIBQuery q(m_dm.dbNUV, m_dm.trMain);
    q.setSQL("select '?' as t, count(*) as n from mes_group "
             "where date_effect = ? and obekt_id = :o and komentar is not distinct from ?");
    q.setParams({QDate(2026, 12, 9), QVariant()});
    q.ParamByName("o", 7);
    q.Open();
    EXPECT_EQ(q.FieldByName("T").toString(), "?");
    EXPECT_EQ(q.FieldByName("N").toInt(), 1);
    q.Close();
    q.setParams({QDateTime(QDate(2026, 12, 9), QTime(0, 0, 1)), QVariant()});
    q.ParamByName("o", 7);
    q.Open();
    EXPECT_EQ(q.FieldByName("N").toInt(), 0);
}

// The engine's refusal has no words for the operator: its own text is the
// cause, and whoever knows what was being done puts the words above it.
TEST_F(DmMainTest, AnEngineRefusalIsACauseWithoutOperatorText) {
    if (!m_dm.trObekt.InTransaction())
        m_dm.trObekt.StartTransaction();
    TIBQuery q(m_dm.dbNUV, m_dm.trObekt);
    q.setSQL("update nosuch set ime = 'x'");
    try {
        q.ExecSQL();
        FAIL();
    } catch (const DatabaseError& e) { // the kind a window catches
        EXPECT_TRUE(e.text().isEmpty()) << e.what();
        EXPECT_TRUE(e.cause().contains("NOSUCH")) << e.what();
        EXPECT_EQ(e.message(), e.cause()); // shown alone, as the engine said it
    }
}

// A refused parameter (a character Windows-1251 cannot hold, a text too long
// for its column) throws before or while the statement runs and leaves no
// handle behind, however often it happens; the next statement works.
TEST_F(DmMainTest, RefusedParametersLeakNothing) {
    const auto failBoth = [this] {
        TIBQuery q(m_dm.dbNUV, m_dm.trObekt);
        q.setSQL("insert into obekt(obekt_id, ime) values(?, ?)");
        q.setParams({1, QString::fromUtf8("Обект 中")});
        EXPECT_THROW(q.ExecSQL(), EDatabaseError);
        q.setParams({1, QString(101, QChar('x'))});
        EXPECT_THROW(q.ExecSQL(), EDatabaseError);
    };
    // The process's data memory: the C library's heap and the engine's own
    // pools, which it maps from the system directly.
    const auto heap = [] {
        QFile statm("/proc/self/statm");
        statm.open(QIODevice::ReadOnly);
        const QList<QByteArray> fields = statm.readAll().split(' ');
        return size_t(fields.value(5).toULongLong()) * size_t(sysconf(_SC_PAGESIZE));
    };
    for (int i = 0; i < 50; ++i)
        failBoth(); // the engine's pools and caches settle first
    const size_t before = heap();
    for (int i = 0; i < 400; ++i)
        failBoth();
    const size_t after = heap();
#ifndef NUV_SANITIZE
    // A statement left behind costs about 28 kB: 400 of them would be 11 MB.
    // (Under the address sanitizer freed memory is held back on purpose, so
    // only the normal build measures it.)
    EXPECT_LT(after, before + 1024 * 1024) << "grew by " << (after - before) << " bytes";
#else
    (void)before;
    (void)after;
#endif
    m_dm.trObekt.Rollback();

    TIBQuery q(m_dm.dbNUV, m_dm.trObekt);
    q.setSQL("insert into obekt(obekt_id, ime) values(?, ?)");
    q.setParams({1, QString::fromUtf8("Обект")});
    q.ExecSQL();
    m_dm.trObekt.Commit();
    EXPECT_EQ(rows("select ime from obekt")[0][0].toString(), QString::fromUtf8("Обект"));
}

TEST_F(DmMainTest, EndingATransactionClosesItsQueries) {
    TIBQuery q(m_dm.dbNUV, m_dm.trMain);
    q.setSQL("select * from multiplier where multi > :m order by multiplier_id");
    q.ParamByName("m", 5.0);
    q.Open();
    EXPECT_TRUE(q.Active());
    EXPECT_EQ(q.RecordCount(), 3);
    EXPECT_EQ(q.FieldByName("ime").toString(), QString::fromUtf8("Куб 150 mm"));
    q.Next();
    EXPECT_EQ(q.FieldByName("MULTI").toDouble(), 10.0);
    m_dm.trMain.Rollback();
    EXPECT_FALSE(q.Active());
    EXPECT_FALSE(m_dm.trMain.InTransaction());
}

TEST_F(DmMainTest, ReadingAgainSeesOwnWritesAndANewSnapshot) {
    TIBQuery reader(m_dm.dbNUV, m_dm.trObekt);
    reader.setSQL("select count(*) as n from obekt");
    reader.Open();
    EXPECT_EQ(reader.FieldByName("n").toInt(), 0);
    reader.Close();
    TIBQuery writer(m_dm.dbNUV, m_dm.trObekt);
    writer.setSQL("insert into obekt(obekt_id, ime) values(1, 'a')");
    writer.ExecSQL();
    reader.Open(); // the same statement after a write in the same transaction
    EXPECT_EQ(reader.FieldByName("n").toInt(), 1);
    m_dm.trObekt.Commit();

    TIBQuery main(m_dm.dbNUV, m_dm.trMain);
    main.setSQL("select count(*) as n from obekt");
    main.Open();
    EXPECT_EQ(main.FieldByName("n").toInt(), 1);
    rows("select 1 from rdb$database"); // another transaction writes meanwhile:
    {
        TIBTransaction other(m_dm.dbNUV);
        TIBQuery w(m_dm.dbNUV, other);
        w.setSQL("insert into obekt(obekt_id, ime) values(2, 'b')");
        w.ExecSQL();
        other.Commit();
    }
    main.Close();
    main.Open(); // same snapshot: still 1
    EXPECT_EQ(main.FieldByName("n").toInt(), 1);
    m_dm.trMain.Rollback();
    main.Open(); // a new snapshot sees it
    EXPECT_EQ(main.FieldByName("n").toInt(), 2);
}

TEST(DmMainFiles, NotADatabaseGivesAClearError) {
    QTemporaryDir dir;
    QFile f(dir.path() + "/NUV.GDB");
    f.open(QIODevice::WriteOnly);
    f.write("this is not a database");
    f.close();
    TdmMain dm;
    dm.dbNUV.DatabaseName = f.fileName();
    try {
        dm.dbNUV.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_FALSE(e.message().isEmpty());
        EXPECT_FALSE(e.message().endsWith("."));
    }
}

} // namespace
