#include "core/Win1251.h"
#include "db/TIBDatabase.h"
#include "db/TIBQuery.h"
#include "db/TIBTransaction.h"
#include "db/TTrace.h"
#include "testsupport/TestDatabase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <QtEndian>

#include <bit>
#include <functional>

#include <unistd.h>

namespace {

struct Result {
    int code;
    QString err;
    QString out;
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
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError()),
            QString::fromLocal8Bit(p.readAllStandardOutput())};
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

    // Statements in one transaction on a connection of the test's own, closed
    // again so that nuv-report can open the file.
    void change(const std::function<void(TIBDatabase&, TIBQuery&)>& f) {
        TIBDatabase db;
        db.DatabaseName = m_db;
        db.Open();
        TIBTransaction tr(db);
        TIBQuery q(db, tr);
        tr.StartTransaction();
        f(db, q);
        tr.Commit();
        db.Close();
    }

    // The run's context by `login`, sealed as the program seals a run when it ends.
    static void seal(TIBQuery& q, int run, const QString& login) {
        TTrace::writeContext(q, run, {login, "lab-1", "9.9", "NUV.GDB", {}, {}, {}, {}});
        TTrace::sealRun(q, run, QDateTime(QDate(2026, 3, 5), QTime(12, 0)));
    }

    // What the grouping window does to a run it deletes.
    static void deleteRun(TIBQuery& q, int run) {
        TTrace::binRun(q, run,
                       {QDateTime(QDate(2026, 3, 6), QTime(8, 0)), "ivan", "lab-1", "грешка"});
        for (const char* sql :
             {"delete from mes_de where mes_id = ?", "delete from mes where mes_id = ?"}) {
            q.setSQL(sql);
            q.setParams({run});
            q.ExecSQL();
        }
    }

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

