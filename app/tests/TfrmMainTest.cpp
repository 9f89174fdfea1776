#include "app/TfrmMain.h"
#include "app/TClickLabel.h"
#include "app/TfrmComPort.h"
#include "db/dmmainU.h"
#include "testsupport/Child.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/GTestQt.h"
#include "testsupport/QtWait.h"
#include "testsupport/SimProcess.h"
#include "testsupport/TestDatabase.h"
#include "testsupport/TestFiles.h"
#include "widgets/TFormStorage.h"
#include "widgets/TPageControl.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Answers the port dialog once it is shown: picks the entry and confirms, or cancels.
void answerPortDialog(const QString& entry, bool confirm) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* dlg = qobject_cast<TfrmComPort*>(QApplication::activeModalWidget());
        if (!dlg)
            return; // acquisition is still being stopped
        timer->deleteLater();
        timer->stop();
        if (!entry.isEmpty())
            child<QComboBox>(*dlg, "ComComboBox1")->setCurrentText(entry);
        (confirm ? child<QPushButton>(*dlg, "BitBtn1") : child<QPushButton>(*dlg, "BitBtn2"))
            ->click();
    });
    timer->start();
}

TEST(TfrmMain, DesignStateBeforeShowing) {
    QTemporaryDir dir;
    FakeMessages messages;
    makeTestDatabase(dir.path() + "/NUV.GDB");
    TdmMain dm;
    TfrmMain w(AppPaths::in(dir.path()), dm);
    EXPECT_EQ(w.windowTitle(), QString());
    EXPECT_EQ(child<TClickLabel>(w, "lblCom")->text(), "0");
    EXPECT_TRUE(child<TClickLabel>(w, "lblCom")->font().bold());
    EXPECT_EQ(child<TPageControl>(w, "PageControl1")->currentWidget(),
              child<QWidget>(w, "TabSheet2"));
    EXPECT_EQ(w.activePage(), TPage::Press);
    // Only the measuring tab can be seen.
    EXPECT_FALSE(child<TPageControl>(w, "PageControl1")->isTabVisible(0));
    EXPECT_TRUE(child<TPageControl>(w, "PageControl1")->isTabVisible(1));
    EXPECT_FALSE(child<TPageControl>(w, "PageControl1")->isTabVisible(2));
    EXPECT_EQ(child<TPageControl>(w, "PageControl1")->tabText(1), "ИЗМЕРВАНЕ");
    for (TClickLabel* l : {child<TClickLabel>(w, "Label1"), child<TClickLabel>(w, "lblCom"),
                           child<TClickLabel>(w, "Label13"), child<TClickLabel>(w, "Label14"),
                           child<TClickLabel>(w, "Label17")})
        EXPECT_EQ(l->cursor().shape(), Qt::PointingHandCursor) << l->objectName().toStdString();
    EXPECT_EQ(child<TClickLabel>(w, "Label13")->text(), "Групиране");
    EXPECT_EQ(child<TClickLabel>(w, "Label14")->text(), "Преглед");
    EXPECT_EQ(child<TClickLabel>(w, "Label17")->text(), "Обекти");
    EXPECT_EQ(w.ZeroOffset, 0.0);
    EXPECT_TRUE(child<QLineEdit>(w, "edPstart")->text().isEmpty());
    EXPECT_EQ(child<QLineEdit>(w, "edPstart")->accessibleName(), "старт налягане (BAR)");
    EXPECT_EQ(w.findChild<QWidget*>("edMAddrMM"), child<QLineEdit>(w, "edMAddrMM"));
}

TEST(TfrmMain, PortZeroStartsAThreadThatEndsAtOnce) {
    QTemporaryDir dir;
    FakeMessages messages;
    makeTestDatabase(dir.path() + "/NUV.GDB");
    TdmMain dm;
    TfrmMain w(AppPaths::in(dir.path()), dm);
    w.show();
    EXPECT_TRUE(w.acquisitionRunning());
    serveFor(300);
    EXPECT_EQ(w.windowTitle(), QString());
    EXPECT_EQ(child<QLabel>(w, "Label11")->text(), "0"); // reset by the thread's start
    w.close();
    EXPECT_FALSE(w.acquisitionRunning());
}

