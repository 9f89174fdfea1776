#include "review/TfrmViewer.h"
#include "db/dmmainU.h"
#include "review/TChartPrintPreview.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/GTestQt.h"
#include "testsupport/TestDatabase.h"
#include "widgets/TDBGrid.h"

#include "review/TDateFilterEdit.h"
#include "testsupport/ChartCurves.h"
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QLineSeries>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include <gtest/gtest.h>

namespace {

const QDateTime kT0(QDate(2024, 3, 5), QTime(9, 0, 0));

class ViewerTest : public ::testing::Test {
protected:
    void exec(const QString& sql, const QList<std::pair<QString, QVariant>>& params = {}) {
        execSql(m_dm.dbNUV, sql, params);
    }
    void SetUp() override {
        makeTestDatabase(m_paths.database());
        m_dm.dbNUV.DatabaseName = m_paths.database();
        m_dm.dbNUV.Open();
        exec("insert into obekt(obekt_id, ime) values(1, 'Мост')");
        exec("insert into obekt(obekt_id, ime) values(2, 'Път')");
        series(12, "Бетон B25, 28 дни", 1, 1); // cube 150 mm, 22.5
        series(13, "CBR 'изток' 100%", 4, 2);  // multiplier 1
        series(14, "без проби", 1, 1);         // no runs: not listed
        exec("insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, obekt_id) "
             "values(15, '2024-03-05', 'без тип', null, 1)");
        run(345, 12, 1, {{0, 10, 1}, {30000, 120, 1}, {90700, 181.4, 1}, {95000, 20, 1}});
        run(346, 12, 1, {{0, 5, 1}, {4000, 40, 1}});
        run(350, 13, 2,
            {{0, 2, 2},
             {0, 0, 3},
             {20000, 30, 2},
             {20000, 500, 3},
             {25000, 10, 2},
             {25000, 600, 3}});
        run(351, 15, 1, {{0, 1, 1}});
    }

    void series(int id, const QString& comment, int multi, int obekt) {
        exec("insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, obekt_id) "
             "values(:id, '2024-03-05', :k, :m, :o)",
             {{"id", id}, {"k", comment}, {"m", multi}, {"o", obekt}});
    }
    void run(int id, int group, int dev, const QList<std::tuple<int, double, int>>& samples) {
        addRun(m_dm.dbNUV, id, group, dev, kT0, samples);
    }
    std::unique_ptr<TfrmViewer> open() {
        auto w = std::make_unique<TfrmViewer>(m_paths, m_dm, TFormats(QLocale::c()));
        w->show();
        return w;
    }
    // As the operator types it (QTest types ASCII only).
    static void typeInto(QLineEdit* edit, const QString& text) {
        edit->setText(edit->text() + text);
        emit edit->textEdited(edit->text());
    }
    void selectSeries(TfrmViewer& w, int row) {
        child<TDBGrid>(w, "DBGridEh1")
            ->setCurrentIndex(child<TDBGrid>(w, "DBGridEh1")->model()->index(row, 0));
    }

