#include "core/Exception.h"
#include "core/TDatabaseSetting.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class DatabaseSetting : public ::testing::Test {
protected:
    void SetUp() override {
        qunsetenv("ISC_USER");
        qunsetenv("ISC_PASSWORD");
    }
    void TearDown() override { SetUp(); }
    void write(const QString& name, const QByteArray& text,
               QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner) {
        QFile f(m_dir.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        f.setPermissions(perms);
    }
    TDatabaseSetting read() { return TDatabaseSetting::read(AppPaths::in(m_dir.path())); }
    QTemporaryDir m_dir;
};

TEST_F(DatabaseSetting, WithoutTheSectionTheFileBesideTheExecutable) {
    qputenv("ISC_PASSWORD", "not for the file");
    write("prjNUV.ini", "[dev]\r\nCOM=3\r\n");
    const TDatabaseSetting s = read();
    EXPECT_FALSE(s.server);
    EXPECT_EQ(s.connection, m_dir.path() + "/NUV.GDB");
    EXPECT_EQ(s.user, "sysdba");
    EXPECT_EQ(s.password, "quartzend");
    EXPECT_EQ(s.display(), QStringLiteral("локална база"));
    // A relative file is taken from the executable's folder.
    write("prjNUV.ini", "[database]\r\nDatabase=data/LAB.FDB\r\n");
    EXPECT_EQ(read().connection, m_dir.path() + "/data/LAB.FDB");
    EXPECT_FALSE(read().server);
}

TEST_F(DatabaseSetting, ServerFormsAndWhereTheUserAndPasswordComeFrom) {
    for (const char* form : {"labsrv:/srv/nuv/NUV.FDB", "labsrv/3051:/srv/nuv/NUV.FDB",
                             "127.0.0.1:nuv", "inet://labsrv:3050//srv/nuv/NUV.FDB",
                             "inet6://[::1]:3050/nuv", "[::1]/3053:/srv/NUV.GDB"})
        EXPECT_TRUE(TDatabaseSetting::isServer(form)) << form;
    for (const char* file : {"/srv/nuv/NUV.FDB", "NUV.GDB", "C:/nuv/NUV.GDB", "data/x.fdb"})
        EXPECT_FALSE(TDatabaseSetting::isServer(file)) << file;

    qputenv("ISC_USER", "lab");
    qputenv("ISC_PASSWORD", "from-env");
    write("prjNUV.ini", "[database]\r\nDatabase=labsrv/3051:/srv/nuv/NUV.FDB\r\n");
    TDatabaseSetting s = read();
    EXPECT_TRUE(s.server);
    EXPECT_EQ(s.connection, "labsrv/3051:/srv/nuv/NUV.FDB");
    EXPECT_EQ(s.user, "lab");
    EXPECT_EQ(s.password, "from-env");
    EXPECT_EQ(s.display(), "labsrv/3051:/srv/nuv/NUV.FDB");

    // The keys win over the environment; the password file holds only the password.
    write("nuv.pass", "s3cret\n");
    write("prjNUV.ini", "[database]\r\nDatabase=labsrv:/srv/nuv/NUV.FDB\r\nUser=press1\r\n"
                        "PasswordFile=nuv.pass\r\n");
    s = read();
    EXPECT_EQ(s.user, "press1");
    EXPECT_EQ(s.password, "s3cret");
    EXPECT_FALSE(s.display().contains("s3cret"));
}

TEST_F(DatabaseSetting, APasswordFileOthersCanReadIsRefusedWithoutShowingIt) {
    write("nuv.pass", "s3cret\n", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    write("prjNUV.ini",
          "[database]\r\nDatabase=labsrv:/srv/nuv/NUV.FDB\r\nPasswordFile=nuv.pass\r\n");
    try {
        read();
        FAIL() << "a password file others can read was used";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.message().contains("chmod 600")) << e.message().toStdString();
        EXPECT_FALSE(e.message().contains("s3cret"));
    }
    write("prjNUV.ini", "[database]\r\nDatabase=labsrv:/srv/nuv/NUV.FDB\r\nPasswordFile=none\r\n");
    EXPECT_THROW(read(), Exception);
}

} // namespace
