#include "grouping/TfrmGroup.h"
#include "db/TTrace.h"
#include "db/dmmainU.h"
#include "results/TSeriesSave.h"
#include "testsupport/ChartCurves.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/GTestQt.h"
#include "testsupport/TestDatabase.h"
#include "widgets/TDBGrid.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QValueAxis>

#include <gtest/gtest.h>

namespace {

const QDateTime kT0(QDate(2024, 3, 5), QTime(10, 0, 0));

class GroupTest : public ::testing::Test {
protected:
    void exec(const QString& sql, const QList<std::pair<QString, QVariant>>& params = {}) {
        execSql(m_dm.dbNUV, sql, params);
    }
    QList<QList<QVariant>> rows(const QString& sql) { return selectRows(m_dm.dbNUV, sql); }
    void SetUp() override {
        makeTestDatabase(m_paths.database());
        m_dm.dbNUV.DatabaseName = m_paths.database();
        m_dm.dbNUV.Open();
        exec("insert into obekt(obekt_id, ime) values(1, 'Мост')");
        exec("insert into obekt(obekt_id, ime) values(2, 'Път')");
    }

    // A run with samples (ms after the start, value, device).
    void run(int id, int dev, const QList<std::tuple<int, double, int>>& samples) {
        addRun(m_dm.dbNUV, id, QVariant(), dev, kT0, samples);
    }

    std::unique_ptr<TfrmGroup> open() {
        auto w = std::make_unique<TfrmGroup>(m_paths, m_dm, TFormats(QLocale::c()));
        w->show();
        return w;
    }

    void select(TfrmGroup& w, int row) {
        auto* grid = child<TDBGrid>(w, "DBGrid1");
        grid->setCurrentIndex(grid->model()->index(row, 0));
    }