    QTemporaryDir m_dir;
    AppPaths m_paths = AppPaths::in(m_dir.path());
    FakeMessages m_messages;
    TdmMain m_dm;
};

TEST_F(ViewerTest, OpeningShowsNothingButTheObjects) {
    auto w = open();
    EXPECT_EQ(w->windowTitle(), "Преглед");
    EXPECT_EQ(child<TDBGrid>(*w, "DBGridEh1")->model()->rowCount(), 0);
    EXPECT_EQ(child<TDBGrid>(*w, "DBGridEh2")->model()->rowCount(), 0);
    EXPECT_EQ(w->chartTitle(), "");
    EXPECT_EQ(child<QComboBox>(*w, "cbObekt")->count(), 2);
    child<QPushButton>(*w, "Button1")->click(); // empty filter
    EXPECT_EQ(m_messages.infos, QStringList{"Няма попълнен филтър!!!"});
    EXPECT_FALSE(w->qryRes.Active());
    EXPECT_EQ(child<QComboBox>(*w, "cbObekt")->count(), 2);
}

TEST_F(ViewerTest, WorkedExampleAndMovingBetweenSeries) {
    auto w = open();
    QTest::keyClicks(child<QLineEdit>(*w, "edKomentar"), " "); // every comment here holds a blank
    child<QPushButton>(*w, "Button1")->click();
    ASSERT_EQ(child<TDBGrid>(*w, "DBGridEh1")->model()->rowCount(),
              2); // 14 has no runs, 15 no type
    EXPECT_EQ(w->qryRes.FieldByName("MES_GROUP_ID").toInt(), 12);
    EXPECT_EQ(w->qryRes.FieldByName("BROI").toInt(), 2);
    EXPECT_EQ(w->qryRes.FieldByName("IME1").toString(), "Мост");
    EXPECT_EQ(child<TDBGrid>(*w, "DBGridEh2")->model()->rowCount(), 2);
    EXPECT_EQ(w->qryMes.FieldByName("MES_ID").toInt(), 345);
    const QString date =
        TFormats(QLocale::c()).dateTimeText(QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
    EXPECT_EQ(w->chartTitle(), "Измерване No 12/345 от " + date +
                                   "\r\nМаксимална стойност: 8.06 MPa (181.40 kN)\r\n"
                                   "Време на измерването : 90 (sec.)\r\nСкорост : 2.02 kN/sec.)");
    EXPECT_EQ(curve(*w, "DBChart1", 0)->count(), 4);
    EXPECT_EQ(curve(*w, "DBChart1", 1)->count(), 0);
    EXPECT_EQ(w->devName(0), "PLQ-4000");

    // The Marshall/CBR series: the deformation is its own curve and never the maximum.
    selectSeries(*w, 1);
    EXPECT_EQ(w->qryMes.FieldByName("MES_ID").toInt(), 350);
    EXPECT_EQ(w->devName(0), "CBR-MARSHALL");
    EXPECT_EQ(curve(*w, "DBChart1", 0)->count(), 3);
    EXPECT_EQ(curve(*w, "DBChart1", 1)->count(), 3);
    EXPECT_TRUE(w->chartTitle().contains("Максимална стойност: 30.00 kN \r\n"))
        << w->chartTitle().toStdString();
    EXPECT_TRUE(w->chartTitle().endsWith("Скорост : 1.50 kN/sec. "));

    // A double-click in either grid shows the series' number.
    w->DBGridEh1DblClick();
    EXPECT_EQ(m_messages.infos.last(), "13");

    // "Изчисти" empties everything; "Покажи" right after it finds the filter empty.
    child<QPushButton>(*w, "Button2")->click();
    EXPECT_EQ(child<TDBGrid>(*w, "DBGridEh1")->model()->rowCount(), 0);
    EXPECT_EQ(curve(*w, "DBChart1", 0)->count(), 0);
    EXPECT_EQ(w->chartTitle(), "");
    EXPECT_EQ(child<QLineEdit>(*w, "edKomentar")->text(), "");
    EXPECT_EQ(child<QComboBox>(*w, "cbObekt")->count(), 2);
    child<QPushButton>(*w, "Button1")->click();
    EXPECT_EQ(m_messages.infos.last(), "Няма попълнен филтър!!!");
}

TEST_F(ViewerTest, FiltersByEachFieldAndSwallowsWhatCannotRun) {
    auto w = open();
    QTest::keyClicks(child<QLineEdit>(*w, "edNomer"), "12");
    child<QPushButton>(*w, "Button1")->click();
    EXPECT_EQ(child<TDBGrid>(*w, "DBGridEh1")->model()->rowCount(), 1);
    child<QPushButton>(*w, "Button2")->click();

    child<TDateFilterEdit>(*w, "edData")->setDate(QDate(2024, 3, 5));
    child<QComboBox>(*w, "cbObekt")->setCurrentIndex(1); // "Път"
    child<QPushButton>(*w, "Button1")->click();
    ASSERT_EQ(child<TDBGrid>(*w, "DBGridEh1")->model()->rowCount(), 1);
    EXPECT_EQ(w->qryRes.FieldByName("MES_GROUP_ID").toInt(), 13);
    child<QPushButton>(*w, "Button2")->click();

    typeInto(child<QLineEdit>(*w, "edKomentar"), "'изток'");
    child<QPushButton>(*w, "Button1")->click();
    EXPECT_EQ(child<TDBGrid>(*w, "DBGridEh1")->model()->rowCount(), 1);
    child<QPushButton>(*w, "Button2")->click();

    // The text as typed, in any letter case, Cyrillic included; % and _ are
    // characters like any other.
    const QList<std::pair<QString, QList<int>>> typed = {
        {"бетон", {12}}, {"ИЗТОК", {13}}, {"100%", {13}}, {"%", {13}}, {"_", {}}, {"b%5", {}}};
    for (const auto& [text, series] : typed) {
        typeInto(child<QLineEdit>(*w, "edKomentar"), text);
        child<QPushButton>(*w, "Button1")->click();
        QList<int> found;
        for (int r = 0; r < child<TDBGrid>(*w, "DBGridEh1")->model()->rowCount(); ++r)
            found.append(child<TDBGrid>(*w, "DBGridEh1")->model()->index(r, 0).data().toInt());
        EXPECT_EQ(found, series) << text.toStdString();
        child<QPushButton>(*w, "Button2")->click();
    }

    // Nothing matches: empty lists, empty chart and title, a double-click shows nothing.
    for (const QString& text : {QString("' or 1=1 --"), QString("zzz_%;select")}) {
        typeInto(child<QLineEdit>(*w, "edKomentar"), text);
        child<QPushButton>(*w, "Button1")->click();
        EXPECT_EQ(child<TDBGrid>(*w, "DBGridEh1")->model()->rowCount(), 0) << text.toStdString();
        EXPECT_EQ(w->chartTitle(), "");
        child<QPushButton>(*w, "Button2")->click();
    }
    const int infos = int(m_messages.infos.size());
    w->DBGridEh1DblClick();
    EXPECT_EQ(m_messages.infos.size(), infos);

    QTest::keyClicks(child<QLineEdit>(*w, "edNomer"),
                     "99999999999"); // beyond the column's integers
    child<QPushButton>(*w, "Button1")->click();
    EXPECT_EQ(child<TDBGrid>(*w, "DBGridEh1")->model()->rowCount(), 0);
    EXPECT_TRUE(m_messages.errors.isEmpty());

    // A comment erased again is still a filter: every series with a comment.
    child<QPushButton>(*w, "Button2")->click();
    QTest::keyClicks(child<QLineEdit>(*w, "edKomentar"), "x");
    QTest::keyClick(child<QLineEdit>(*w, "edKomentar"), Qt::Key_Backspace);
    child<QPushButton>(*w, "Button1")->click();
    EXPECT_EQ(child<TDBGrid>(*w, "DBGridEh1")->model()->rowCount(), 2);
}

TEST_F(ViewerTest, PrintingSetsThePrintTitleAndThePdfShowsTheChart) {
    auto w = open();
    QTest::keyClicks(child<QLineEdit>(*w, "edNomer"), "13");
    child<QPushButton>(*w, "Button1")->click();
    const QString pdf = qEnvironmentVariableIsSet("NUV_KEEP_PDF")
                            ? qEnvironmentVariable("NUV_KEEP_PDF")
                            : m_dir.path() + "/run.pdf";
    QString shownDuringPreview;
    QFile::remove(pdf);
    w->showPreview = [&](TfrmViewer& v) {
        shownDuringPreview = v.chartTitle();
        TChartPrintPreview preview(child<QChartView>(v, "DBChart1")->chart(), &v);
        if (!QFile::exists(pdf))
            preview.printToPdf(pdf);
    };
    child<QPushButton>(*w, "Button3")->click();
    EXPECT_TRUE(shownDuringPreview.endsWith("Скорост : 1.50 kN/sec. "));
    EXPECT_EQ(w->chartTitle(), shownDuringPreview); // kept until the run changes
    child<QPushButton>(*w, "Button3")->click();
    EXPECT_EQ(w->chartTitle(), shownDuringPreview);

    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    for (const QString& line : shownDuringPreview.split("\r\n"))
        EXPECT_TRUE(printed.contains(line.trimmed())) << line.toStdString() << "\n"
                                                      << printed.toStdString();
    // The load is in kN on the axis and in the speed, as on the screen.
    EXPECT_FALSE(printed.contains(QRegularExpression("(^|\\s)N(/sec\\.)?(\\s|$)")))
        << printed.toStdString();
    EXPECT_EQ(
        static_cast<QValueAxis*>(curve(*w, "DBChart1", 0)->attachedAxes().last())->titleText(),
        "kN");
    QProcess info;
    info.start("pdfinfo", {pdf});
    ASSERT_TRUE(info.waitForFinished(30000));
    EXPECT_TRUE(QString::fromUtf8(info.readAll()).contains(QRegularExpression("Pages:\\s+1\\b")));

    // Printing with nothing listed: the empty basic title.
    child<QPushButton>(*w, "Button2")->click();
    child<QPushButton>(*w, "Button3")->click();
    EXPECT_EQ(w->chartTitle(),
              "\r\nИзмерване No / от \r\nМаксимална стойност: 0.00   Време на измерването :  (sec.)"
              "\r\n   Скорост : 0.00 (kN/sec.)");
}

TEST_F(ViewerTest, PreviewMarginsMoveAndResizeTheChart) {
    auto w = open();
    TChartPrintPreview preview(child<QChartView>(*w, "DBChart1")->chart(), w.get());
    preview.resize(900, 620);
    preview.show();
    EXPECT_EQ(preview.margins(), QMarginsF(10, 10, 10, 10));
    EXPECT_EQ(preview.cbPrinter->itemText(preview.cbPrinter->count() - 1), "PDF файл");
    preview.setMargins(QMarginsF(10, 10, 30, 30));
    const QRectF area = preview.Page->chartArea();
    const QRectF sheet = preview.Page->sheet();
    // Dragging the chart moves it: the margins shift, its size stays.
    QTest::mousePress(preview.Page, Qt::LeftButton, {}, area.center().toPoint());
    QTest::mouseMove(preview.Page, (area.center() + QPointF(sheet.width() * 0.1, 0)).toPoint());
    QTest::mouseRelease(preview.Page, Qt::LeftButton, {},
                        (area.center() + QPointF(sheet.width() * 0.1, 0)).toPoint());
    EXPECT_NEAR(preview.margins().left(), 20, 0.5);
    EXPECT_NEAR(preview.margins().right(), 20, 0.5);
    EXPECT_NEAR(preview.margins().top(), 10, 0.5);
    // Dragging its lower right corner resizes it.
    const QPointF corner = preview.Page->chartArea().bottomRight();
    QTest::mousePress(preview.Page, Qt::LeftButton, {}, corner.toPoint());
    QTest::mouseMove(preview.Page, (corner + QPointF(0, sheet.height() * 0.1)).toPoint());
    QTest::mouseRelease(preview.Page, Qt::LeftButton, {},
                        (corner + QPointF(0, sheet.height() * 0.1)).toPoint());
    EXPECT_NEAR(preview.margins().bottom(), 20, 0.5);
    EXPECT_NEAR(preview.margins().left(), 20, 0.5);
    preview.btnResetMargins->click();
    EXPECT_EQ(preview.margins(), QMarginsF(10, 10, 10, 10));
    preview.rbPortrait->setChecked(true);
    EXPECT_EQ(preview.orientation(), QPageLayout::Portrait);
    EXPECT_LT(preview.Page->sheet().width(), preview.Page->sheet().height());
}

} // namespace