// The form the review window writes for a spreadsheet, from the database of
// a data folder named like the program's.
TEST_F(ReportToolTest, SpreadsheetFormFromTheDataFolder) {
    Result r = runTool({"--data-dir", m_dir.path(), "--series", "7", "--csv", out("s.csv"), "--run",
                        "12", "--samples", out("r.csv"), "--csv-form", "spreadsheet"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    const QByteArray series = contents(out("s.csv"));
    EXPECT_TRUE(series.startsWith("\xEF\xBB\xBFrun;started;device;samples;max_kn;"));
    EXPECT_TRUE(series.contains(
        "\n11;2026-03-05T09:20:00.000;1;3;135,000;10,000;13,500;6,000;0,600;yes;;;;;;\n"));
    EXPECT_TRUE(series.contains("\nmean;;;;74,500;;;6,000;;;14,000;3,000;4,667;;;90,909\n"));
    EXPECT_EQ(contents(out("r.csv")), "\xEF\xBB\xBFtime_ms;load_kn;speed;deformation_mm\n"
                                      "0;0,000;0,000;0,000\n"
                                      "1000;10,000;0,000;2,000\n"
                                      "2000;14,000;0,000;3,000\n");

    r = runTool({"--database", m_db, "--series", "7", "--csv", out("x.csv"), "--csv-form", "xls"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("--csv-form")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out("x.csv")));
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
    // Both tables on the first page; the summary, the seals and a chart on the
    // second; the other chart and the signatures on the third.
    EXPECT_EQ(pdfPages(pdf), 3);

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

namespace {

double flipLowestBit(double v) {
    return std::bit_cast<double>(std::bit_cast<quint64>(v) ^ 1u);
}

// The rows of a CSV file as a spreadsheet reads them: a quoted field may hold
// the separator, doubled quotes and line breaks.
QList<QStringList> parseCsv(const QString& text, QChar separator) {
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"')
            field += text[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (quoted || (c != separator && c != '\n'))
            field += c;
        else {
            row.append(std::exchange(field, QString()));
            if (c == '\n')
                rows.append(std::exchange(row, QStringList()));
        }
    }
    return rows;
}

} // namespace

// Run 13, in no series, was recorded before the trace records and has no seal.
TEST_F(ReportToolTest, VerifyNamesEveryRunWhoseSamplesNoLongerMatchTheirSeal) {
    change([](TIBDatabase& db, TIBQuery& q) {
        addRun(db, 13, QVariant(), 1, QDateTime(QDate(2026, 3, 5), QTime(11, 0)), {{0, 5, 1}});
        seal(q, 11, "ivan");
        seal(q, 12, "maria");
    });
    const QString allMatch = "проверени: 2; съвпадат: 2; не съвпадат: 0; без печат: 1";
    const QString run11 = "измерване 11: печатът не съвпада (отчети при запечатване 3, сега 3)";
    const struct {
        const char* step;
        std::function<void(TIBDatabase&, TIBQuery&)> change;
        int code;
        QStringList lines;
    } steps[] = {
        {"as recorded", {}, 0, {"без печат: измервания 13", allMatch}},
        {"run 12 deleted",
         [](TIBDatabase&, TIBQuery& q) { deleteRun(q, 12); },
         0,
         {"без печат: измервания 13", allMatch}},
        {"run 12 restored",
         [](TIBDatabase&, TIBQuery& q) {
             TTrace::restoreRun(q, 12, QDateTime(QDate(2026, 3, 6), QTime(9, 0)), "");
         },
         0,
         {"без печат: измервания 13", allMatch}},
        {"one bit of one sample of run 11",
         [](TIBDatabase& db, TIBQuery&) {
             execSql(db, "update mes_de set mes_value = ? where mes_id = 11 and mes_value = 135",
                     {}, {flipLowestBit(135)});
         },
         5,
         {run11, "без печат: измервания 13",
          "проверени: 2; съвпадат: 1; не съвпадат: 1; без печат: 1"}},
        {"one bit of deleted run 12",
         [](TIBDatabase&, TIBQuery& q) {
             deleteRun(q, 12);
             q.setSQL("update mes_de_bin set mes_value = ? where mes_id = 12 and mes_value = 14");
             q.setParams({flipLowestBit(14)});
             q.ExecSQL();
         },
         5,
         {run11, "измерване 12 (изтрито): печатът не съвпада (отчети при запечатване 6, сега 6)",
          "без печат: измервания 13", "проверени: 2; съвпадат: 0; не съвпадат: 2; без печат: 1"}},
    };
    for (const auto& s : steps) {
        if (s.change)
            change(s.change);
        const Result r = runTool({"--database", m_db, "--verify"});
        EXPECT_EQ(r.code, s.code) << s.step << r.err.toStdString();
        EXPECT_EQ(r.out.split('\n', Qt::SkipEmptyParts), s.lines) << s.step << "\n"
                                                                  << r.out.toStdString();
    }

    // The series' runs only, the deleted one among them.
    Result r = runTool({"--database", m_db, "--verify", "--series", "7"});
    EXPECT_EQ(r.code, 5);
    EXPECT_FALSE(r.out.contains("13")) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith("проверени: 2; съвпадат: 0; не съвпадат: 2; без печат: 0\n"));
    r = runTool({"--database", m_db, "--verify", "--series", "99"});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.err.contains("Няма серия № 99")) << r.err.toStdString();
}

TEST_F(ReportToolTest, AuditTrailOfSomeDaysInBothCsvForms) {
    const QDate d5(2026, 3, 5), d6(2026, 3, 6);
    const struct {
        QDateTime at;
        const char* login;
        TTrace::AuditEntry entry;
        bool inRange;
    } entries[] = {
        {QDateTime(d5.addDays(-1), QTime(23, 59, 59, 999)),
         "ivan",
         {TTrace::kZeroing, "0", "-12.5", ""},
         false},
        {QDateTime(d5, QTime(0, 0)),
         "ivan",
         {TTrace::kRunDeleted, "измерване 11, старт 2026-03-05 09:20:00", "",
          "грешна проба; \"повторна\", виж\r\nпротокола"},
         true},
        {QDateTime(d6, QTime(23, 59, 59, 500)),
         "maria",
         {TTrace::kObjectRenamed, "Път II-86", "Път II-86, км 12", ""},
         true},
        {QDateTime(d6.addDays(1), QTime(0, 0)),
         "maria",
         {TTrace::kObjectDeleted, "Мост", "", ""},
         false},
    };
    change([&](TIBDatabase&, TIBQuery& q) {
        for (const auto& e : entries)
            TTrace::audit(q, e.at, e.login, "lab-1", e.entry);
    });
    TIBDatabase db;
    db.DatabaseName = m_db;
    db.Open();
    const auto ids = selectRows(db, "select audit_id from audit_trail order by at_moment");
    db.Close();
    QList<QStringList> expected{
        {"id", "at", "login", "workstation", "action", "before", "after", "reason"}};
    for (int i = 0; i < 4; ++i)
        if (entries[i].inRange)
            expected.append({ids[i][0].toString(),
                             entries[i].at.toString("yyyy-MM-ddTHH:mm:ss.zzz"), entries[i].login,
                             "lab-1", entries[i].entry.action, entries[i].entry.before,
                             entries[i].entry.after, entries[i].entry.reason});

    for (const auto& [form, separator, bom] :
         {std::tuple("machine", ',', false), std::tuple("spreadsheet", ';', true)}) {
        const QString csv = out("audit.csv");
        const Result r = runTool({"--database", m_db, "--audit", "--from", "2026-03-05", "--to",
                                  "2026-03-06", "--csv", csv, "--csv-form", form});
        ASSERT_EQ(r.code, 0) << form << r.err.toStdString();
        const QByteArray bytes = contents(csv);
        EXPECT_EQ(bytes.startsWith("\xEF\xBB\xBF"), bom) << form;
        EXPECT_EQ(parseCsv(QString::fromUtf8(bytes.mid(bom ? 3 : 0)), QLatin1Char(separator)),
                  expected)
            << form << "\n"
            << bytes.toStdString();
    }

    for (const QStringList& wrong :
         {QStringList{"--audit", "--from", "2026-03-05", "--to", "2026-03-06"},
          {"--audit", "--from", "2026-03-32", "--to", "2026-04-01", "--csv", out("a.csv")},
          {"--audit", "--from", "2026-03-06", "--to", "2026-03-05", "--csv", out("a.csv")},
          {"--verify", "--run", "11"}}) {
        const Result r = runTool(QStringList{"--database", m_db} + wrong);
        EXPECT_EQ(r.code, 1) << wrong.join(' ').toStdString() << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(out("a.csv")));
    }
}

