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

#include <unistd.h>

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

// The user's own folder in memory: a full disk of the database's folder
// cannot reach the engine's mapped lock files.
TEST(FbEngine, TheLockFolderIsTheUsersOwnInMemory) {
    KeepLockVariable keep;
    const QByteArray runtimeBefore = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString folder = FbEngine::prepare();
    EXPECT_EQ(folder, runtime.path() + QStringLiteral("/prjNUV-%1.fblock").arg(::getuid()));
    EXPECT_EQ(qgetenv("FIREBIRD_LOCK"), QFile::encodeName(folder));
    EXPECT_EQ(QFile::permissions(folder), ownerOnly()); // closed to every other user
    EXPECT_EQ(FbEngine::prepare(), folder);             // a second start keeps it

    // No runtime folder (no login session): /dev/shm, memory as well.
    qputenv("XDG_RUNTIME_DIR", "/nonexistent");
    EXPECT_TRUE(FbEngine::lockFolder().startsWith("/dev/shm/prjNUV-"));
    // A folder open to others (someone else's making) is not taken.
    const QString open = runtime.path() + "/open";
    ASSERT_TRUE(QDir().mkdir(open));
    QFile::setPermissions(open, QFileDevice::Permissions(0x7777));
    EXPECT_TRUE(FbEngine::prepare(open).isEmpty());
    qputenv("XDG_RUNTIME_DIR", runtimeBefore);
}

// The engine of this test process took the test's folder before its first
// database; the script that makes a database for a program (no folder named
// in its environment) keeps its locks where the program does, in the user's
// runtime folder, and leaves nothing beside the database.
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
    QTemporaryDir runtime;
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start("bash", {QStringLiteral(NUV_SOURCE_DIR "/scripts/create-db.sh"),
                     programDir.path() + "/NUV.GDB"});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAll().toStdString();
    const QString folder = runtime.path() + QStringLiteral("/prjNUV-%1.fblock").arg(::getuid());
    EXPECT_EQ(QFile::permissions(folder), ownerOnly());
    EXPECT_TRUE(QFile::exists(folder + "/fb_init"));
    EXPECT_EQ(QDir(programDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"NUV.GDB"});
}
