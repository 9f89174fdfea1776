#include "trace/TfrmDeletedRuns.h"
#include "core/TClock.h"
#include "db/TQueryModel.h"
#include "testsupport/Child.h"
#include "testsupport/DeletedRuns.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/GTestQt.h"
#include "testsupport/WindowDbTest.h"
#include "widgets/TDBGrid.h"

#include <QPushButton>

namespace {

const QDateTime kNow(QDate(2026, 3, 14), QTime(12, 0, 0));

class DeletedRunsTest : public WindowDbTest {
protected:
    void SetUp() override {
        openDatabaseWithObject();
        for (int series : {7, 8})
            execSql(m_dm.dbNUV,
                    QString("insert into mes_group(mes_group_id, date_effect, obekt_id, "
                            "multiplier_id) values(%1, '2026-03-01', 1, 1)")
                        .arg(series));
        addRun(m_dm.dbNUV, 1, 7, 1, kNow.addDays(-20),
               {{0, 10.0, 1}, {500, 120.5, 1}, {900, 3, 1}});
        addRun(m_dm.dbNUV, 2, 8, 2, kNow.addDays(-19), {{0, 1.0, 2}, {0, 0.5, 3}});
    }

    QList<QList<QVariant>> living() {
        return selectRows(m_dm.dbNUV,
                          "select m.mes_id, m.mes_group_id, m.dt_start, m.dev_id, d.mes_de_id, "
                          "d.mes_value, d.date_effect, d.dev_id, d.speed from mes m join mes_de d "
                          "on d.mes_id = m.mes_id order by d.mes_de_id");
    }
    int count(const char* sql) { return selectRows(m_dm.dbNUV, sql)[0][0].toInt(); }

    std::unique_ptr<TfrmDeletedRuns> open() {
        auto w = std::make_unique<TfrmDeletedRuns>(m_paths, m_dm, TFormats(QLocale::c()));
        w->show();
        return w;
    }
    static QString cell(TfrmDeletedRuns& w, int row, int column) {
        return static_cast<TQueryModel*>(child<TDBGrid>(w, "DBGrid1")->model())->text(row, column);
    }

