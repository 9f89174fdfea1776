// The marks of a recording's batches on the embedded engine: the table made
// when missing, a mark that tells a committed batch from a rolled back one,
// and a database whose REC_BATCH is not ours leaving the marks off.
#include "db/TBatchMarks.h"
#include "core/TEventLog.h"
#include "db/dmmainU.h"
#include "testsupport/TestDatabase.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Log : TEventLog {
    QStringList lines;
    void WriteLog(const QString& m, const QString& tag) override { lines.append(tag + ": " + m); }
};

class BatchMarksTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = m_dir.path() + "/NUV.GDB";
        makeTestDatabase(m_path);
        m_dm.dbNUV.DatabaseName = m_path;
        m_dm.dbNUV.Open();
    }
    // A sample in trThread with its mark, then committed or rolled back.
    void batch(TBatchMarks& marks, qint64 n, bool commit) {
        m_dm.trThread.StartTransaction();
        m_dm.qryThread.setSQL(QString::fromLatin1(TdmMain::kAddSampleSql));
        m_dm.qryThread.setParams({m_run, double(n), QDateTime::currentDateTime(), 1, 0.0});
        m_dm.qryThread.ExecSQL();
        marks.mark(n);
        if (commit)
            m_dm.trThread.Commit();
        else
            m_dm.trThread.Rollback();
    }
    int count(const QString& sql) { return selectRows(m_dm.dbNUV, sql).value(0).value(0).toInt(); }

    QTemporaryDir m_dir;
    QString m_path;
    TdmMain m_dm;
    Log m_log;
    int m_run = 0;
};

TEST_F(BatchMarksTest, AMarkTellsACommittedBatchFromOneThatWasNot) {
    m_run = m_dm.StartRun(1);
    TBatchMarks marks(m_dm.dbNUV, m_dm.trThread, m_log);
    TBatchMarks other(m_dm.dbNUV, m_dm.trThread, m_log);
    // Not prepared on this connection: the batch goes unmarked.
    batch(marks, 1, true);
    EXPECT_FALSE(marks.landed(1));
    marks.prepare();
    EXPECT_TRUE(marks.on()) << m_log.lines.join("\n").toStdString();
    other.prepare();
    EXPECT_EQ(count("select count(*) from rec_batch"), 2);
    batch(marks, 1, true);

    EXPECT_TRUE(marks.landed(1));
    EXPECT_FALSE(other.landed(1)); // another writer's number is not this one's
    batch(marks, 2, false);
    EXPECT_FALSE(marks.landed(2));
    EXPECT_FALSE(marks.landed(3)); // never marked: its commit was never asked for
    batch(other, 1, true);
    batch(marks, 3, true);
    EXPECT_TRUE(marks.landed(3));
    EXPECT_TRUE(other.landed(1));
    EXPECT_EQ(count("select count(*) from mes_de"), 4);

    marks.forget();
    EXPECT_EQ(count("select count(*) from rec_batch"), 1);
    EXPECT_TRUE(m_log.lines.isEmpty()) << m_log.lines.join("\n").toStdString();
    // The program's own tables are what they were.
    TdmMain again;
    again.dbNUV.DatabaseName = m_path;
    EXPECT_NO_THROW(again.dbNUV.Open());
}

// Somebody else's REC_BATCH, or one the user may not write: the batches go on
// unmarked, as they did before there were marks, and the log says so once.
TEST_F(BatchMarksTest, ATableThatIsNotOursLeavesTheMarksOff) {
    m_run = m_dm.StartRun(1);
    execSql(m_dm.dbNUV, "create table rec_batch (something varchar(10))");
    TBatchMarks marks(m_dm.dbNUV, m_dm.trThread, m_log);
    marks.prepare();
    EXPECT_FALSE(marks.on());
    batch(marks, 1, true);
    batch(marks, 2, true);
    EXPECT_FALSE(marks.landed(2));
    EXPECT_EQ(count("select count(*) from mes_de"), 2);
    ASSERT_EQ(m_log.lines.size(), 1);
    EXPECT_TRUE(m_log.lines[0].contains("REC_BATCH")) << m_log.lines[0].toStdString();
}

} // namespace
