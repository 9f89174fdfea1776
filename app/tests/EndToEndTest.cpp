// The program against the simulator and a real embedded database: a test on
// the press and one on the Marshall/CBR frame each leave one run behind.
#include "app/TfrmMain.h"
#include "db/dmmainU.h"
#include "testsupport/Child.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/GTestQt.h"
#include "testsupport/QtWait.h"
#include "testsupport/SimProcess.h"
#include "testsupport/TestDatabase.h"
#include "testsupport/TestFiles.h"

#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// isql prints "LABEL <value>" lines in list mode.
double real(const QString& isqlOutput, const QString& label) {
    for (const QString& line : isqlOutput.split('\n')) {
        const QString t = line.simplified();
        if (t.startsWith(label + " "))
            return t.mid(label.size() + 1).toDouble();
    }
    return -1;
}

TEST(EndToEnd, PressTestRecordsOneScaledRun) {
    QTemporaryDir dir;
    FakeMessages messages;
    const AppPaths paths = AppPaths::in(dir.path());
    makeTestDatabase(paths.database());
    // Twice the usual scale: a 100 kN test on the controller records about 200 kN.
    writeAll(paths.settings(), "[frmStorage]\r\nlblCom_Caption=5\r\n"
                               "PageControl1_ActivePage=TabSheet2\r\n"
                               "[dev]\r\nupp=104.4\r\ndownn=26.2\r\nmaxstart=5.2\r\n");
    SimProcess sim(dir.path(), 5,
                   {"--scenario", "press", "--rate", "50", "--peak", "100", "--pause", "3"});
    {
        TdmMain dm;
        TfrmMain w(paths, dm);
        w.show();
        // A run opens at the threshold and ends when the specimen breaks.
        ASSERT_TRUE(serveUntil([&] { return w.charts().Series3->count() > 0; }, 10000));
        ASSERT_TRUE(serveUntil(
            [&] {
                return QFile::exists(paths.database()) &&
                       child<QLabel>(w, "Label11")->text().toDouble() > 150;
            },
            15000));
        ASSERT_TRUE(
            serveUntil([&] { return child<QLabel>(w, "Label11")->text().toDouble() < 20; }, 15000));
        w.close();
    }
    const QString out =
        isql(paths.database(),
             "set list on;"
             "select count(*) as runs, min(dev_id) as dev from mes;"
             "select count(*) as samples, max(mes_value) as maxv, min(mes_value) as minv,"
             " min(dev_id) as sdev, max(dev_id) as sdev2 from mes_de;");
    EXPECT_EQ(real(out, "RUNS"), 1) << out.toStdString();
    EXPECT_EQ(real(out, "DEV"), 1);
    EXPECT_GT(real(out, "SAMPLES"), 3);
    EXPECT_EQ(real(out, "SDEV"), 1);
    EXPECT_EQ(real(out, "SDEV2"), 1);
    EXPECT_GT(real(out, "MAXV"), 170);
    EXPECT_LE(real(out, "MAXV"), 201);
    EXPECT_GE(real(out, "MINV"), 5.2); // nothing below the threshold is recorded
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('|').toStdString();
    EXPECT_FALSE(QFile::exists(paths.log())) << "no sample failed";
}

TEST(EndToEnd, MarshallCbrTestRecordsLoadAndDeformation) {
    QTemporaryDir dir;
    FakeMessages messages;
    const AppPaths paths = AppPaths::in(dir.path());
    makeTestDatabase(paths.database());
    writeAll(paths.settings(), "[frmStorage]\r\nlblCom_Caption=6\r\n"
                               "PageControl1_ActivePage=TabSheet1\r\n");
    SimProcess sim(dir.path(), 6,
                   {"--scenario", "cbr", "--cbr-ramp", "4", "--cbr-peak", "30", "--pause", "4"});
    {
        TdmMain dm;
        TfrmMain w(paths, dm);
        w.show();
        ASSERT_EQ(w.activePage(), TPage::Cbr);
        ASSERT_TRUE(
            serveUntil([&] { return child<QLabel>(w, "Label15")->text().toDouble() > 10; }, 20000));
        ASSERT_TRUE(
            serveUntil([&] { return child<QLabel>(w, "Label15")->text().toDouble() < 1; }, 20000));
        w.close();
    }
    const QString out =
        isql(paths.database(),
             "set list on;"
             "select count(*) as runs, min(dev_id) as dev from mes;"
             "select count(*) as loads, max(mes_value) as maxload from mes_de where dev_id = 2;"
             "select count(*) as defs, max(mes_value) as maxdef"
             " from mes_de where dev_id = 3;");
    EXPECT_EQ(real(out, "RUNS"), 1) << out.toStdString();
    EXPECT_EQ(real(out, "DEV"), 2);
    EXPECT_GT(real(out, "LOADS"), 1);
    EXPECT_EQ(real(out, "LOADS"), real(out, "DEFS"));
    EXPECT_GT(real(out, "MAXLOAD"), 10);
    // The run's first deformation reading is its zero.
    const QString first =
        isql(paths.database(), "set list on; select first 1 mes_value as firstdef"
                               " from mes_de where dev_id = 3 order by mes_de_id;");
    EXPECT_EQ(real(first, "FIRSTDEF"), 0.0) << first.toStdString();
    EXPECT_GT(real(out, "MAXDEF"), 0.5);
}

} // namespace
