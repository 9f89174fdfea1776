#include "FbApi.h"
#include "GTestQt.h"
#include "TestDatabase.h"
#include "dmmainU.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class DmMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = m_dir.path() + "/NUV.GDB";
        makeTestDatabase(m_path);
        m_dm.dbNUV.DatabaseName = m_path;
        m_dm.Now = [this] { return m_now; };
        m_dm.dbNUV.Open();
    }

    QList<QList<QVariant>> rows(const QString& sql) { return selectRows(m_dm.dbNUV, sql); }

    QTemporaryDir m_dir;
    QString m_path;
    TdmMain m_dm;
    QDateTime m_now{QDate(2008, 3, 14), QTime(10, 21, 7)};
};

TEST_F(DmMainTest, RunAndSamplesWithTheirExactStatements) {
    const int id = m_dm.StartRun(1);
    EXPECT_EQ(
        m_dm.qryThread.SQL(),
        QString("insert into mes(mes_id, dev_id, dt_start) values( %1, 1, '2008-03-14 10:21:07' );")
            .arg(id));
    EXPECT_TRUE(m_dm.trMain.InTransaction()); // started by the id request, and left active
    EXPECT_FALSE(m_dm.trThread.InTransaction());

    m_now = m_now.addMSecs(400);
    m_dm.AddSample(id, 1, 12.34, 0.85);
    EXPECT_EQ(
        m_dm.qryThread.SQL(),
        QString("insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, dev_id, speed)  "
                "values(gen_id(gen_mes_de_id,1), %1,12.34, '2008-03-14 10:21:07', 1, 0.85 );")
            .arg(id));
    m_now = m_now.addMSecs(500);
    m_dm.AddSample(id, 1, 0.000003, -2.5);
    EXPECT_TRUE(m_dm.qryThread.SQL().contains(",3E-6, '2008-03-14 10:21:07', 1, -2.5 );"));

    const auto run =
        rows(QString("select mes_group_id, dt_start, dt_stop, dev_id from mes where mes_id = %1")
                 .arg(id));
    ASSERT_EQ(run.size(), 1);
    EXPECT_TRUE(run[0][0].isNull());
    EXPECT_EQ(run[0][1].toDateTime(), QDateTime(QDate(2008, 3, 14), QTime(10, 21, 7)));
    EXPECT_TRUE(run[0][2].isNull()); // DT_STOP is never written
    const auto samples = rows(
        QString(
            "select mes_value, date_effect, speed from mes_de where mes_id = %1 order by mes_de_id")
            .arg(id));
    ASSERT_EQ(samples.size(), 2);
    EXPECT_EQ(samples[0][0].toDouble(), 12.34);
    EXPECT_EQ(samples[1][0].toDouble(), 0.000003);
    EXPECT_EQ(samples[0][1], samples[1][1]); // the same second
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

TEST_F(DmMainTest, FailedInsertLeavesNoRowAndTheNextOneWorks) {
    const int id = m_dm.StartRun(2);
    EXPECT_THROW(m_dm.AddSample(id + 1000, 2, 1.0, 0), EDatabaseError); // no such run
    EXPECT_TRUE(m_dm.trThread.InTransaction());
    m_dm.AddSample(id, 2, 1.5, 0);
    m_dm.AddSample(id, 3, 0.0, 0);
    EXPECT_FALSE(m_dm.trThread.InTransaction());
    const auto samples = rows("select mes_id, dev_id from mes_de order by mes_de_id");
    ASSERT_EQ(samples.size(), 2);
    EXPECT_EQ(samples[0][1].toInt(), 2);
    EXPECT_EQ(samples[1][1].toInt(), 3);
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