// The tester's line names who recorded the runs; each run's seal and the
// digest of them all are printed, the digest recomputable as the README says.
TEST_F(ReportToolTest, TheReportNamesTheOperatorsAndPrintsTheSeals) {
    const QDateTime t(QDate(2026, 3, 5), QTime(11, 0));
    change([&](TIBDatabase& db, TIBQuery& q) {
        addRun(db, 14, 7, 1, t, {{0, 0, 1}, {5000, 80, 1}});
        addRun(db, 15, 7, 1, t.addSecs(600), {{0, 0, 1}, {5000, 90, 1}}); // no context
        seal(q, 11, "ivan");
        seal(q, 12, "maria");
        seal(q, 14, "ivan");
    });
    TIBDatabase db;
    db.DatabaseName = m_db;
    db.Open();
    const auto seals = selectRows(db, "select m.mes_id, c.seal from mes m left join run_context c "
                                      "on c.mes_id = m.mes_id where m.mes_group_id = 7 order by 1");
    db.Close();
    QCryptographicHash digest(QCryptographicHash::Sha256);
    for (const auto& row : seals) {
        char id[4];
        qToBigEndian(qint32(row[0].toInt()), id);
        digest.addData(QByteArrayView(id, 4));
        digest.addData(QByteArray::fromHex(row[1].toString().toLatin1()));
    }

    const Result r = runTool({"--database", m_db, "--series", "7", "--pdf", out("s7.pdf")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QProcess text;
    text.start("pdftotext", {"-layout", out("s7.pdf"), "-"});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    QStringList expected{"Изпитал:",
                         "ivan, maria",
                         "Проверил:",
                         "(подпис)",
                         "Печат на измерванията",
                         "№ 15: —",
                         "Печат на данните в протокола: " +
                             QString::fromLatin1(digest.result().toHex().left(16))};
    for (const auto& row : seals.mid(0, 3))
        expected.append("№ " + row[0].toString() + ": " + row[1].toString().left(8));
    for (const QString& e : expected)
        EXPECT_TRUE(printed.simplified().contains(e)) << e.toStdString() << "\n"
                                                      << printed.toStdString();
    EXPECT_FALSE(printed.contains("ivan, maria, ivan"));
}
