#include "core/Win1251.h"
#include "db/TIBDatabase.h"
#include "testsupport/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

struct Result {
    int code;
    QString err;
};

// nuv-report as a script runs it: a process of its own, with no display,
// its engine's locks in the runtime folder given (its own, not the test's),
// started through the command given (another user's, say).
Result runTool(const QStringList& args, const QString& runtimeDir = {},
               const QStringList& as = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    if (!runtimeDir.isEmpty())
        env.insert("XDG_RUNTIME_DIR", runtimeDir);
    p.setProcessEnvironment(env);
    if (as.isEmpty())
        p.start(NUV_BIN_DIR "/nuv-report", args);
    else
        p.start(as.first(), as.mid(1) + QStringList{NUV_BIN_DIR "/nuv-report"} + args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError())};
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int pdfPages(const QByteArray& pdf) {
    return int(pdf.count("/Type /Page\n") + pdf.count("/Type /Page ") + pdf.count("/Type /Page/") +
               pdf.count("/Type /Page>"));
}

// Series 7: a press run and a frame run. Series 30: thirty runs, half of them
// on the frame, of 200 load readings each.
class ReportToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_db = m_dir.path() + "/NUV.GDB";
        makeTestDatabase(m_db);
        TIBDatabase db;
        db.DatabaseName = m_db;
        db.Open();
        execSql(db, "insert into obekt(obekt_id, ime) values(1, 'Път II-86')");
        execSql(db, "insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, "
                    "obekt_id) values(7, '2026-03-05 10:00:00', 'Проби', 1, 1)");
        const QDateTime t = QDateTime::fromString("2026-03-05 09:20:00", "yyyy-MM-dd HH:mm:ss");
        addRun(db, 11, 7, 1, t, {{0, 0, 1}, {10000, 135, 1}, {11000, 100, 1}});
        addRun(
            db, 12, 7, 2, t.addSecs(600),
            {{0, 0, 2}, {0, 0.0, 3}, {1000, 10, 2}, {1000, 2.0, 3}, {2000, 14, 2}, {2000, 3.0, 3}});
        db.Close();
    }

    void addLargeSeries() {
        isql(m_db, R"(
insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, obekt_id)
  values(30, '2026-03-06 00:00:00', 'Тридесет проби', 1, 1);
set term ^ ;
execute block as
  declare r integer = 0;
  declare i integer;
  declare d integer;
begin
  while (r < 30) do
  begin
    d = iif(r < 15, 1, 2);
    insert into mes(mes_id, mes_group_id, dev_id, dt_start)
      values(100 + :r, 30, :d, dateadd(:r * 600 second to timestamp '2026-03-06 09:00:00'));
    i = 0;
    while (i < 200) do
    begin
      insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, dev_id, speed)
        values(gen_id(gen_mes_de_id, 1), 100 + :r, :i * (1 + :r * 0.01),
               dateadd(:i * 500 millisecond to timestamp '2026-03-06 09:00:00'), :d, 0);
      if (d = 2) then
        insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, dev_id, speed)
          values(gen_id(gen_mes_de_id, 1), 100 + :r, :i * 0.04,
                 dateadd(:i * 500 millisecond to timestamp '2026-03-06 09:00:00'), 3, 0);
      i = i + 1;
    end
    r = r + 1;
  end
end^
set term ; ^
commit;
)");
    }

    QString out(const char* name) const { return m_dir.path() + "/" + name; }

    QTemporaryDir m_dir;
    QString m_db;
};

} // namespace

