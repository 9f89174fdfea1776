#include "db/FbConnectError.h"
#include "db/dmmainU.h"
#include "testsupport/GTestQt.h"
#include "testsupport/TestDatabase.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <random>

#include <unistd.h>

namespace {

// What the operator is shown when connecting fails: the first line names the
// file and the cause, the engine's text follows.
QString openError(const QString& path) {
    TdmMain dm;
    dm.dbNUV.DatabaseName = path;
    try {
        dm.dbNUV.Open();
    } catch (const EDatabaseError& e) {
        EXPECT_FALSE(dm.dbNUV.Connected());
        return e.message();
    }
    ADD_FAILURE() << "opened " << path.toStdString();
    return {};
}

QString firstLine(const QString& message) {
    return message.section(QStringLiteral("\r\n"), 0, 0);
}

QString engineLines(const QString& message) {
    return message.section(QStringLiteral("\r\n"), 1);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class FbConnectErrorTest : public ::testing::Test {
protected:
    QString file(const QString& name) const { return m_dir.path() + "/" + name; }
    QTemporaryDir m_dir;
};

TEST_F(FbConnectErrorTest, MissingAndDamagedFiles) {
    const QString missing = file("NUV.GDB");
    QString m = openError(missing);
    EXPECT_EQ(firstLine(m), "Базата данни „" + missing + "“ липсва: няма такъв файл.");
    EXPECT_TRUE(engineLines(m).contains("No such file")) << m.toStdString();

    // Random bytes, and a file of no bytes at all.
    QByteArray noise(64 * 1024, '\0');
    std::mt19937 rng(7);
    for (char& c : noise)
        c = char(rng());
    writeFile(file("noise.gdb"), noise);
    m = openError(file("noise.gdb"));
    EXPECT_EQ(firstLine(m),
              "Базата данни „" + file("noise.gdb") + "“ е повредена или файлът не е база данни.");
    EXPECT_TRUE(engineLines(m).contains("not a valid database")) << m.toStdString();
    writeFile(file("empty.gdb"), {});
    m = openError(file("empty.gdb"));
    EXPECT_TRUE(firstLine(m).contains("е повредена")) << m.toStdString();
    EXPECT_FALSE(engineLines(m).isEmpty());

    // A database whose header was overwritten past its first bytes.
    makeTestDatabase(file("hurt.gdb"));
    {
        QFile f(file("hurt.gdb"));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(64);
        f.write(noise.left(100));
    }
    m = openError(file("hurt.gdb"));
    EXPECT_TRUE(firstLine(m).contains("е повредена")) << m.toStdString();
}

// A Firebird database that is not the program's: said right after connecting,
// and the connection is not kept.
TEST_F(FbConnectErrorTest, AnotherProgramsDatabase) {
    const QString other = file("other.gdb");
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start("isql-fb", {"-q"});
    p.write(("create database '" + other + "' user 'SYSDBA';\n").toUtf8());
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_TRUE(QFile::exists(other)) << p.readAll().toStdString();
    const QString m = openError(other);
    EXPECT_EQ(firstLine(m), "Файлът „" + other +
                                "“ е база данни, но не на тази програма: в нея липсват MES, "
                                "MES_DE, MES_GROUP, MULTIPLIER, OBEKT, NEXT_MES, NEXT_OBEKT.");

    // The program's own database opens.
    makeTestDatabase(file("NUV.GDB"));
    TdmMain dm;
    dm.dbNUV.DatabaseName = file("NUV.GDB");
    dm.dbNUV.Open();
    EXPECT_TRUE(dm.dbNUV.Connected());
}

// Another process holds the file (an embedded engine opens it exclusively).
TEST_F(FbConnectErrorTest, LockedByAnotherProcess) {
    const QString path = file("NUV.GDB");
    makeTestDatabase(path);
    QProcess holder;
    holder.setProcessChannelMode(QProcess::MergedChannels);
    holder.start("isql-fb", {"-q", "-user", "SYSDBA", path});
    holder.write("select 'attached' from rdb$database;\n");
    QByteArray seen;
    while (!seen.contains("attached") && holder.waitForReadyRead(30000))
        seen += holder.readAll();
    ASSERT_TRUE(seen.contains("attached")) << seen.toStdString();
    const QString m = openError(path);
    EXPECT_EQ(firstLine(m), "Базата данни „" + path +
                                "“ е заета: друг процес (друго копие на програмата) я държи "
                                "отворена.");
    EXPECT_FALSE(engineLines(m).isEmpty());
    holder.closeWriteChannel();
    holder.waitForFinished(30000);
    // Once it lets go, the file opens.
    TdmMain dm;
    dm.dbNUV.DatabaseName = path;
    dm.dbNUV.Open();
    EXPECT_TRUE(dm.dbNUV.Connected());
}

// Permissions: the superuser passes every file mode, so the real file is
// tried only for another user; the engine's refusals are classified alike.
TEST_F(FbConnectErrorTest, NoPermissionAndTheEngineCodes) {
    const QString path = file("NUV.GDB");
    const EDatabaseError refused("I/O error during \"open\" operation\r\nPermission denied",
                                 {isc_io_error, isc_io_open_err}, EACCES);
    EXPECT_EQ(FbConnectError::classify(path, refused), FbConnectError::Cause::NoPermission);
    EXPECT_EQ(FbConnectError::classify("server:/data/NUV.GDB", refused),
              FbConnectError::Cause::NoPermission);
    const EDatabaseError crypt("Missing crypt plugin", {isc_no_crypt_plugin});
    makeTestDatabase(path);
    EXPECT_EQ(FbConnectError::classify(path, crypt), FbConnectError::Cause::Damaged);
    EXPECT_EQ(FbConnectError::classify(file("none.gdb"), crypt), FbConnectError::Cause::Missing);
    EXPECT_EQ(FbConnectError::classify(path, EDatabaseError("x", {isc_already_opened})),
              FbConnectError::Cause::Locked);
    EXPECT_EQ(FbConnectError::classify(path, EDatabaseError("x", {isc_random})),
              FbConnectError::Cause::Other);
    EXPECT_EQ(FbConnectError::message(path, crypt),
              "Базата данни „" + path +
                  "“ е повредена или файлът не е база данни.\r\nMissing crypt plugin");
    if (::geteuid() == 0)
        return;
    QFile::setPermissions(path, QFileDevice::Permissions());
    const QString m = openError(path);
    EXPECT_TRUE(firstLine(m).startsWith("Няма права за достъп до базата данни")) << m.toStdString();
}

} // namespace
