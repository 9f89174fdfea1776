// The main window's status line against the simulator and a real embedded
// database: whether the program is acquiring, whether the device was lost
// and came back, and whether the database takes the recording.
#include "app/TStatusLine.h"
#include "app/TfrmMain.h"
#include "core/Win1251.h"
#include "db/dmmainU.h"
#include "testsupport/Child.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/GTestQt.h"
#include "testsupport/QtWait.h"
#include "testsupport/SimProcess.h"
#include "testsupport/TestDatabase.h"
#include "testsupport/TestFiles.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

class StatusLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        makeTestDatabase(m_paths.database());
    }
    void settings(int port) {
        writeAll(m_paths.settings(), "[frmStorage]\r\nlblCom_Caption=" + QByteArray::number(port) +
                                         "\r\nPageControl1_ActivePage=TabSheet2\r\n");
    }
    bool showsExactly(TfrmMain& w, const QString& text, int timeoutMs = 8000) {
        return serveUntil([&] { return child<TStatusLine>(w, "lblStatus")->text() == text; },
                          timeoutMs);
    }

    QTemporaryDir m_dir;
    FakeMessages m_messages;
    AppPaths m_paths = AppPaths::in(m_dir.path());
};

TEST_F(StatusLineTest, PortLostIsShownAndTheDeviceIsUsedAgainWhenItReturns) {
    settings(5);
    auto sim = std::make_unique<SimProcess>(m_dir.path(), 5, QStringList{"--scenario", "idle"});
    TdmMain dm;
    TfrmMain w(m_paths, dm);
    w.show();
    ASSERT_TRUE(showsExactly(w, QStringLiteral("Връзка с пресата на COM5")))
        << child<TStatusLine>(w, "lblStatus")->text().toStdString();
    EXPECT_FALSE(child<TStatusLine>(w, "lblStatus")->alarming());
    const QRegularExpression caption("^noravel PL.{5}$");
    ASSERT_TRUE(serveUntil([&] { return caption.match(w.windowTitle()).hasMatch(); }))
        << w.windowTitle().toStdString();

    sim.reset(); // the adapter is pulled out
    ASSERT_TRUE(showsExactly(w, QStringLiteral("Връзката с COM5 е загубена")))
        << child<TStatusLine>(w, "lblStatus")->text().toStdString();
    EXPECT_TRUE(child<TStatusLine>(w, "lblStatus")->alarming());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("noravel Връзката с COM5 е загубена"));
    EXPECT_TRUE(w.acquisitionRunning());

    sim = std::make_unique<SimProcess>(m_dir.path(), 5, QStringList{"--scenario", "idle"});
    ASSERT_TRUE(showsExactly(w, QStringLiteral("Връзка с пресата на COM5")))
        << child<TStatusLine>(w, "lblStatus")->text().toStdString();
    EXPECT_FALSE(child<TStatusLine>(w, "lblStatus")->alarming());
    EXPECT_TRUE(serveUntil([&] { return caption.match(w.windowTitle()).hasMatch(); }))
        << w.windowTitle().toStdString();
    w.close();
    EXPECT_TRUE(m_messages.errors.isEmpty());
}

TEST_F(StatusLineTest, NoPortIsSaidInPlainWords) {
    settings(0);
    TdmMain dm;
    TfrmMain w(m_paths, dm);
    w.show();
    ASSERT_TRUE(showsExactly(w, QStringLiteral("Няма връзка с пресата на COM0")))
        << child<TStatusLine>(w, "lblStatus")->text().toStdString();
    EXPECT_TRUE(child<TStatusLine>(w, "lblStatus")->alarming());
    w.close();
}