    QTemporaryDir m_dir;
    AppPaths m_paths = AppPaths::in(m_dir.path());
    FakeMessages m_messages;
    TdmMain m_dm;
};

TEST_F(GroupTest, WorkedValuesAndTheRunsAroundThem) {
    run(5, 1, {{0, 10.0, 1}, {30000, 120.0, 1}, {90700, 181.4, 1}, {95000, 20.0, 1}});
    run(6, 1, {{0, 42.0, 1}});                                    // a single sample
    run(7, 1, {});                                                // no samples
    run(8, 1, {{0, 1.0, 1}, {10500, 50.0, 1}, {20000, 50.0, 1}}); // maximum reached twice
    run(9, 7, {{0, 1.0, 1}});                                     // an unknown device
    auto w = open();
    EXPECT_EQ(w->windowTitle(), "Групиране на графики");
    EXPECT_EQ(child<TDBGrid>(*w, "DBGrid1")->model()->rowCount(), 5);
    EXPECT_EQ(w->qryMes.FieldByName("MES_ID").toInt(), 5); // the lowest id is current
    EXPECT_EQ(child<QLabel>(*w, "DBText1")->text(), "181.4");
    EXPECT_EQ(child<QLabel>(*w, "DBText2")->text(), "90");
    EXPECT_EQ(child<QLabel>(*w, "DBText3")->text(), "2.02");
    EXPECT_EQ(w->chartTitle(), "Максимална стойност: 181.40\r\nВреме на измерването : 90 (sec.)\r\n"
                               "Скорост : 2.02");
    EXPECT_EQ(curve(*w, "DBChart1", 0)->count(), 4);
    EXPECT_EQ(w->devName(0), "PLQ-4000");
    EXPECT_EQ(w->devName(4), "");

    select(*w, 1);
    EXPECT_EQ(child<QLabel>(*w, "DBText1")->text(), "42.0");
    EXPECT_EQ(child<QLabel>(*w, "DBText2")->text(), "");
    EXPECT_EQ(child<QLabel>(*w, "DBText3")->text(), "");
    EXPECT_EQ(w->chartTitle(),
              "Максимална стойност: 42.00\r\nВреме на измерването :  (sec.)\r\nСкорост : ");

    select(*w, 2);
    EXPECT_EQ(child<QLabel>(*w, "DBText1")->text(), "");
    EXPECT_EQ(curve(*w, "DBChart1", 0)->count(), 0);
    // A run without samples: no axis keeps the range of the run before, and
    // a line says why the chart is empty.
    const auto* axis = static_cast<QValueAxis*>(curve(*w, "DBChart1", 0)->attachedAxes().last());
    EXPECT_EQ(axis->min(), 0);
    EXPECT_EQ(axis->max(), 1);
    EXPECT_EQ(child<QChartView>(*w, "DBChart1")->chart()->axes(Qt::Horizontal).first()->titleText(),
              "Измерването няма записани стойности");
    EXPECT_EQ(w->chartTitle(),
              "Максимална стойност: 0.00\r\nВреме на измерването :  (sec.)\r\nСкорост : ");

    select(*w, 3);
    EXPECT_EQ(child<QLabel>(*w, "DBText2")->text(), "10"); // the earliest of the two maxima

    // "Избери ->" twice adds one row; another run appends, the first row stays current.
    select(*w, 0);
    child<QPushButton>(*w, "Button2")->click();
    child<QPushButton>(*w, "Button2")->click();
    select(*w, 3);
    child<QPushButton>(*w, "Button2")->click();
    ASSERT_EQ(w->mdSelected->rowCount(), 2);
    EXPECT_EQ(w->mdSelected->item(0, TfrmGroup::fId)->data(Qt::EditRole).toInt(), 5);
    EXPECT_EQ(w->mdSelected->item(1, TfrmGroup::fId)->data(Qt::EditRole).toInt(), 8);
    EXPECT_EQ(child<QTableView>(*w, "DBGrid2")->currentIndex().row(), 0);
    EXPECT_EQ(w->qryMes.FieldByName("MES_ID").toInt(), 8); // the run list did not move
    m_messages.answers = {false};
    w->reject();
}

TEST_F(GroupTest, MarshallRunsDeformationJoinsTheCurveAndTheMaximum) {
    run(3, 2, {{0, 5.0, 2}, {0, 0.0, 3}, {5000, 12.0, 2}, {5000, 30.0, 3}});
    auto w = open();
    EXPECT_EQ(w->devName(0), "CBR-MARSHALL");
    EXPECT_EQ(curve(*w, "DBChart1", 0)->count(), 4);
    EXPECT_EQ(child<QLabel>(*w, "DBText1")->text(), "30.0");
    m_messages.answers = {false};
    w->reject();
}

TEST_F(GroupTest, EmptyListAndValidationOrder) {
    {
        auto w = open();
        EXPECT_EQ(child<TDBGrid>(*w, "DBGrid1")->model()->rowCount(), 0);
        EXPECT_EQ(w->chartTitle(), "");
        child<QPushButton>(*w, "Button2")->click(); // adds nothing
        EXPECT_EQ(w->mdSelected->rowCount(), 0);
        child<QPushButton>(*w, "Button1")->click(); // deletes nothing, asks nothing
        EXPECT_TRUE(m_messages.questions.isEmpty());
        child<QLineEdit>(*w, "edKomentar")->setText("x");
        child<QComboBox>(*w, "DBLookupComboBox1")->setCurrentIndex(0);
        w->reject(); // nothing selected: no question, closes
        EXPECT_FALSE(w->isVisible());
        EXPECT_TRUE(m_messages.questions.isEmpty());
    }
    run(7, 1, {{0, 1.0, 1}});
    auto w = open();
    child<QPushButton>(*w, "Button2")->click();
    w->reject();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(m_messages.questions, QStringList{"?|Желаете ли да запомните избраните записи ?"});
    EXPECT_EQ(m_messages.infos, QStringList{"Моля попълнете Коментар!!!"});
    child<QLineEdit>(*w, "edKomentar")->setText("   "); // blanks are a comment
    w->reject();
    EXPECT_EQ(m_messages.infos.last(), "Моля Изберете Тип на измерването!!!");
    child<QComboBox>(*w, "DBLookupComboBox1")->setCurrentIndex(1);
    w->reject();
    EXPECT_EQ(m_messages.infos.last(), "Моля Изберете Обект!!!");
    child<QComboBox>(*w, "DBLookupComboBox2")->setCurrentIndex(0);
    child<QLineEdit>(*w, "edKomentar")->setText(QString(251, QChar('a')));
    w->reject();
    EXPECT_EQ(m_messages.infos.last(), "Коментарът е по-дълъг от 250 знака!!!");
    EXPECT_TRUE(m_messages.errors.isEmpty());
    EXPECT_TRUE(rows("select * from mes_group").isEmpty());
    m_messages.answers = {false}; // No: closes, nothing saved
    w->reject();
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(rows("select * from mes_group").isEmpty());
}

TEST_F(GroupTest, SavingASeriesTakesTheRunsInOneTransaction) {
    run(3, 1, {{0, 1.0, 1}});
    run(7, 1, {{0, 1.0, 1}});
    run(9, 1, {{0, 1.0, 1}});
    run(11, 1, {{0, 1.0, 1}});
    {
        auto w = open();
        for (int row : {1, 0, 2}) { // runs 7, 3, 9 in that order
            select(*w, row);
            child<QPushButton>(*w, "Button2")->click();
        }
        child<QLineEdit>(*w, "edKomentar")->setText("Проба 'А' 28 дни");
        child<QComboBox>(*w, "DBLookupComboBox1")->setCurrentIndex(0);
        child<QComboBox>(*w, "DBLookupComboBox2")->setCurrentIndex(1);
        w->accept();
        EXPECT_FALSE(w->isVisible());
        EXPECT_EQ(m_dm.qryDelete.SQL(), TSeriesSave::kAssignSql); // the values bound to it
    }
    const auto series =
        rows("select mes_group_id, date_effect, komentar, multiplier_id, obekt_id from mes_group");
    ASSERT_EQ(series.size(), 1);
    EXPECT_EQ(series[0][1].toDateTime(), QDateTime(QDate::currentDate(), QTime(0, 0)));
    EXPECT_EQ(series[0][2].toString(), "Проба 'А' 28 дни");
    EXPECT_EQ(series[0][3].toInt(), 1);
    EXPECT_EQ(series[0][4].toInt(), 2);
    EXPECT_EQ(rows("select mes_id from mes where mes_group_id = 1 order by mes_id").size(), 3);
    const auto trail = rows("select action, after_text from audit_trail");
    ASSERT_EQ(trail.size(), 1);
    EXPECT_EQ(trail[0][0].toString(), TTrace::kSeriesSaved);
    EXPECT_TRUE(trail[0][1].toString().endsWith("измервания: 3, 7, 9"))
        << trail[0][1].toString().toStdString();
    // The saved runs have left the list.
    auto again = open();
    EXPECT_EQ(child<TDBGrid>(*again, "DBGrid1")->model()->rowCount(), 1);
    EXPECT_EQ(again->qryMes.FieldByName("MES_ID").toInt(), 11);
    again->reject();
}

TEST_F(GroupTest, AFailedSaveLeavesNothingHalfSaved) {
    run(4, 1, {{0, 1.0, 1}});
    // The runs' assignment is refused after the series row went in.
    m_dm.dbNUV.Close();
    isql(m_paths.database(), "alter table mes add constraint ck_test check (mes_group_id is null "
                             "or mes_group_id < 0); commit;");
    m_dm.dbNUV.Open();
    auto w = open();
    child<QPushButton>(*w, "Button2")->click();
    child<QLineEdit>(*w, "edKomentar")->setText("x");
    child<QComboBox>(*w, "DBLookupComboBox1")->setCurrentIndex(0);
    child<QComboBox>(*w, "DBLookupComboBox2")->setCurrentIndex(0);
    w->reject();
    EXPECT_TRUE(w->isVisible());
    ASSERT_EQ(m_messages.errors.size(), 1);
    EXPECT_TRUE(m_messages.errors.first().contains("CK_TEST"))
        << m_messages.errors.first().toStdString();
    EXPECT_TRUE(rows("select * from mes_group").isEmpty());
    EXPECT_FALSE(m_dm.trDelete.InTransaction());
    m_messages.answers = {false};
    w->reject();
}

TEST_F(GroupTest, DeletingRunsAndReReading) {
    run(1, 1, {{0, 1.0, 1}, {1000, 2.0, 1}});
    run(2, 1, {{0, 3.0, 1}});
    auto w = open();
    child<QComboBox>(*w, "DBLookupComboBox1")->setCurrentIndex(2);
    child<QComboBox>(*w, "DBLookupComboBox2")->setCurrentIndex(1);
    child<QPushButton>(*w, "Button2")->click(); // run 1 selected before it is deleted

    m_messages.answers = {false};
    child<QPushButton>(*w, "Button1")->click();
    EXPECT_EQ(child<TDBGrid>(*w, "DBGrid1")->model()->rowCount(), 2);
    EXPECT_TRUE(
        m_messages.questions.last().startsWith("Изтриване на записи|Сигурен ли сте, че желаете да "
                                               "изтриете всички записи към измерване 1 от дата "));

    // A run recorded meanwhile is not listed until the window reads again.
    run(3, 1, {{0, 9.0, 1}});
    EXPECT_EQ(child<TDBGrid>(*w, "DBGrid1")->model()->rowCount(), 2);

    m_messages.reasons = {""}; // Escape when asked why: nothing is deleted
    child<QPushButton>(*w, "Button1")->click();
    EXPECT_EQ(rows("select count(*) from mes where mes_id = 1")[0][0].toInt(), 1);
    child<QPushButton>(*w, "Button1")->click(); // Yes, for a reason
    EXPECT_EQ(m_messages.reasonAsked, (QStringList{"Изтриване на записи", "Изтриване на записи"}));
    EXPECT_TRUE(rows("select * from mes_de where mes_id = 1").isEmpty());
    EXPECT_TRUE(rows("select * from mes where mes_id = 1").isEmpty());
    // Kept whole among the deleted runs, and in the trail.
    EXPECT_EQ(rows("select reason, (select count(*) from mes_de_bin d where d.mes_id = 1) from "
                   "mes_bin where mes_id = 1"),
              (QList<QList<QVariant>>{{"проба", 2}}));
    EXPECT_EQ(rows("select action, reason from audit_trail"),
              (QList<QList<QVariant>>{{TTrace::kRunDeleted, "проба"}}));
    EXPECT_EQ(child<TDBGrid>(*w, "DBGrid1")->model()->rowCount(), 2); // runs 2 and 3
    EXPECT_EQ(w->qryMes.FieldByName("MES_ID").toInt(), 2);
    EXPECT_EQ(child<QLabel>(*w, "DBText1")->text(), "3.0");
    EXPECT_EQ(w->mdSelected->rowCount(), 1); // the selection keeps the deleted run
    EXPECT_EQ(child<QComboBox>(*w, "DBLookupComboBox1")->count(), 4);
    EXPECT_EQ(child<QComboBox>(*w, "DBLookupComboBox1")->currentIndex(), 2);
    EXPECT_EQ(child<QComboBox>(*w, "DBLookupComboBox2")->count(), 2);
    EXPECT_EQ(child<QComboBox>(*w, "DBLookupComboBox2")->currentText(), "Път");

    child<QPushButton>(*w, "Button1")->click();
    child<QPushButton>(*w, "Button1")->click();
    EXPECT_EQ(child<TDBGrid>(*w, "DBGrid1")->model()->rowCount(), 0);
    EXPECT_EQ(w->chartTitle(), "");
    EXPECT_EQ(curve(*w, "DBChart1", 0)->count(), 0);
    EXPECT_EQ(child<QLabel>(*w, "DBText1")->text(), "");
    // Saving still works; the deleted run simply matches nothing.
    child<QLineEdit>(*w, "edKomentar")->setText("c");
    w->accept();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(rows("select * from mes_group").size(), 1);
}

} // namespace