    TFixedClock m_clock{kNow};
    TClock::Replacement m_useClock{m_clock};
    FakeMessages m_messages;
};

// Both runs come back with every sample as it was; the one whose series was
// deleted meanwhile comes back without one, and the operator is told.
TEST_F(DeletedRunsTest, RestoredRunsComeBackWholeWithTheirSeries) {
    const auto before = living();
    deleteRunToBin(m_dm.dbNUV, 1, {kNow.addDays(-2), "ivan", "lab-1", "грешна проба"});
    deleteRunToBin(m_dm.dbNUV, 2, {kNow.addDays(-1), "maria", "lab-2", "повторено"});
    execSql(m_dm.dbNUV, "delete from mes_group where mes_group_id = 8");
    ASSERT_TRUE(living().isEmpty());

    auto w = open();
    auto* grid = child<TDBGrid>(*w, "DBGrid1");
    ASSERT_EQ(grid->model()->rowCount(), 2);
    const QStringList newest{cell(*w, 0, 0), cell(*w, 0, 2), cell(*w, 0, 3),
                             cell(*w, 0, 5), cell(*w, 0, 6), cell(*w, 0, 7)};
    EXPECT_EQ(newest, QStringList({"2", "CBR-MARSHALL", "2", "maria", "lab-2", "повторено"}));
    EXPECT_EQ(cell(*w, 1, 0), "1");

    child<QPushButton>(*w, "btnRestore")->click(); // the current row: run 2
    EXPECT_EQ(m_messages.reasonAsked, QStringList{"Възстановяване на измерване"});
    ASSERT_EQ(m_messages.infos.size(), 1);
    EXPECT_TRUE(m_messages.infos[0].contains("без серия: серия 8"))
        << m_messages.infos[0].toStdString();
    ASSERT_EQ(grid->model()->rowCount(), 1);
    child<QPushButton>(*w, "btnRestore")->click();
    EXPECT_EQ(m_messages.infos.size(), 1); // into its series: nothing to say
    EXPECT_TRUE(m_messages.errors.isEmpty()) << m_messages.errors.join("|").toStdString();
    EXPECT_EQ(grid->model()->rowCount(), 0);
    EXPECT_FALSE(child<QPushButton>(*w, "btnRestore")->isEnabled());

    auto expected = before;
    for (auto& row : expected)
        if (row[0].toInt() == 2)
            row[1] = QVariant();
    EXPECT_EQ(living(), expected);
    EXPECT_EQ(count("select count(*) from mes_de_bin"), 0);
    EXPECT_EQ(
        selectRows(m_dm.dbNUV, "select action, reason from audit_trail where action = '" +
                                   TTrace::kRunRestored + "' order by audit_id"),
        (QList<QList<QVariant>>{{TTrace::kRunRestored, "проба"}, {TTrace::kRunRestored, "проба"}}));
}

// A purge erases only what was deleted long enough ago, and only after the
// age, a reason and "Да"; giving any of them up changes nothing.
TEST_F(DeletedRunsTest, PurgeNeedsAgeReasonAndYes) {
    deleteRunToBin(m_dm.dbNUV, 1, {kNow.addDays(-400), "ivan", "lab-1", "стара"});
    deleteRunToBin(m_dm.dbNUV, 2, {kNow.addDays(-10), "ivan", "lab-1", "нова"});
    auto w = open();
    struct Case {
        const char* what;
        std::optional<int> age;
        QStringList reasons;
        QList<bool> answers;
        int questionsAsked;
    };
    const Case refused[] = {
        {"no age", std::nullopt, {}, {}, 0},
        {"escape at the reason", 365, {""}, {}, 0},
        {"no at the question", 365, {"стари"}, {false}, 1},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        m_messages.questions.clear();
        w->askAge = [&](QWidget*) { return c.age; };
        m_messages.reasons = c.reasons;
        m_messages.answers = c.answers;
        child<QPushButton>(*w, "btnPurge")->click();
        EXPECT_EQ(m_messages.questions.size(), c.questionsAsked);
        EXPECT_EQ(count("select count(*) from mes_bin"), 2);
        EXPECT_EQ(count("select count(*) from mes_de_bin"), 5);
        EXPECT_EQ(count("select count(*) from audit_trail"), 2); // the two deletions
    }
    EXPECT_TRUE(m_messages.infos.isEmpty());

    w->askAge = [](QWidget*) { return 500; }; // nothing that old: said, nothing asked
    child<QPushButton>(*w, "btnPurge")->click();
    ASSERT_EQ(m_messages.infos.size(), 1);
    EXPECT_TRUE(m_messages.infos[0].startsWith("Няма измервания, изтрити преди повече от 500 дни"));

    w->askAge = [](QWidget*) { return 365; };
    m_messages.reasons = {"стари"};
    m_messages.answers = {true};
    child<QPushButton>(*w, "btnPurge")->click();
    EXPECT_EQ(m_messages.infos.last(), "Окончателно изтрити измервания: 1.");
    EXPECT_EQ(selectRows(m_dm.dbNUV, "select mes_id from mes_bin"), (QList<QList<QVariant>>{{2}}));
    EXPECT_EQ(count("select count(*) from mes_de_bin"), 2);
    EXPECT_EQ(child<TDBGrid>(*w, "DBGrid1")->model()->rowCount(), 1);
    EXPECT_EQ(selectRows(m_dm.dbNUV, "select action, reason from audit_trail where action = '" +
                                         TTrace::kRunPurged + "'"),
              (QList<QList<QVariant>>{{TTrace::kRunPurged, "стари"}}));
    EXPECT_TRUE(m_messages.errors.isEmpty()) << m_messages.errors.join("|").toStdString();
}

} // namespace
