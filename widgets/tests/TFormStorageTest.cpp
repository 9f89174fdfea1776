#include "core/ProfileFile.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/QtWait.h"
#include "widgets/TPageControl.h"
#include "widgets/frmTRootU.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QScreen>
#include <QSplitter>
#include <QTemporaryDir>

#include "testsupport/GTestQt.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// A secondary window with one control of each stored kind.
class TfrmProbe : public TfrmTRoot {
public:
    explicit TfrmProbe(const AppPaths& paths, bool refuseClose = false)
        : TfrmTRoot(paths), m_refuse(refuseClose) {
        setObjectName("frmProbe");
        auto* split = new QSplitter(this);
        split->setObjectName("Splitter1");
        Panel1 = new QWidget(split);
        Panel1->setObjectName("Panel1");
        auto* right = new QWidget(split);
        split->setGeometry(0, 0, 400, 300);
        split->setSizes({150, 250});
        (void)right;
        edName = new QLineEdit(this);
        edName->setObjectName("edName");
        Pages = new TPageControl(this);
        Pages->setObjectName("Pages");
        TabA = new QWidget;
        TabA->setObjectName("TabA");
        TabB = new QWidget;
        TabB->setObjectName("TabB");
        Pages->addPage(TabA, "A", true);
        Pages->addPage(TabB, "B", false);
        FormStorage1->StoredProps = {"edName.Text", "Pages.ActivePage", "Panel1.Width",
                                     "Missing.Text"};
        setGeometry(100, 120, 300, 200);
    }
    QWidget* Panel1;
    QLineEdit* edName;
    TPageControl* Pages;
    QWidget* TabA;
    QWidget* TabB;
    int shows = 0;

protected:
    void FormShow() override { ++shows; }
    bool FormCloseQuery() override { return !m_refuse; }

private:
    bool m_refuse;
};

class FormStorageTest : public ::testing::Test {
protected:
    QString ini() const { return m_dir.path() + "/prjNUV.ini"; }
    void write(const QByteArray& text) {
        QFile f(ini());
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(text);
    }
    QString value(const QString& key) const {
        return TProfileFile(ini()).readString("frmStorage", key, "<none>");
    }
    QByteArray screen() const { return TFormStorage::screenSuffix().toLatin1(); }
    AppPaths paths() const { return AppPaths::in(m_dir.path()); }

    QTemporaryDir m_dir;
    FakeMessages m_messages;
};

TEST_F(FormStorageTest, NoFileKeepsTheDesignAndTheFirstCloseWritesEverythingInOrder) {
    QByteArray norm, panel;
    {
        TfrmProbe w(paths());
        w.show();
        EXPECT_EQ(w.shows, 1);
        EXPECT_TRUE(w.FormStorage1->Restored);
        EXPECT_EQ(w.geometry().topLeft(), QPoint(100, 120));
        EXPECT_EQ(w.Pages->activePage(), w.TabA);
        w.edName->setText("  12  ");
        const QRect frame = w.frameGeometry();
        norm = QStringLiteral("%1,%2,%3,%4")
                   .arg(frame.left())
                   .arg(frame.top())
                   .arg(frame.left() + frame.width())
                   .arg(frame.top() + frame.height())
                   .toLatin1();
        panel = QByteArray::number(w.Panel1->width());
        w.reject();
        EXPECT_TRUE(w.FormStorage1->Saved);
    }
    QFile f(ini());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const int ppi = qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch());
    EXPECT_EQ(f.readAll(), "[frmStorage]\r\nFormVersion=0\r\nFlags=0\r\nShowCmd=1\r\n"
                           "PixelsPerInch=" +
                               QByteArray::number(ppi) +
                               "\r\n"
                               "MinMaxPos" +
                               screen() +
                               "=-1,-1,-1,-1\r\nMinMaxPos=-1,-1,-1,-1\r\n"
                               "NormPos" +
                               screen() + "=" + norm + "\r\nNormPos=" + norm +
                               "\r\n"
                               "Visible=0\r\nedName_Text=12\r\nPages_ActivePage=TabA\r\n"
                               "Panel1_Width=" +
                               panel + "\r\n");
}