TEST_F(ReportToolTest, WritesTheSeriesAndARunsSamples) {
    const Result r = runTool({"--database", m_db, "--series", "7", "--csv", out("s.csv"), "--run",
                              "12", "--samples", out("r.csv"), "--settings", out("none.ini")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(contents(out("s.csv")),
              "run,started,device,samples,max_kn,time_to_max_s,rate_kn_s,strength_mpa,"
              "stress_rate_mpa_s,rate_ok,stability_kn,flow_mm,quotient_kn_mm,cbr_2_5_pct,"
              "cbr_5_0_pct,cbr_pct\n"
              "11,2026-03-05T09:20:00.000,1,3,135.000,10.000,13.500,6.000,0.600,yes,,,,,,\n"
              "12,2026-03-05T09:30:00.000,2,3,14.000,2.000,7.000,,,,14.000,3.000,4.667,90.909,,"
              "90.909\n"
              "n,,,,2,,,1,,,1,1,1,,,1\n"
              "mean,,,,74.500,,,6.000,,,14.000,3.000,4.667,,,90.909\n"
              "sd,,,,85.560,,,,,,,,,,,\n"
              "cov_pct,,,,114.846,,,,,,,,,,,\n"
              "min,,,,14.000,,,6.000,,,14.000,3.000,4.667,,,90.909\n"
              "max,,,,135.000,,,6.000,,,14.000,3.000,4.667,,,90.909\n");
    EXPECT_EQ(contents(out("r.csv")), "time_ms,load_kn,speed,deformation_mm\n"
                                      "0,0.000,0.000,0.000\n"
                                      "1000,10.000,0.000,2.000\n"
                                      "2000,14.000,0.000,3.000\n");
}

TEST_F(ReportToolTest, TheStandardComesFromTheSettingsFile) {
    QFile ini(out("prjNUV.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(Win1251::encode("[report]\r\nLaboratory=Лаборатория\r\nStandard=ASTM C39\r\n"));
    ini.close();
    Result r = runTool({"--database", m_db, "--series", "7", "--csv", out("s.csv"), "--settings",
                        out("prjNUV.ini")});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(contents(out("s.csv")).contains(",0.600,no,"));

    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[report]\r\nStandard=DIN 1048\r\n");
    ini.close();
    r = runTool({"--database", m_db, "--series", "7", "--csv", out("s.csv"), "--settings",
                 out("prjNUV.ini")});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.err.contains("DIN 1048")) << r.err.toStdString();
    EXPECT_TRUE(contents(out("s.csv")).contains(",0.600,yes,"));
}

TEST_F(ReportToolTest, FailuresWriteNothing) {
    const QString csv = out("s.csv"), pdf = out("s.pdf");
    const auto nothingWritten = [&] { return !QFile::exists(csv) && !QFile::exists(pdf); };
    Result r = runTool({"--database", m_db, "--series", "99", "--csv", csv, "--pdf", pdf});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.err.contains("Няма серия № 99")) << r.err.toStdString();
    EXPECT_TRUE(nothingWritten());

    r = runTool({"--database", m_db, "--run", "99", "--samples", csv});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.err.contains("Няма измерване № 99")) << r.err.toStdString();
    EXPECT_TRUE(nothingWritten());

    r = runTool({"--database", out("missing.gdb"), "--series", "7", "--csv", csv});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("Няма файл")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out("missing.gdb")));
    EXPECT_TRUE(nothingWritten());

    QFile text(out("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a database\n");
    text.close();
    r = runTool({"--database", out("notes.txt"), "--series", "7", "--csv", csv});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("не е база данни на prjNUV")) << r.err.toStdString();
    EXPECT_TRUE(nothingWritten());

    // A Firebird database of another program.
    isql(m_db, "drop table mes_de; commit;");
    r = runTool({"--database", m_db, "--series", "7", "--csv", csv});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("не е база данни на prjNUV")) << r.err.toStdString();
    EXPECT_TRUE(nothingWritten());

    r = runTool({"--database", m_db, "--series", "x7", "--csv", csv});
    EXPECT_EQ(r.code, 1);
    r = runTool({"--database", m_db});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(nothingWritten());
}

TEST_F(ReportToolTest, AnUnwritableOutputLeavesTheOtherUnwrittenToo) {
    const Result r = runTool({"--database", m_db, "--series", "7", "--csv", out("s.csv"), "--pdf",
                              out("no-such-folder/s.pdf")});
    EXPECT_EQ(r.code, 4);
    EXPECT_TRUE(r.err.contains("no-such-folder")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out("s.csv")));
}

TEST_F(ReportToolTest, ThirtyRunsFitOnThreePages) {
    addLargeSeries();
    Result r = runTool({"--database", m_db, "--series", "30", "--pdf", out("s30.pdf")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QByteArray pdf = contents(out("s30.pdf"));
    EXPECT_TRUE(pdf.startsWith("%PDF"));
    // Both tables and the summary on the first page, both charts and the signatures on the second.
    EXPECT_EQ(pdfPages(pdf), 2);

    r = runTool({"--database", m_db, "--series", "7", "--pdf", out("s7.pdf")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(pdfPages(contents(out("s7.pdf"))), 2);
}

// The engine's exclusive lock on the database file keeps a second program
// out, whichever lock folder it has and whoever started it.
TEST_F(ReportToolTest, ADatabaseInUseIsNotOpenedBySecondProgram) {
    TIBDatabase db;
    db.DatabaseName = m_db;
    db.Open();
    QTemporaryDir otherRuntime;
    QStringList nobody;
    if (::getuid() == 0 && QFile::exists("/usr/bin/setpriv")) {
        QFile::setPermissions(otherRuntime.path(), QFileDevice::Permissions(0x7777));
        QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7777));
        QFile::setPermissions(m_db, QFileDevice::Permissions(0x6666));
        nobody = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    for (const QStringList& as : {QStringList(), nobody}) {
        const Result r =
            runTool({"--database", m_db, "--series", "7", "--csv", out("s.csv")}, otherRuntime.path(), as);
        EXPECT_EQ(r.code, 2) << as.join(' ').toStdString() << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(out("s.csv")));
        if (nobody.isEmpty())
            break;
    }
}

TEST(ReportToolLinks, NoWidgetModule) {
    // It runs from a scheduled job or over SSH, where no widget module may be installed.
#ifdef NUV_SANITIZE
    // The sanitizers' type checks reach the widget classes that the lower
    // libraries still carry; the normal build is the one that ships.
    GTEST_SKIP() << "checked in the normal build";
#endif
    QProcess p;
    p.start("readelf", {"-d", NUV_BIN_DIR "/nuv-report"});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString needed = QString::fromLatin1(p.readAllStandardOutput());
    EXPECT_TRUE(needed.contains("libQt6Core")) << needed.toStdString();
    for (const char* module : {"Widgets", "Charts", "PrintSupport", "OpenGL"})
        EXPECT_FALSE(needed.contains(QLatin1String(module))) << module;
}
