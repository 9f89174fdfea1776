// Window placement on a real display with a window manager's frames: any
// number of open/close cycles, normal or maximized, leaves every window, its
// splitter and its chart where they were.
#include "core/ProfileFile.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/QtWait.h"
#include "widgets/frmTRootU.h"

#include "testsupport/GTestQt.h"
#include "testsupport/TestFiles.h"

#include <QApplication>
#include <QScreen>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

// A window with a left panel and a chart stacked over a grid, sizes stored
// like the grouping window's.
class TfrmSplit : public TfrmTRoot {
public:
    explicit TfrmSplit(const AppPaths& paths) : TfrmTRoot(paths) {
        setObjectName("frmSplit");
        auto* outer = new QSplitter(Qt::Horizontal, this);
        Panel1 = new QWidget(outer);
        Panel1->setObjectName("Panel1");
        auto* right = new QSplitter(Qt::Vertical, outer);
        DBChart1 = new QWidget(right);
        DBChart1->setObjectName("DBChart1");
        new QWidget(right);
        (new QVBoxLayout(this))->addWidget(outer);
        FormStorage1->StoredProps = {"Panel1.Width", "DBChart1.Height"};
        setGeometry(150, 140, 640, 480);
        outer->setSizes({200, 440});
        right->setSizes({300, 180});
    }
    QWidget* Panel1;
    QWidget* DBChart1;
};

struct Seen {
    QRect frame;
    QRect normal;
    bool maximized;
    int panel;
    int chart;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Seen& s) {
    return os << "frame " << s.frame.x() << "," << s.frame.y() << " " << s.frame.width() << "x"
              << s.frame.height() << " normal " << s.normal.x() << "," << s.normal.y() << " "
              << s.normal.width() << "x" << s.normal.height() << (s.maximized ? " max" : "")
              << " panel " << s.panel << " chart " << s.chart;
}

QString normPosIn(const AppPaths& paths) {
    return TProfileFile(paths.settings()).readString("frmStorage", "NormPos", "");
}

// One opening and closing; maximize: the operator maximizes it before closing.
Seen cycle(const AppPaths& paths, bool maximize) {
    TfrmSplit w(paths);
    w.show();
    // The frame arrives (late on a busy machine) and the restored size settles.
    serveUntil([&] { return w.frameGeometry() != w.geometry(); }, 5000);
    serveFor(300);
    const Seen seen{w.frameGeometry(), w.normalGeometry(), w.isMaximized(), w.Panel1->width(),
                    w.DBChart1->height()};
    if (maximize && !w.isMaximized()) {
        w.showMaximized();
        serveFor(400);
    }
    w.close();
    return seen;
}

TEST(FormStorageX, OpenCloseCyclesLeaveWindowSplitterAndChartWhereTheyWere) {
    QTemporaryDir dir;
    FakeMessages messages;
    const AppPaths paths = AppPaths::in(dir.path());
    const Seen first = cycle(paths, false);
    ASSERT_GT(first.frame.height(), first.normal.height()) << "no window manager frame";
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(cycle(paths, false), first) << "after " << i + 1 << " cycles";

    // Closed maximized: it opens maximized, its normal rectangle kept as it was.
    const QString normPos = normPosIn(paths);
    cycle(paths, true);
    for (int i = 0; i < 10; ++i) {
        const Seen seen = cycle(paths, false);
        ASSERT_TRUE(seen.maximized) << i;
        ASSERT_EQ(normPosIn(paths), normPos) << "after " << i + 1 << " maximized cycles";
    }
    // Brought back to normal, it is exactly where it was before.
    {
        TfrmSplit w(paths);
        w.show();
        serveUntil([&] { return w.frameGeometry() != w.geometry(); }, 5000);
        serveFor(300);
        w.showNormal();
        serveFor(500);
        EXPECT_EQ(w.frameGeometry(), first.frame);
        EXPECT_EQ(w.Panel1->width(), first.panel);
        EXPECT_EQ(w.DBChart1->height(), first.chart);
        w.close();
    }
    EXPECT_TRUE(messages.errors.isEmpty());
}

TEST(FormStorageX, AWindowOffEveryScreenOpensOnThePrimaryScreen) {
    QTemporaryDir dir;
    FakeMessages messages;
    const AppPaths paths = AppPaths::in(dir.path());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const QByteArray& norm :
         {QByteArray("5000,5000,5640,5480"), QByteArray("-3000,-900,-2360,-420"),
          QByteArray("100,-2000,740,-1520")}) {
        writeAll(paths.settings(), "[frmStorage]\r\nNormPos=" + norm + "\r\nShowCmd=1\r\n");
        TfrmSplit w(paths);
        w.show();
        serveUntil([&] { return w.frameGeometry() != w.geometry(); }, 5000);
        serveFor(300);
        EXPECT_TRUE(screen.contains(w.frameGeometry())) << norm.toStdString();
        EXPECT_EQ(w.frameGeometry().size(), QSize(640, 480)) << norm.toStdString(); // as stored
        w.close();
    }
}

} // namespace