TEST_F(FormStorageTest, RestoresPlacementPropertiesAndQuotes) {
    write("[frmStorage]\r\nNormPos=10,20,510,420\r\nShowCmd=1\r\n"
          "edName_Text= \"\"quoted\"\" \r\nPages_ActivePage=tabb\r\nPanel1_Width=wide\r\n");
    TfrmProbe w(paths());
    w.show();
    EXPECT_EQ(w.frameGeometry(), QRect(10, 20, 500, 400)); // the frame is included
    EXPECT_EQ(w.edName->text(), "\"quoted\"");
    EXPECT_EQ(w.Pages->activePage(), w.TabB); // names match without regard to case
    EXPECT_EQ(w.Panel1->width(), 0);
    w.accept();
    EXPECT_EQ(value("edName_Text"), "\"quoted\""); // written in one more pair, read back whole
    QFile f(ini());
    f.open(QIODevice::ReadOnly);
    EXPECT_TRUE(f.readAll().contains("edName_Text=\"\"quoted\"\"\r\n"));
}

TEST_F(FormStorageTest, TheRestoredSizeIsSettledOnceTheFrameIsKnown) {
    write("[frmStorage]\r\nNormPos=10,20,510,420\r\n");
    TfrmProbe w(paths());
    w.show();
    w.resize(w.width() + 40, w.height() + 30); // as if a window manager's frame came late
    serveFor(400);
    EXPECT_EQ(w.frameGeometry(), QRect(10, 20, 500, 400));
}

TEST_F(FormStorageTest, PageReferences) {
    for (const auto& [stored, expected] : QList<std::pair<QByteArray, QString>>{
             {"TabSheet9", ""}, {"(null)", ""}, {"", "TabB"}, {"frmProbe.TabA", "TabA"}}) {
        write("[frmStorage]\r\nPages_ActivePage=" + stored + "\r\n");
        TfrmProbe w(paths());
        w.Pages->setActivePage(w.TabB);
        w.show();
        QWidget* page = w.Pages->activePage();
        EXPECT_EQ(page ? page->objectName() : QString(), expected) << stored.toStdString();
        w.reject();
        if (expected.isEmpty()) {
            EXPECT_EQ(value("Pages_ActivePage"), QString::fromLatin1(stored)); // no key written
        }
    }
}

TEST_F(FormStorageTest, MaximizedOtherScreenAndOtherPixelsPerInch) {
    write("[frmStorage]\r\nNormPos(1x1)=0,0,50,50\r\nNormPos=30,40,330,240\r\nShowCmd=3\r\n");
    {
        TfrmProbe w(paths());
        w.show();
        EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
        EXPECT_GT(w.normalGeometry().width(), 250); // the plain key, not the (1x1) one
        w.reject();
        EXPECT_EQ(value("ShowCmd"), "3");
        EXPECT_EQ(value("NormPos"), "30,40,330,240");
    }
    write("[frmStorage]\r\nNormPos=30,40,330,240\r\nShowCmd=3\r\nPixelsPerInch=1\r\n");
    TfrmProbe w(paths());
    w.show();
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);    // the show state still is
    EXPECT_EQ(w.normalGeometry().size(), QSize(300, 200)); // as designed
}

TEST_F(FormStorageTest, SavesOnlyWhenShownAndClosedForGood) {
    { TfrmProbe never(paths()); }
    EXPECT_FALSE(QFile::exists(ini()));
    {
        TfrmProbe refusing(paths(), /*refuseClose*/ true);
        refusing.show();
        refusing.reject();
        EXPECT_TRUE(refusing.isVisible());
        EXPECT_FALSE(refusing.FormStorage1->Saved);
        EXPECT_FALSE(QFile::exists(ini()));
    }
    // Destroyed without a close: saved then, with Visible=1.
    EXPECT_EQ(value("Visible"), "1");
}

TEST_F(FormStorageTest, ReadOnlySettingsFileIsReportedAndTheWindowClosesAnyway) {
    write("[frmStorage]\r\nFormVersion=0\r\n");
    ::chmod(ini().toLocal8Bit().constData(), 0444);
    TfrmProbe w(paths());
    w.show();
    w.reject();
    EXPECT_FALSE(w.isVisible());
    ASSERT_EQ(m_messages.errors.size(), 1);
    EXPECT_EQ(m_messages.errors.first(), "Unable to write to " + ini());
}

} // namespace
