#include "results/TSeriesSave.h"

#include "db/dmmainU.h"
#include "testsupport/GTestQt.h"
#include "testsupport/TestDatabase.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(TSeriesSave, ChecksInTheirOrder) {
    EXPECT_EQ(TSeriesSave::check("", std::nullopt, std::nullopt), "Моля попълнете Коментар!!!");
    EXPECT_EQ(TSeriesSave::check(" ", std::nullopt, 1), "Моля Изберете Тип на измерването!!!");
    EXPECT_EQ(TSeriesSave::check("c", 1, std::nullopt), "Моля Изберете Обект!!!");
    EXPECT_EQ(TSeriesSave::check(QString(251, 'a'), 1, 1), "Коментарът е по-дълъг от 250 знака!!!");
    EXPECT_FALSE(TSeriesSave::check(QString(250, 'a'), 1, 1));
    EXPECT_EQ(TSeriesSave::runIds({7, 3, QVariant(), "x", 9}), QList<int>({7, 3, 9}));
}

namespace {

class SeriesSaveDb : public ::testing::Test {
protected:
    void SetUp() override {
        const QString path = m_dir.path() + "/NUV.GDB";
        makeTestDatabase(path);
        m_dm.dbNUV.DatabaseName = path;
        m_dm.dbNUV.Open();
        execSql(m_dm.dbNUV, "insert into obekt(obekt_id, ime) values(?, ?)", {}, {5, "Обект"});
    }
    QList<QList<QVariant>> rows(const QString& sql) { return selectRows(m_dm.dbNUV, sql); }

    QTemporaryDir m_dir;
    TdmMain m_dm;
};

// The server refuses "in" lists of more than 1,499 values; a series of 3,000
// runs is saved all the same, in one transaction, with the comment as typed.
TEST_F(SeriesSaveDb, AnyNumberOfRunsInOneTransaction) {
    const int kRuns = 3000;
    {
        TIBTransaction tr(m_dm.dbNUV);
        TIBQuery q(m_dm.dbNUV, tr);
        for (int id = 1; id <= kRuns + 1; ++id) {
            q.setSQL("insert into mes(mes_id, dev_id) values(?, 1)");
            q.setParams({id});
            q.ExecSQL();
        }
        tr.Commit();
    }
    QList<QVariant> ids;
    for (int id = 1; id <= kRuns; ++id)
        ids.append(id);
    ids.append(QVariant()); // an emptied cell of the selection matches nothing
    const QString comment = "O'Brien %1 '); drop table mes; --";
    const int series = TSeriesSave::save(m_dm.qryDelete, QDate(2026, 12, 9), comment, 4, 5, ids);
    EXPECT_TRUE(m_dm.trDelete.InTransaction()); // committed by the caller
    // Nothing is visible to anyone else before the commit.
    EXPECT_EQ(rows("select count(*) from mes where mes_group_id is not null")[0][0].toInt(), 0);
    m_dm.trDelete.Commit();

    EXPECT_EQ(
        rows(QString("select count(*) from mes where mes_group_id = %1").arg(series))[0][0].toInt(),
        kRuns);
    EXPECT_TRUE(rows("select mes_group_id from mes where mes_id = 3001")[0][0].isNull());
    const auto saved = rows("select date_effect, komentar, multiplier_id, obekt_id from mes_group");
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0][0].toDateTime(), QDateTime(QDate(2026, 12, 9), QTime(0, 0)));
    EXPECT_EQ(saved[0][1].toString(), comment);
    EXPECT_EQ(saved[0][2].toInt(), 4);
    EXPECT_EQ(saved[0][3].toInt(), 5);
}

// A failure on the way leaves the whole save to the caller's rollback.
TEST_F(SeriesSaveDb, AFailedSaveAndADeletion) {
    addRun(m_dm.dbNUV, 1, QVariant(), 1, QDateTime(QDate(2026, 12, 9), QTime(9, 0)),
           {{0, 1.0, 1}, {300, 2.0, 1}});
    addRun(m_dm.dbNUV, 2, QVariant(), 1, QDateTime(QDate(2026, 12, 9), QTime(9, 5)), {{0, 1.0, 1}});
    // No object 99: the series insert is refused.
    EXPECT_THROW(TSeriesSave::save(m_dm.qryDelete, QDate(2026, 12, 9), "c", 4, 99, {1, 2}),
                 EDatabaseError);
    m_dm.trDelete.Rollback();
    EXPECT_EQ(rows("select count(*) from mes_group")[0][0].toInt(), 0);

    TSeriesSave::deleteRun(m_dm.qryDelete, 1);
    m_dm.trDelete.Commit();
    EXPECT_EQ(rows("select count(*) from mes_de where mes_id = 1")[0][0].toInt(), 0);
    EXPECT_EQ(rows("select mes_id from mes"), QList<QList<QVariant>>({{2}}));
    EXPECT_EQ(rows("select count(*) from mes_de where mes_id = 2")[0][0].toInt(), 1);
}

} // namespace
