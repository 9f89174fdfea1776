#include "db/FbEngine.h"
#include "db/dmmainU.h"
#include "testsupport/GTestQt.h"
#include "testsupport/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

QFileDevice::Permissions ownerOnly() {
    return QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
           QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
}

// Restores the test process's folder in the environment its tools inherit.
struct KeepLockVariable {
    ~KeepLockVariable() { qputenv("FIREBIRD_LOCK", QFile::encodeName(testLockFolder())); }
};

} // namespace

TEST(FbEngine, TheLockFolderBesideTheDatabase) {
    KeepLockVariable keep;
    QTemporaryDir dir;
    const QString folder = FbEngine::prepare(dir.path());
    EXPECT_EQ(folder, dir.path() + "/.fblock");
    EXPECT_EQ(qgetenv("FIREBIRD_LOCK"), QFile::encodeName(folder));
    ASSERT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(QFile::permissions(folder), ownerOnly()); // closed to every other user
    // A second start finds it and keeps it.
    EXPECT_EQ(FbEngine::prepare(dir.path()), folder);

    // A folder that cannot hold it (here a plain file stands where the
    // database's folder should be): the user's runtime folder holds it.
    QFile plain(dir.path() + "/plain");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString fallback = FbEngine::prepare(plain.fileName());
    EXPECT_NE(fallback, FbEngine::lockFolder(plain.fileName()));
    EXPECT_TRUE(QFileInfo(fallback).isDir());
    EXPECT_TRUE(fallback.endsWith(".fblock"));
}

// The engine of this test process took the test's folder before its first
// database; a database made by the script for a program (no folder named in
// its environment) keeps its locks beside itself, not in /tmp/firebird.
TEST(FbEngine, EngineAndScriptUseTheFolder) {
    QTemporaryDir dir;
    makeTestDatabase(dir.path() + "/NUV.GDB");
    TdmMain dm;
    dm.dbNUV.DatabaseName = dir.path() + "/NUV.GDB";
    dm.dbNUV.Open();
    EXPECT_TRUE(QFile::exists(testLockFolder() + "/fb_init"));
    EXPECT_FALSE(QDir(testLockFolder()).entryList({"fb_lock_*"}).isEmpty());

    QTemporaryDir programDir;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("FIREBIRD_LOCK");
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start("bash", {QStringLiteral(NUV_SOURCE_DIR "/scripts/create-db.sh"),
                     programDir.path() + "/NUV.GDB"});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAll().toStdString();
    const QString folder = FbEngine::lockFolder(programDir.path());
    EXPECT_EQ(QFile::permissions(folder), ownerOnly());
    EXPECT_TRUE(QFile::exists(folder + "/fb_init"));
}
