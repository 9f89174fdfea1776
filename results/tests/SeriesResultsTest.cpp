#include "results/ResultsCsv.h"
#include "results/TReportSettings.h"
#include "results/TSeriesReader.h"
#include "results/TSeriesResults.h"

#include "core/Exception.h"
#include "core/Win1251.h"
#include "db/TIBDatabase.h"
#include "testsupport/TestDatabase.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QDateTime at(const char* text) {
    return QDateTime::fromString(QString::fromLatin1(text), "yyyy-MM-dd HH:mm:ss.zzz");
}

// Series 7 of 150 mm cubes: two press runs and one frame run.
class SeriesResultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = m_dir.path() + "/NUV.GDB";
        makeTestDatabase(m_path);
        m_db.DatabaseName = m_path;
        m_db.Open();
        execSql(m_db, "insert into obekt(obekt_id, ime) values(1, 'Мост при км 12')");
        execSql(m_db, "insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, "
                      "obekt_id) values(7, '2026-03-05 10:00:00', 'Кубове C25/30', 1, 1)");
        addRun(m_db, 11, 7, 1, at("2026-03-05 09:20:00.000"),
               {{0, 0, 1}, {10000, 135, 1}, {11000, 100, 1}});
        addRun(m_db, 10, 7, 1, at("2026-03-05 09:15:30.250"), {{0, 5, 1}, {2000, 95, 1}});
        addRun(
            m_db, 12, 7, 2, at("2026-03-05 09:30:00.000"),
            {{0, 0, 2}, {0, 0.0, 3}, {1000, 10, 2}, {1000, 2.0, 3}, {2000, 14, 2}, {2000, 3.0, 3}});
    }

    TSeriesResults read(int series) {
        TSeriesReader reader(m_db);
        return TSeriesResults(*reader.series(series), reader.runs(series),
                              TRateStandard::en12390());
    }

    QTemporaryDir m_dir;
    QString m_path;
    TIBDatabase m_db;
};

} // namespace

TEST_F(SeriesResultsTest, MachineCsvOfASeries) {
    const TSeriesResults s = read(7);
    EXPECT_EQ(s.info().object, "Мост при км 12");
    EXPECT_EQ(s.info().specimenType, "Куб 150 mm");
    EXPECT_EQ(s.info().comment, "Кубове C25/30");
    EXPECT_TRUE(s.mpaForm());
    EXPECT_EQ(QString::fromUtf8(ResultsCsv::series(s, TCsvForm::machine())),
              "run,started,device,samples,max_kn,time_to_max_s,rate_kn_s,strength_mpa,"
              "stress_rate_mpa_s,rate_ok,stability_kn,flow_mm,quotient_kn_mm,cbr_2_5_pct,"
              "cbr_5_0_pct,cbr_pct\n"
              "10,2026-03-05T09:15:30.250,1,2,95.000,2.000,45.000,4.222,2.000,no,,,,,,\n"
              "11,2026-03-05T09:20:00.000,1,3,135.000,10.000,13.500,6.000,0.600,yes,,,,,,\n"
              "12,2026-03-05T09:30:00.000,2,3,14.000,2.000,7.000,,,,14.000,3.000,4.667,90.909,,"
              "90.909\n"
              "n,,,,3,,,2,,,1,1,1,,,1\n"
              "mean,,,,81.333,,,5.111,,,14.000,3.000,4.667,,,90.909\n"
              "sd,,,,61.647,,,1.257,,,,,,,,\n"
              "cov_pct,,,,75.795,,,24.595,,,,,,,,\n"
              "min,,,,14.000,,,4.222,,,14.000,3.000,4.667,,,90.909\n"
              "max,,,,135.000,,,6.000,,,14.000,3.000,4.667,,,90.909\n");
}

TEST_F(SeriesResultsTest, SamplesOfARunInBothForms) {
    TSeriesReader reader(m_db);
    const auto run = reader.run(12);
    ASSERT_TRUE(run);
    EXPECT_EQ(QString::fromUtf8(ResultsCsv::samples(*run, TCsvForm::machine())),
              "time_ms,load_kn,speed,deformation_mm\n"
              "0,0.000,0.000,0.000\n"
              "1000,10.000,0.000,2.000\n"
              "2000,14.000,0.000,3.000\n");
    const QByteArray sheet = ResultsCsv::samples(*reader.run(10), TCsvForm::spreadsheet());
    EXPECT_EQ(sheet, "\xEF\xBB\xBF"
                     "time_ms;load_kn;speed;deformation_mm\n"
                     "0;5,000;0,000;\n"
                     "2000;95,000;0,000;\n");
    EXPECT_FALSE(reader.run(99));
    EXPECT_FALSE(reader.series(99));
    EXPECT_TRUE(reader.runs(99).empty());
}

TEST_F(SeriesResultsTest, SeriesWithOneRunAndTheKnForm) {
    execSql(m_db, "insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, "
                  "obekt_id) values(8, '2026-03-06 00:00:00', null, 4, 1)");
    addRun(m_db, 20, 8, 1, at("2026-03-06 08:00:00.000"), {{0, 1, 1}, {1500, 31, 1}});
    const TSeriesResults s = read(8);
    EXPECT_FALSE(s.mpaForm());
    const QList<QByteArray> lines = ResultsCsv::series(s, TCsvForm::machine()).split('\n');
    EXPECT_EQ(lines[1], "20,2026-03-06T08:00:00.000,1,2,31.000,1.500,20.000,,,,,,,,,");
    EXPECT_EQ(lines[2], "n,,,,1,,,0,,,0,0,0,,,0");
    EXPECT_EQ(lines[3], "mean,,,,31.000,,,,,,,,,,,");
    EXPECT_EQ(lines[4], "sd,,,,,,,,,,,,,,,");
}

TEST_F(SeriesResultsTest, ADatabaseWithoutTheRunTablesIsRefused) {
    TSeriesReader(m_db).checkSchema();
    m_db.Close();
    isql(m_path, "drop table mes_de; commit;");
    m_db.Open();
    EXPECT_THROW(TSeriesReader(m_db).checkSchema(), Exception);
}

TEST(ReportSettings, ReadFromTheWindowsSettingsFile) {
    QTemporaryDir dir;
    const QString ini = dir.path() + "/prjNUV.ini";
    auto write = [&](const QString& text) {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(Win1251::encode(text));
    };
    write("[database]\r\nDatabase=NUV.GDB\r\n[report]\r\nLaboratory=Лаборатория „Пътища“\r\n"
          "Address=София, ул. Шипка 5\r\nStandard=ASTM C39\r\n");
    TReportSettings s = TReportSettings::read(ini);
    EXPECT_EQ(s.laboratory, "Лаборатория „Пътища“");
    EXPECT_EQ(s.address, "София, ул. Шипка 5");
    EXPECT_EQ(s.standard.name(), "ASTM C39");
    EXPECT_TRUE(s.warning.isEmpty());

    write("[report]\r\nStandard=DIN 1048\r\n");
    s = TReportSettings::read(ini);
    EXPECT_EQ(s.standard.name(), "EN 12390-3");
    EXPECT_TRUE(s.warning.contains("DIN 1048"));

    s = TReportSettings::read(dir.path() + "/missing.ini");
    EXPECT_EQ(s.standard.name(), "EN 12390-3");
    EXPECT_TRUE(s.laboratory.isEmpty());
    EXPECT_TRUE(s.warning.isEmpty());
}