TEST(TfrmMain, CaptionFollowsTheSimulatorsReplies) {
    QTemporaryDir dir;
    FakeMessages messages;
    SimProcess sim(dir.path(), 3, {"--scenario", "press", "--pause", "0", "--rate", "50"});
    makeTestDatabase(dir.path() + "/NUV.GDB");
    TdmMain dm;
    TfrmMain w(AppPaths::in(dir.path()), dm);
    child<TClickLabel>(w, "lblCom")->setText("3");
    w.show();
    ASSERT_TRUE(serveUntil([&] { return w.windowTitle().startsWith("noravel PL"); }));
    const QString first = w.windowTitle();
    ASSERT_TRUE(serveUntil([&] { return w.windowTitle() != first; }));
    // The reply without its line end: no boxes in the caption.
    EXPECT_FALSE(w.windowTitle().contains('\r') || w.windowTitle().contains('\n'));
    EXPECT_EQ(w.windowTitle().size(), QStringLiteral("noravel PL000.0").size());

    // The settings page polls nothing; going back to the press page resumes.
    child<TPageControl>(w, "PageControl1")->setCurrentWidget(child<QWidget>(w, "TabSheet3"));
    serveFor(700);
    const auto idleCount = sim.commands().size();
    serveFor(700);
    EXPECT_EQ(sim.commands().size(), idleCount);
    child<TPageControl>(w, "PageControl1")->setCurrentWidget(child<QWidget>(w, "TabSheet2"));
    ASSERT_TRUE(serveUntil([&] { return sim.commands().size() > idleCount + 2; }));

    // The port label restarts acquisition, also when the dialog is cancelled.
    answerPortDialog(QString(), false);
    child<TClickLabel>(w, "lblCom")->clicked();
    EXPECT_TRUE(w.acquisitionRunning());
    w.close();
    EXPECT_FALSE(w.acquisitionRunning());
    // The old thread deselected twice, the new one started afresh.
    EXPECT_TRUE(
        serveUntil([&] { return sim.commands().join(' ').contains("U0 U0 U0 U255"); }, 2000))
        << sim.commands().join(' ').toStdString();
}

TEST(TfrmMainState, ClosingWritesTheExampleSectionByteForByte) {
    QTemporaryDir dir;
    FakeMessages messages;
    const AppPaths paths = AppPaths::in(dir.path());
    makeTestDatabase(paths.database());
    const QByteArray dev = "[dev]\r\nupp=52.2\r\ndownn=26.2\r\nmaxstart=5.2\r\n";
    writeAll(paths.settings(), "[frmStorage]\r\n\r\n" + dev);
    {
        TdmMain dm;
        TfrmMain w(paths, dm);
        w.show();
        // The design position and size of the example, frame included.
        const QMargins m(w.geometry().left() - w.frameGeometry().left(),
                         w.geometry().top() - w.frameGeometry().top(),
                         w.frameGeometry().right() - w.geometry().right(),
                         w.frameGeometry().bottom() - w.geometry().bottom());
        w.move(508, 270);
        w.resize(656 - m.left() - m.right(), 603 - m.top() - m.bottom());
        child<TClickLabel>(w, "lblCom")->setText("1");
        w.close();
    }
    const QByteArray screen = TFormStorage::screenSuffix().toLatin1();
    const QByteArray ppi =
        QByteArray::number(qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch()));
    EXPECT_EQ(readAll(paths.settings()),
              "[frmStorage]\r\n"
              "FormVersion=0\r\n"
              "Flags=0\r\n"
              "ShowCmd=1\r\n"
              "PixelsPerInch=" +
                  ppi +
                  "\r\n"
                  "MinMaxPos" +
                  screen +
                  "=-1,-1,-1,-1\r\n"
                  "MinMaxPos=-1,-1,-1,-1\r\n"
                  "NormPos" +
                  screen +
                  "=508,270,1164,873\r\n"
                  "NormPos=508,270,1164,873\r\n"
                  "Visible=0\r\n"
                  "edMAddrB_Text=\r\nedMAddrMM_Text=\r\nedMmaxB_Text=\r\nedMmaxN_Text=\r\n"
                  "edMminB_Text=\r\nedMminN_Text=\r\nedMstart_Text=\r\nedPaddrB_Text=\r\n"
                  "edPmaxB_Text=\r\nedPmaxN_Text=\r\nedPminB_Text=\r\nedPminN_Text=\r\n"
                  "edPstart_Text=\r\n"
                  "PageControl1_ActivePage=TabSheet2\r\n"
                  "lblCom_Caption=1\r\n"
                  "\r\n" +
                  dev);
}

