// A long run in the review: its title carries the values that the window's
// statements give, whether it opens from its overview or from its samples,
// and its curves are the same either way.
#include "db/TIBQuery.h"
#include "db/TIBTransaction.h"
#include "db/dmmainU.h"
#include "results/TReviewTitles.h"
#include "review/TfrmViewer.h"
#include "testsupport/ChartCurves.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/TestDatabase.h"

#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QDateTime kT0(QDate(2024, 3, 5), QTime(9, 0, 0));

class ViewerLongRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        makeTestDatabase(m_paths.database());
        m_dm.dbNUV.DatabaseName = m_paths.database();
        m_dm.dbNUV.Open();
        execSql(m_dm.dbNUV, "insert into obekt(obekt_id, ime) values(1, 'Мост')");
        execSql(m_dm.dbNUV,
                "insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, "
                "obekt_id) values(12, '2024-03-05', 'дълъг', 1, 1)");
        execSql(m_dm.dbNUV,
                "insert into mes(mes_id, mes_group_id, dev_id, dt_start) "
                "values(345, 12, 2, ?)",
                {}, {kT0});
        // Three loads a second with a deformation beside each, the largest
        // load reached twice, and samples without a value or a device.
        TIBTransaction tr(m_dm.dbNUV);
        TIBQuery q(m_dm.dbNUV, tr);
        q.setSQL("insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, dev_id, speed) "
                 "values(gen_id(gen_mes_de_id, 1), 345, ?, ?, ?, 0)");
        for (int i = 0; i < 30000; ++i) {
            const QDateTime at = kT0.addSecs(i / 3);
            const double load = i == 20000 || i == 25000 ? 900.0 : double(i % 4000) / 10;
            q.setParams({i == 50 ? QVariant() : QVariant(load), at, i == 60 ? QVariant() : 2});
            q.ExecSQL();
            q.setParams({1000.0 + i / 100.0, at, 3}); // larger than every load
            q.ExecSQL();
        }
        tr.Commit();
    }

    struct Shown {
        QString title;
        QList<QPointF> load, depth;
    };
    Shown show() {
        TfrmViewer w(m_paths, m_dm, TFormats(QLocale::c()));
        child<QLineEdit>(w, "edNomer")->setText("12");
        emit child<QLineEdit>(w, "edNomer")->textEdited("12");
        w.Button1Click();
        return {w.chartTitle(), curve(w, "DBChart1", 0)->points(),
                curve(w, "DBChart1", 1)->points()};
    }

    // The title that the window's own statements give.
    QString expectedTitle() {
        TIBTransaction tr(m_dm.dbNUV);
        TIBQuery calc(m_dm.dbNUV, tr), max(m_dm.dbNUV, tr);
        calc.setSQL(TfrmViewer::kAggregates);
        calc.ParamByName("mes_id", 345);
        calc.Open();
        max.setSQL(TfrmViewer::kTimeOfMax);
        max.ParamByName("mes_id", 345);
        max.Open();
        const TRunSummary sum(calc.FieldByName("MAX_VALUE"), calc.FieldByName("STARTA"),
                              max.FieldByName("MIN"));
        const TSeriesInfo series{12, QDateTime(QDate(2024, 3, 5), QTime(0, 0)), "дълъг", 22.5};
        return TReviewTitles(TFormats(QLocale::c())).title(series, 345, sum);
    }

    QTemporaryDir m_dir;
    AppPaths m_paths = AppPaths::in(m_dir.path());
    FakeMessages m_messages;
    TdmMain m_dm;
};

TEST_F(ViewerLongRunTest, OpensWithTheStatementsValuesFromItsSamplesOrItsOverview) {
    const QString want = expectedTitle();
    EXPECT_TRUE(want.contains("900.00")) << want.toStdString();
    const Shown fromSamples = show();
    EXPECT_EQ(fromSamples.title, want);
    // Reduced to the plot's columns: far fewer points than samples.
    EXPECT_GT(fromSamples.load.size(), 100);
    EXPECT_LE(fromSamples.load.size(), 4 * 2049);
    EXPECT_GT(fromSamples.depth.size(), 100);

    m_dm.EndRun(345);
    ASSERT_GT(selectRows(m_dm.dbNUV, "select count(*) from mes_overview where mes_id = 345")[0][0]
                  .toInt(),
              0);
    const Shown fromOverview = show();
    EXPECT_EQ(fromOverview.title, want);
    EXPECT_EQ(fromOverview.load, fromSamples.load);
    EXPECT_EQ(fromOverview.depth, fromSamples.depth);
}

} // namespace
