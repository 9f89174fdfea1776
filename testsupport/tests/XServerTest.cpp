// The real-display test set-up itself: a window is exposed on the xcb
// platform, the window manager frames and maximizes it, and a key press
// reaches the focused control.
#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

TEST(XServer, WindowsAreFramedMaximizedAndGetKeys) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QWidget w;
    auto* edit = new QLineEdit(&w);
    (new QVBoxLayout(&w))->addWidget(edit);
    w.resize(300, 200);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::qWait(300);
    EXPECT_GT(w.frameGeometry().height(), w.geometry().height()) << "no window manager frame";

    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("abc"));
    EXPECT_EQ(edit->text(), QStringLiteral("abc"));

    w.showMaximized();
    QTest::qWait(500);
    EXPECT_TRUE(w.isMaximized());
    EXPECT_GT(w.width(), 1000);
}
