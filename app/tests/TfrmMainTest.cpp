#include "TfrmMain.h"
#include "QtWait.h"
#include "SimProcess.h"
#include "TClickLabel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

TEST(TfrmMain, DesignStateBeforeShowing) {
    QTemporaryDir dir;
    TfrmMain w(AppPaths::in(dir.path()));
    EXPECT_EQ(w.windowTitle(), QString());
    EXPECT_EQ(w.lblCom->text(), "0");
    EXPECT_TRUE(w.lblCom->font().bold());
    EXPECT_EQ(w.PageControl1->currentWidget(), w.TabSheet2);
    EXPECT_EQ(w.activePage(), TPage::Press);
    // Only the measuring tab can be seen.
    EXPECT_FALSE(w.PageControl1->isTabVisible(0));
    EXPECT_TRUE(w.PageControl1->isTabVisible(1));
    EXPECT_FALSE(w.PageControl1->isTabVisible(2));
    EXPECT_EQ(w.PageControl1->tabText(1), "ИЗМЕРВАНЕ");
    for (TClickLabel* l : {w.Label1, w.lblCom, w.Label13, w.Label14, w.Label17})
        EXPECT_EQ(l->cursor().shape(), Qt::PointingHandCursor) << l->objectName().toStdString();
    EXPECT_EQ(w.Label13->text(), "Групиране");
    EXPECT_EQ(w.Label14->text(), "Преглед");
    EXPECT_EQ(w.Label17->text(), "Обекти");
    EXPECT_EQ(w.ZeroOffset, 0.0);
    EXPECT_TRUE(w.edPstart->text().isEmpty());
    EXPECT_EQ(w.edPstart->accessibleName(), "старт налягане (BAR)");
    EXPECT_EQ(w.findChild<QWidget*>("edMAddrMM"), w.edMAddrMM);
}

TEST(TfrmMain, PortZeroStartsAThreadThatEndsAtOnce) {
    QTemporaryDir dir;
    TfrmMain w(AppPaths::in(dir.path()));
    w.show();
    EXPECT_TRUE(w.acquisitionRunning());
    serveFor(300);
    EXPECT_EQ(w.windowTitle(), QString());
    EXPECT_EQ(w.Label11->text(), "0"); // reset by the thread's start
    w.close();
    EXPECT_FALSE(w.acquisitionRunning());
}

TEST(TfrmMain, CaptionFollowsTheSimulatorsReplies) {
    QTemporaryDir dir;
    SimProcess sim(dir.path(), 3, {"--scenario", "press", "--pause", "0", "--rate", "50"});
    TfrmMain w(AppPaths::in(dir.path()));
    w.lblCom->setText("3");
    w.show();
    ASSERT_TRUE(serveUntil([&] { return w.windowTitle().startsWith("noravel PL"); }));
    const QString first = w.windowTitle();
    ASSERT_TRUE(serveUntil([&] { return w.windowTitle() != first; }));
    EXPECT_TRUE(w.windowTitle().endsWith("\r\n"));

    // The settings page polls nothing; going back to the press page resumes.
    w.PageControl1->setCurrentWidget(w.TabSheet3);
    serveFor(700);
    const auto idleCount = sim.commands().size();
    serveFor(700);
    EXPECT_EQ(sim.commands().size(), idleCount);
    w.PageControl1->setCurrentWidget(w.TabSheet2);
    ASSERT_TRUE(serveUntil([&] { return sim.commands().size() > idleCount + 2; }));

    // The port label restarts acquisition.
    w.lblCom->clicked();
    EXPECT_TRUE(w.acquisitionRunning());
    w.close();
    EXPECT_FALSE(w.acquisitionRunning());
    // The old thread deselected twice, the new one started afresh.
    EXPECT_TRUE(
        serveUntil([&] { return sim.commands().join(' ').contains("U0 U0 U0 U255"); }, 2000))
        << sim.commands().join(' ').toStdString();
}

} // namespace