// The database refusing writes is shown at once, in red, with the count of
// held samples, never in a message box; the log gets one line; the held
// samples reach their run once the database is back.
TEST_F(StatusLineTest, RefusedRecordingIsShownUntilTheHeldSamplesAreWritten) {
    settings(0);
    int run = 0;
    {
        TdmMain dm;
        TfrmMain w(m_paths, dm);
        w.show();
        ASSERT_TRUE(dm.dbNUV.Connected());
        dm.dbNUV.Close();
        dm.dbNUV.DatabaseName = m_dir.path() + "/gone/NUV.GDB";
        run = w.recorder().StartRun(1);
        for (int i = 1; i <= 3; ++i)
            w.recorder().AddSample(run, 1, 10.0 * i, 0);
        const QString text = child<TStatusLine>(w, "lblStatus")->text();
        EXPECT_TRUE(text.startsWith(
            QStringLiteral("Базата данни не приема записи: файлът на базата данни не може да "
                           "бъде отворен. Задържани проби: 3")))
            << text.toStdString();
        EXPECT_TRUE(child<TStatusLine>(w, "lblStatus")->alarming());
        // The engine's own text is in the tooltip, for the maintainer.
        EXPECT_TRUE(child<TStatusLine>(w, "lblStatus")->toolTip().contains("gone/NUV.GDB"))
            << child<TStatusLine>(w, "lblStatus")->toolTip().toStdString();
        // However long the text, the window keeps its size.
        EXPECT_LE(w.minimumSizeHint().width(), 640);
        EXPECT_TRUE(m_messages.errors.isEmpty());

        dm.dbNUV.DatabaseName = m_paths.database();
        // Tried again once a second, without anything else happening.
        ASSERT_TRUE(serveUntil([&] { return !w.recorder().failing(); }, 5000))
            << w.recorder().cause().toStdString();
        EXPECT_FALSE(
            child<TStatusLine>(w, "lblStatus")->text().contains(QStringLiteral("Базата данни")));

        // Refused again just before the program is closed: the close path
        // tries the held samples once more.
        dm.dbNUV.Close();
        dm.dbNUV.DatabaseName = m_dir.path() + "/gone/NUV.GDB";
        w.recorder().AddSample(run, 1, 40.0, 0);
        ASSERT_TRUE(w.recorder().failing());
        dm.dbNUV.DatabaseName = m_paths.database();
        w.close();
        EXPECT_FALSE(w.recorder().failing());
    }
    const QString log = Win1251::decode(readAll(m_paths.log()));
    EXPECT_EQ(log.count(QStringLiteral("commErr")), 2) << log.toStdString(); // two episodes
    EXPECT_TRUE(log.contains(QStringLiteral("Базата данни не приема записи")));
    const QString out = isql(m_paths.database(),
                             "set list on; select count(*) as n, sum(mes_value) as s from mes_de;"
                             "select count(*) as r from mes;");
    EXPECT_TRUE(out.contains(QRegularExpression("N\\s+4\\b"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QRegularExpression("S\\s+100\\.0"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QRegularExpression("R\\s+1\\b"))) << out.toStdString();
}

TEST(StatusLineText, CausesInTheOperatorsWords) {
    EXPECT_EQ(
        TStatusLine::recordingText(
            "I/O error during \"write\" operation for file \"NUV.GDB\"\n-File too large", 1234, 0),
        QStringLiteral("Базата данни не приема записи: дискът е пълен или файлът на базата "
                       "данни не може да расте. Задържани проби: 1234"));
    EXPECT_TRUE(TStatusLine::recordingText("connection lost to database", 5, 7)
                    .endsWith(QStringLiteral("Изгубени проби (паметта е пълна): 7")));
    EXPECT_EQ(TStatusLine::recordingText(QString(), 12, 0),
              QStringLiteral("Задържаните проби се записват в базата данни. Остават: 12"));
    // A server that went away (stopped, restarted, the network down).
    EXPECT_EQ(TStatusLine::recordingText("Unable to complete network request to host "
                                         "\"127.0.0.1\".\n-Failed to establish a connection.",
                                         40, 0),
              QStringLiteral("Няма връзка с базата данни. Задържани проби: 40"));
    EXPECT_EQ(TStatusLine::causeInBulgarian("Unable to complete network request"),
              QStringLiteral("връзката с базата данни е прекъсната"));
    // While the server is away, each new connection fails before it is made,
    // and a write finds none open: the same outage.
    EXPECT_EQ(TStatusLine::recordingText(
                  "Сървърът на базата данни „127.0.0.1/3050:/srv/NUV.GDB“ не отговаря: няма "
                  "връзка с него по мрежата или той не работи.\r\nNo answer from "
                  "\"127.0.0.1\" on port 3050 within 5 s",
                  40, 0),
              QStringLiteral("Няма връзка с базата данни. Задържани проби: 40"));
    EXPECT_EQ(TStatusLine::causeInBulgarian(
                  "Грешка при генериране на уникалния номер на таблица mes Няма връзка с "
                  "базата данни"),
              QStringLiteral("връзката с базата данни е прекъсната"));
    EXPECT_EQ(TStatusLine::causeInBulgarian("something else"),
              QStringLiteral("грешка на базата данни"));
}

} // namespace
