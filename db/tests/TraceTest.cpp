#include "core/TRunSeal.h"
#include "db/TIBQuery.h"
#include "db/TTrace.h"
#include "db/dmmainU.h"
#include "testsupport/GTestQt.h"
#include "testsupport/TestDatabase.h"

#include <QProcess>
#include <QTemporaryDir>

#include <bit>

#include <gtest/gtest.h>

namespace {

class TraceTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = m_dir.path() + "/NUV.GDB";
        makeTestDatabase(m_path);
        m_dm.dbNUV.DatabaseName = m_path;
        m_dm.setClock(m_now);
        m_dm.setContextSource(&m_context);
        m_dm.dbNUV.Open();
    }

    QList<QList<QVariant>> rows(const QString& sql) { return selectRows(m_dm.dbNUV, sql); }

    // A press run of three samples, ended (sealed).
    int recordRun() {
        m_context.setPress(m_now.now(), {52.2, 26.2, 5.2, -1.5});
        const int id = m_dm.StartRun(1);
        for (double v : {10.0, 812.4, 3.25}) {
            m_now.advance(100);
            m_dm.AddSample(id, 1, v, v / 10);
        }
        m_dm.EndRun(id);
        return id;
    }

    QString storedSeal(int id) {
        return rows(QString("select seal from run_context where mes_id = %1").arg(id))
            .value(0)
            .value(0)
            .toString();
    }

    // What the grouping window's deletion runs after moving the run.
    static void erase(TIBQuery& q, int id) {
        for (const char* sql : {"delete from mes_de where mes_id = ?", "delete from mes where mes_id = ?"}) {
            q.setSQL(sql);
            q.setParams({id});
            q.ExecSQL();
        }
    }

    // Rows through a connection of another program.
    void tamper(const QString& sql) { execSql(m_dm.dbNUV, sql); }

    QTemporaryDir m_dir;
    QString m_path;
    TdmMain m_dm;
    TFixedClock m_now{QDateTime(QDate(2026, 3, 14), QTime(10, 21, 7))};
    TRunContextSource m_context{"9.9-test"};
};

TEST_F(TraceTest, ARunCarriesItsContextAndASealThatShowsAnyChange) {
    ASSERT_TRUE(m_dm.traced()) << m_dm.traceProblem().toStdString();
    const int id = recordRun();
    const auto c = rows(QString("select operator_login, workstation, program_version, "
                                "database_name, upp, downn, maxstart, zero_offset, seal_samples "
                                "from run_context where mes_id = %1")
                            .arg(id));
    ASSERT_EQ(c.size(), 1);
    EXPECT_EQ(c[0][0].toString(), TRunContextSource::loginName());
    EXPECT_EQ(c[0][1].toString(), TRunContextSource::hostName());
    EXPECT_EQ(c[0][2].toString(), "9.9-test");
    EXPECT_EQ(c[0][3].toString(), m_path);
    EXPECT_EQ(c[0][4].toDouble(), 52.2);
    EXPECT_EQ(c[0][5].toDouble(), 26.2);
    EXPECT_EQ(c[0][6].toDouble(), 5.2);
    EXPECT_EQ(c[0][7].toDouble(), -1.5);
    EXPECT_EQ(c[0][8].toInt(), 3);

    const QString seal = storedSeal(id);
    ASSERT_EQ(seal.size(), 64);
    TIBTransaction tr(m_dm.dbNUV);
    TIBQuery q(m_dm.dbNUV, tr);
    EXPECT_EQ(TTrace::computeSeal(q, id).hex, seal);
    // A second end changes nothing; a sealed context cannot be rewritten.
    m_dm.EndRun(id);
    EXPECT_EQ(storedSeal(id), seal);
    EXPECT_ANY_THROW(tamper(QString("update run_context set seal = null where mes_id = %1").arg(id)));
    EXPECT_ANY_THROW(tamper(QString("delete from run_context where mes_id = %1").arg(id)));

    // One bit of one stored value, and a second's shift of one time.
    const double flipped = std::bit_cast<double>(std::bit_cast<quint64>(812.4) ^ 1u);
    tamper(QString("update mes_de set mes_value = %1 where mes_id = %2 and mes_value > 800")
               .arg(QString::number(flipped, 'g', 17))
               .arg(id));
    tr.Commit();
    EXPECT_NE(TTrace::computeSeal(q, id).hex, seal);
}