TEST(TfrmMainState, RestoredEditsPagesAndPort) {
    QTemporaryDir dir;
    FakeMessages messages;
    const AppPaths paths = AppPaths::in(dir.path());
    makeTestDatabase(paths.database());
    writeAll(paths.settings(), "[frmStorage]\r\nedPstart_Text=  12  \r\n"
                               "edMstart_Text=\"\"5\"\"\r\nPageControl1_ActivePage=tabsheet1\r\n"
                               "lblCom_Caption= 7 \r\nShowCmd=3\r\n");
    {
        TdmMain dm;
        TfrmMain w(paths, dm);
        w.show();
        EXPECT_EQ(child<QLineEdit>(w, "edPstart")->text(), "12");
        EXPECT_EQ(child<QLineEdit>(w, "edMstart")->text(), "\"5\"");
        EXPECT_EQ(w.activePage(), TPage::Cbr);
        EXPECT_EQ(child<TClickLabel>(w, "lblCom")->text(), "7");
        EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
        w.showMinimized();
        w.close();
    }
    EXPECT_TRUE(readAll(paths.settings()).contains("ShowCmd=2\r\n"));
    writeAll(paths.settings(), readAll(paths.settings())
                                   .replace("PageControl1_ActivePage=TabSheet1",
                                            "PageControl1_ActivePage=TabSheet9"));
    TdmMain dm2;
    TfrmMain again(paths, dm2);
    again.show();
    // Closed minimized: the program starts minimized; an unknown page leaves none active.
    EXPECT_TRUE(again.windowState() & Qt::WindowMinimized);
    EXPECT_EQ(again.activePage(), TPage::None);
    EXPECT_EQ(child<TPageControl>(again, "PageControl1")->activePage(), nullptr);
    again.close();
    // With no page active no key is written, so the old value stays.
    EXPECT_TRUE(readAll(paths.settings()).contains("PageControl1_ActivePage=TabSheet9\r\n"));
}

TEST(TfrmMainState, PortChoiceRestartsOnTheChosenPortAndSurvivesARestart) {
    QTemporaryDir dir;
    FakeMessages messages;
    const AppPaths paths = AppPaths::in(dir.path());
    makeTestDatabase(paths.database());
    SimProcess sim(dir.path(), 12, {"--scenario", "idle"});
    QFile::link("/dev/null", paths.ports() + "/COM2");
    {
        TdmMain dm;
        TfrmMain w(paths, dm);
        w.SystemPorts = [] { return QStringList{"ttyS0"}; };
        w.show();
        EXPECT_EQ(child<TClickLabel>(w, "lblCom")->text(), "0");

        answerPortDialog(QString(), /*confirm*/ false);
        child<TClickLabel>(w, "lblCom")->clicked();
        EXPECT_EQ(child<TClickLabel>(w, "lblCom")->text(),
                  "0"); // cancelled: same port, acquisition restarted
        EXPECT_TRUE(w.acquisitionRunning());

        answerPortDialog("COM12", true);
        child<TClickLabel>(w, "Label1")->clicked();
        EXPECT_EQ(child<TClickLabel>(w, "lblCom")->text(), "12");
        ASSERT_TRUE(serveUntil([&] { return w.windowTitle().startsWith("noravel "); }));
        w.close();
    }
    TdmMain dm2;
    TfrmMain again(paths, dm2);
    again.show();
    EXPECT_EQ(child<TClickLabel>(again, "lblCom")->text(), "12");
    ASSERT_TRUE(serveUntil([&] { return again.windowTitle().startsWith("noravel "); }));
    again.close();
    EXPECT_TRUE(messages.errors.isEmpty());
}

TEST(TfrmMainState, MissingDatabaseGivesOneMessageAndNoAcquisitionUntilAPortChoice) {
    QTemporaryDir dir;
    FakeMessages messages;
    TdmMain dm;
    TfrmMain w(AppPaths::in(dir.path()), dm);
    w.show();
    ASSERT_EQ(messages.errors.size(), 1);
    EXPECT_TRUE(messages.errors.first().contains("NUV.GDB"))
        << messages.errors.first().toStdString();
    EXPECT_FALSE(w.acquisitionRunning());
    EXPECT_TRUE(w.isVisible());
    answerPortDialog(QString(), false);
    child<TClickLabel>(w, "lblCom")->clicked();
    EXPECT_TRUE(w.acquisitionRunning());
    w.close();
}

// A termination signal while the port dialog is open: the dialog goes without
// a question, the window closes the close button's way, and the dialog's
// return starts no acquisition behind the closed window.
TEST(TfrmMainState, SignalWhileThePortDialogIsOpenClosesAndStartsNothing) {
    QTemporaryDir dir;
    FakeMessages messages;
    const AppPaths paths = AppPaths::in(dir.path());
    makeTestDatabase(paths.database());
    TdmMain dm;
    TfrmMain w(paths, dm);
    w.SystemPorts = [] { return QStringList{"ttyS0"}; };
    w.show();
    bool dialogSeen = false;
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [&] {
        if (!qobject_cast<TfrmComPort*>(QApplication::activeModalWidget()))
            return;
        timer->stop();
        timer->deleteLater();
        dialogSeen = true;
        w.CloseOnSignal();
    });
    timer->start();
    child<TClickLabel>(w, "lblCom")->clicked();
    EXPECT_TRUE(dialogSeen);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.acquisitionRunning());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(readAll(paths.settings()).contains("NormPos="));
}

} // namespace
