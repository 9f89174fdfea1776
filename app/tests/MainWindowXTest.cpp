// The main window and the port dialog on a real display with a window
// manager: wheel and keys over the page tabs, the port dialog's size, place
// and selected port, Qt's own texts in Bulgarian. Screenshots go to
// <build>/screens for a reviewer to look at.
#include "app/TClickLabel.h"
#include "app/TTranslations.h"
#include "app/TfrmComPort.h"
#include "app/TfrmMain.h"
#include "db/dmmainU.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/QtWait.h"
#include "testsupport/TestFiles.h"
#include "widgets/TPageControl.h"

#include "testsupport/Child.h"
#include "testsupport/GTestQt.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

QString screensDir() {
    const QString dir = QStringLiteral(NUV_BIN_DIR "/../screens");
    QDir().mkpath(dir);
    return dir;
}

// What is on the screen over the window's frame.
QImage screenshot(const QWidget& w, const QString& name) {
    const QRect frame = w.frameGeometry();
    const QImage shot = QGuiApplication::primaryScreen()
                            ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                            .toImage();
    shot.save(screensDir() + "/" + name + ".png");
    return shot;
}

// A wheel turned over a widget, delivered to its window as the X server's would be.
void turnWheel(QWidget* over, int notches) {
    QWindow* window = over->window()->windowHandle();
    const QPoint local = over->rect().center();
    const QPointF inWindow = over->mapTo(over->window(), local);
    const QPointF global = over->mapToGlobal(local);
    QWheelEvent e(inWindow, global, QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(window, &e);
}

class MainWindowX : public ::testing::Test {
protected:
    AppPaths paths() const { return AppPaths::in(m_dir.path()); }
    QTemporaryDir m_dir;
    FakeMessages m_messages; // no database here: its message is recorded
};

TEST_F(MainWindowX, WheelAndKeysOverTheTabsNeverChangeTheDevicePage) {
    writeAll(paths().settings(), "[frmStorage]\r\nPageControl1_ActivePage=TabSheet1\r\n");
    {
        TdmMain dm;
        TfrmMain w(paths(), dm);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        ASSERT_EQ(w.activePage(), TPage::Cbr);
        for (int notches : {1, -1, 3, -3, -1, -1, 2}) {
            turnWheel(child<TPageControl>(w, "PageControl1")->tabBar(), notches);
            serveFor(30);
            ASSERT_EQ(w.activePage(), TPage::Cbr) << "wheel " << notches;
        }
        turnWheel(child<TPageControl>(w, "PageControl1"), -2); // over the page itself
        child<TPageControl>(w, "PageControl1")->setFocus();
        for (Qt::KeyboardModifiers mod : {Qt::KeyboardModifiers(Qt::ControlModifier),
                                          Qt::ControlModifier | Qt::ShiftModifier}) {
            QTest::keyClick(child<TPageControl>(w, "PageControl1"), Qt::Key_Tab, mod);
            QTest::keyClick(child<TPageControl>(w, "PageControl1"), Qt::Key_PageDown,
                            Qt::ControlModifier);
        }
        child<TPageControl>(w, "PageControl1")->tabBar()->setFocus();
        QTest::keyClick(child<TPageControl>(w, "PageControl1")->tabBar(), Qt::Key_Left);
        QTest::keyClick(child<TPageControl>(w, "PageControl1")->tabBar(), Qt::Key_Right);
        serveFor(50);
        EXPECT_EQ(w.activePage(), TPage::Cbr);
        screenshot(w, "frmMain-cbr");

        // A click on the measuring tab is a deliberate choice.
        QTabBar* bar = child<TPageControl>(w, "PageControl1")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        EXPECT_EQ(w.activePage(), TPage::Press);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        child<TPageControl>(w, "PageControl1")->setActivePage(child<QWidget>(w, "TabSheet1"));
        w.close();
    }
    EXPECT_TRUE(readAll(paths().settings()).contains("PageControl1_ActivePage=TabSheet1\r\n"));
}

TEST_F(MainWindowX, PortDialogHasADialogsSizeSitsOnTheMainWindowAndKeepsThePortInUse) {
    QDir().mkpath(paths().ports());
    for (const char* name : {"COM1", "COM10", "COM2", "COM3"})
        QFile::link("/dev/null", paths().ports() + "/" + name);
    // The main window saved last, at its own size: the dialog does not take it.
    writeAll(paths().settings(), "[frmStorage]\r\nNormPos=40,30,1240,780\r\nlblCom_Caption=3\r\n"
                                 "PageControl1_ActivePage=TabSheet2\r\n");
    TdmMain dm;
    TfrmMain w(paths(), dm);
    w.SystemPorts = [] { return QStringList(); };
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    serveFor(500);
    screenshot(w, "frmMain");
    ASSERT_EQ(child<TClickLabel>(w, "lblCom")->text(), "3");

    QRect dialogFrame;
    QString selected;
    QStringList entries;
    QImage shot;
    QTimer::singleShot(0, [&] {
        serveUntil([] { return qobject_cast<TfrmComPort*>(QApplication::activeModalWidget()); },
                   5000);
        auto* dlg = qobject_cast<TfrmComPort*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        serveUntil([&] { return dlg->frameGeometry() != dlg->geometry(); }, 3000);
        serveFor(300);
        dialogFrame = dlg->frameGeometry();
        selected = child<QComboBox>(*dlg, "ComComboBox1")->currentText();
        for (int i = 0; i < child<QComboBox>(*dlg, "ComComboBox1")->count(); ++i)
            entries.append(child<QComboBox>(*dlg, "ComComboBox1")->itemText(i));
        shot = screenshot(*dlg, "frmComPort");
        QTest::keyClick(dlg, Qt::Key_Return); // Enter confirms the port shown
    });
    QTest::mouseClick(child<TClickLabel>(w, "lblCom"), Qt::LeftButton);
    EXPECT_EQ(entries, (QStringList{"COM1", "COM10", "COM2", "COM3"}));
    EXPECT_EQ(selected, "COM3");
    EXPECT_EQ(child<TClickLabel>(w, "lblCom")->text(), "3")
        << "Enter moved the press to another port";
    ASSERT_TRUE(dialogFrame.isValid());
    EXPECT_LT(dialogFrame.width(), 500);
    EXPECT_LT(dialogFrame.height(), 250);
    EXPECT_LE(std::abs(dialogFrame.center().x() - w.frameGeometry().center().x()), 20);
    EXPECT_LE(std::abs(dialogFrame.center().y() - w.frameGeometry().center().y()), 40);
    // What is on the screen is the dialog at that size, not a window behind.
    EXPECT_EQ(shot.size(), dialogFrame.size());
    w.close();
    EXPECT_TRUE(readAll(paths().settings()).contains("NormPos=40,30,1240,780\r\n"));
}

// The main window closed maximized, start after start: it opens maximized
// and keeps its normal rectangle, instead of creeping up by its title bar.
TEST_F(MainWindowX, ClosedMaximizedItComesBackWhereItWasAtEveryStart) {
    writeAll(paths().settings(), "[frmStorage]\r\nNormPos=100,80,900,680\r\nShowCmd=1\r\n");
    const auto normPos = [&] {
        const QByteArray all = readAll(paths().settings());
        const qsizetype at = all.indexOf("\nNormPos=");
        return all.mid(at + 1, all.indexOf('\r', at) - at - 1);
    };
    for (int start = 0; start < 10; ++start) {
        TdmMain dm;
        TfrmMain w(paths(), dm);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        serveFor(400);
        if (start == 0) {
            EXPECT_EQ(w.frameGeometry(), QRect(100, 80, 800, 600));
            w.showMaximized();
            serveFor(400);
        }
        ASSERT_TRUE(w.isMaximized()) << start;
        w.close();
        ASSERT_EQ(normPos(), "NormPos=100,80,900,680") << "after " << start + 1 << " starts";
    }
    TdmMain dm;
    TfrmMain w(paths(), dm);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    serveFor(400);
    w.showNormal();
    serveUntil([&] { return w.frameGeometry() == QRect(100, 80, 800, 600); }, 3000);
    EXPECT_EQ(w.frameGeometry(), QRect(100, 80, 800, 600));
    w.close();
}

TEST(QtTexts, StandardButtonsAreInBulgarian) {
    ASSERT_TRUE(TTranslations::install(*qApp));
    QString cancel, yes, no;
    QTimer::singleShot(0, [&] {
        serveUntil([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); },
                   5000);
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        serveFor(200);
        cancel = box->button(QMessageBox::Cancel)->text();
        yes = box->button(QMessageBox::Yes)->text();
        no = box->button(QMessageBox::No)->text();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    const auto answer = QMessageBox::question(
        nullptr, "?", "?", QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(answer, QMessageBox::Cancel);
    EXPECT_EQ(cancel.remove('&'), "Отказ");
    EXPECT_EQ(yes.remove('&'), "Да");
    EXPECT_EQ(no.remove('&'), "Не");
}

} // namespace
