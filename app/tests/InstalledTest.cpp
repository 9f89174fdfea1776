// The installed program's own options, and taking a portable folder's files
// into its data folder.
#include "app/TAboutBox.h"
#include "app/TCommandLine.h"
#include "app/TInstanceLock.h"
#include "app/TPortableImport.h"
#include "core/Exception.h"
#include "core/TVersion.h"
#include "db/TIBDatabase.h"
#include "testsupport/TestDatabase.h"
#include "testsupport/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(TCommandLine, OwnOptionsAreReadAndQtsAreLeftAlone) {
    const struct {
        QStringList args;
        QString dataDir, migrateFrom, error;
        bool version;
    } cases[] = {
        {{"prjNUV"}, "", "", "", false},
        {{"prjNUV", "--data-dir", "/srv/nuv", "-platform", "offscreen"}, "/srv/nuv", "", "", false},
        {{"prjNUV", "--data-dir=/srv/nuv", "--migrate-from", "old/bin"},
         "/srv/nuv",
         "old/bin",
         "",
         false},
        {{"prjNUV", "--version"}, "", "", "", true},
        {{"prjNUV", "--migrate-from"}, "", "", "--migrate-from иска папка", false},
    };
    for (const auto& c : cases) {
        const TCommandLine line = TCommandLine::parse(c.args);
        EXPECT_EQ(line.dataDir, c.dataDir) << c.args.join(' ').toStdString();
        EXPECT_EQ(line.migrateFrom, c.migrateFrom) << c.args.join(' ').toStdString();
        EXPECT_EQ(line.error, c.error) << c.args.join(' ').toStdString();
        EXPECT_EQ(line.version, c.version) << c.args.join(' ').toStdString();
    }
}

// The About box tells the version built and where this program records.
TEST(TAboutBox, VersionDataFolderAndDatabase) {
    const QString text = TAboutBox::text(AppPaths::in("/var/lib/prjnuv"), "labserver:/db/NUV.GDB");
    EXPECT_TRUE(text.contains(QStringLiteral("Версия: %1\n").arg(NUV_VERSION)));
    EXPECT_TRUE(text.contains("Папка с данни: /var/lib/prjnuv\n"));
    EXPECT_TRUE(text.endsWith("База данни: labserver:/db/NUV.GDB"));
    EXPECT_FALSE(QString(NUV_VERSION).isEmpty());
}

class PortableImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_from = m_dir.path() + "/build/bin";
        QDir().mkpath(m_from + "/ports");
        makeTestDatabase(m_from + "/NUV.GDB");
        TIBDatabase db;
        db.DatabaseName = m_from + "/NUV.GDB";
        db.Open();
        const QDateTime t = QDateTime::fromString("2026-03-05 09:20:00", "yyyy-MM-dd HH:mm:ss");
        for (int run = 1; run <= 3; ++run)
            addRun(db, run, QVariant(), 1, t.addSecs(run * 600),
                   {{0, 0, 1}, {1000, 50.5, 1}, {2000, 101, 1}});
        db.Close();
        writeAll(m_from + "/prjNUV.ini",
                 "[dev]\r\nupp=52.2\r\n[database]\r\nPasswordFile=nuv.pw\r\n");
        writeAll(m_from + "/prjNUV.log", "one line\r\n");
        writeAll(m_from + "/nuv.pw", "secret");
        QFile::setPermissions(m_from + "/nuv.pw", QFile::ReadOwner | QFile::WriteOwner);
        QFile::link("/dev/null", m_from + "/ports/COM3");
        QFile::link(m_from + "/gone", m_from + "/ports/COM9"); // left by a simulator

        m_to = AppPaths{m_dir.path() + "/data", m_dir.path() + "/usr/share/prjnuv"};
        QDir().mkpath(m_to.dir);
        writeAll(m_to.settings(), "[frmStorage]\r\nFormVersion=0\r\n"); // an earlier start's
    }

    QTemporaryDir m_dir;
    QString m_from;
    AppPaths m_to;
};

TEST_F(PortableImportTest, EveryRowAndFileComesAlongAndNothingIsLost) {
    const QStringList done = TPortableImport(m_from, m_to).run();
    EXPECT_EQ(done.size(), 5) << done.join('\n').toStdString();

    EXPECT_EQ(readAll(m_to.database()), readAll(m_from + "/NUV.GDB"));
    const QString count = "set list on; select count(*) as n from mes_de;";
    EXPECT_EQ(isql(m_to.database(), count).simplified(), "N 9");
    EXPECT_EQ(readAll(m_to.settings()), readAll(m_from + "/prjNUV.ini"));
    EXPECT_EQ(readAll(m_to.log()), "one line\r\n");
    EXPECT_EQ(readAll(m_to.dir + "/nuv.pw"), "secret");
    // The password stays readable by its owner alone.
    EXPECT_FALSE(QFileInfo(m_to.dir + "/nuv.pw").permissions() &
                 (QFile::ReadGroup | QFile::ReadOther));
    EXPECT_EQ(QFile::symLinkTarget(m_to.ports() + "/COM3"), "/dev/null");
    EXPECT_FALSE(QFileInfo(m_to.ports() + "/COM9").isSymLink());

    // The data folder's own settings stay beside the ones taken over.
    const QStringList aside = QDir(m_to.dir).entryList({"prjNUV.ini.before-import-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readAll(m_to.dir + "/" + aside.first()), "[frmStorage]\r\nFormVersion=0\r\n");
    EXPECT_TRUE(done.join('\n').contains(aside.first()));
    EXPECT_EQ(QDir(m_to.dir).entryList({".*importing*"}, QDir::Hidden | QDir::Files),
              QStringList());
}

TEST_F(PortableImportTest, RunningProgramOrNoDatabaseCopiesNothing) {
    {
        const TInstanceLock running(TInstanceLock::pathFor(m_from + "/NUV.GDB"));
        ASSERT_EQ(running.state(), TInstanceLock::State::Locked);
        try {
            TPortableImport(m_from, m_to).run();
            ADD_FAILURE() << "copied while the program runs";
        } catch (const Exception& e) {
            EXPECT_EQ(e.message(), QStringLiteral("Програмата работи с базата данни „%1“. "
                                                  "Затворете я и опитайте отново.")
                                       .arg(m_from + "/NUV.GDB"));
        }
    }
    EXPECT_FALSE(QFile::exists(m_to.database()));
    EXPECT_THROW(TPortableImport(m_dir.path(), m_to).run(), Exception);
    EXPECT_FALSE(QFile::exists(m_to.database()));
}

} // namespace