TEST_F(TraceTest, TheAuditTrailOnlyGrows) {
    TIBTransaction tr(m_dm.dbNUV);
    TIBQuery q(m_dm.dbNUV, tr);
    tr.StartTransaction();
    TTrace::audit(q, m_now.now(), {TTrace::kZeroing, "0", "-12.5", QString()});
    tr.Commit();
    const auto entry = rows("select login, workstation, action, before_text, after_text, "
                            "at_moment from audit_trail");
    ASSERT_EQ(entry.size(), 1);
    EXPECT_EQ(entry[0][0].toString(), TRunContextSource::loginName());
    EXPECT_EQ(entry[0][2].toString(), TTrace::kZeroing);
    EXPECT_EQ(entry[0][4].toString(), "-12.5");
    EXPECT_EQ(entry[0][5].toDateTime(), m_now.now());
    // Not even the database's owner changes or deletes an entry.
    m_dm.dbNUV.Close();
    for (const char* sql : {"update audit_trail set reason = 'x'", "delete from audit_trail"}) {
        const QString out = isql(m_path, QString(sql) + ";\ncommit;\n");
        EXPECT_TRUE(out.contains("append-only")) << sql << out.toStdString();
    }
    m_dm.dbNUV.Open();
    EXPECT_EQ(rows("select count(*) from audit_trail")[0][0].toInt(), 1);
}

// Deleted runs leave every table the windows read, come back whole with their
// seal, and go for good only through a purge; each step is in the trail.
TEST_F(TraceTest, ADeletedRunComesBackWholeIntoItsSeries) {
    const int id = recordRun();
    execSql(m_dm.dbNUV, "insert into mes_group(mes_group_id, date_effect, komentar) values(7, "
                        "'2026-03-14', 'серия')");
    tamper(QString("update mes set mes_group_id = 7 where mes_id = %1").arg(id));
    const QString seal = storedSeal(id);
    const auto samples = [&] {
        return rows(QString("select mes_de_id, mes_value, date_effect, dev_id, speed from mes_de "
                            "where mes_id = %1 order by mes_de_id")
                        .arg(id));
    };
    const auto before = samples();

    TIBTransaction tr(m_dm.dbNUV);
    TIBQuery q(m_dm.dbNUV, tr);
    const auto step = [&](const std::function<void()>& f) {
        tr.StartIfInactive();
        f();
        tr.Commit();
    };
    step([&] {
        TTrace::binRun(q, id, {m_now.now(), "ivan", "lab-1", "грешна проба"});
        erase(q, id);
    });
    EXPECT_TRUE(samples().isEmpty());
    EXPECT_EQ(rows("select deleted_by, deleted_on, reason from mes_bin")[0],
              (QList<QVariant>{"ivan", "lab-1", "грешна проба"}));

    bool intoSeries = false;
    step([&] { intoSeries = TTrace::restoreRun(q, id, m_now.now(), QString()); });
    EXPECT_TRUE(intoSeries);
    EXPECT_EQ(samples(), before);
    EXPECT_EQ(rows(QString("select mes_group_id from mes where mes_id = %1").arg(id))[0][0], 7);
    EXPECT_EQ(TTrace::computeSeal(q, id).hex, seal);

    step([&] { TTrace::binRun(q, id, {m_now.now(), "ivan", "lab-1", "отново"}); });
    step([&] {
        erase(q, id);
    });
    int purged = 0;
    step([&] { purged = TTrace::purge(q, m_now.now().addDays(-30), m_now.now(), "стари"); });
    EXPECT_EQ(purged, 0); // deleted today: kept
    step([&] { purged = TTrace::purge(q, m_now.now().addSecs(1), m_now.now(), "стари"); });
    EXPECT_EQ(purged, 1);
    EXPECT_EQ(rows("select count(*) from mes_de_bin")[0][0].toInt(), 0);
    QStringList actions;
    for (const auto& r : rows("select action from audit_trail order by audit_id"))
        actions.append(r[0].toString());
    EXPECT_EQ(actions, (QStringList{TTrace::kRunDeleted, TTrace::kRunRestored, TTrace::kRunDeleted,
                                    TTrace::kRunPurged}));
}

// A database made before the trace records gets them at its first connection.
TEST(TraceSchemaTest, AnOlderDatabaseGetsTheTraceTables) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/OLD.GDB";
    testLockFolder();
    QProcess create;
    create.start("isql-fb", {"-q"});
    create.write(QString("create database '%1' user 'SYSDBA' default character set WIN1251;\n")
                     .arg(path)
                     .toUtf8());
    create.closeWriteChannel();
    ASSERT_TRUE(create.waitForFinished(60000));
    isql(path, "input '" NUV_SOURCE_DIR "/db/schema.sql';\n");
    TdmMain dm;
    dm.dbNUV.DatabaseName = path;
    dm.dbNUV.Open();
    EXPECT_TRUE(dm.traced()) << dm.traceProblem().toStdString();
    EXPECT_EQ(selectRows(dm.dbNUV, "select count(*) from rdb$triggers where rdb$trigger_name "
                                   "starting with 'AUDIT_TRAIL'")[0][0]
                  .toInt(),
              2);
}

} // namespace
