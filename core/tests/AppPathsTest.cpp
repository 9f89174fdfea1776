// Where the program keeps its files: beside a portable executable, in the
// data folder for an installed one, or where an option or the environment says.
#include "core/AppPaths.h"
#include "core/TDataFolder.h"
#include "testsupport/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>

namespace {

TEST(AppPaths, DataFolderFollowsTheInstallationAndTheOverrides) {
    QTemporaryDir root;
    const QString prefix = root.path() + "/usr";
    QDir().mkpath(prefix + "/bin");
    QDir().mkpath(prefix + "/share/prjnuv");
    QFile schema(prefix + "/share/prjnuv/schema.sql");
    ASSERT_TRUE(schema.open(QIODevice::WriteOnly));
    const QString portable = root.path() + "/build/bin";
    QDir().mkpath(portable);

    struct Case {
        QString exeDir, option, variable, dir;
        bool installed;
    };
    const Case cases[] = {
        {portable, "", "", portable, false},
        // A portable folder is its own data folder whatever the environment says.
        {portable, "", "/srv/lab", portable, false},
        {portable, "/srv/lab/", "", "/srv/lab", false},
        {prefix + "/bin", "", "", "/var/lib/prjnuv", true},
        {prefix + "/bin/", "", "/srv/lab", "/srv/lab", true},
        {prefix + "/bin", "/home/op/nuv", "/srv/lab", "/home/op/nuv", true},
        // A bin folder without the packaged schema beside it is a portable one.
        {root.path() + "/bin", "", "/srv/lab", root.path() + "/bin", false},
    };
    for (const Case& c : cases) {
        const AppPaths p = AppPaths::resolve(c.exeDir, c.option, c.variable);
        EXPECT_EQ(p.dir, c.dir) << c.exeDir.toStdString() << " " << c.option.toStdString();
        EXPECT_EQ(p.installed(), c.installed) << c.exeDir.toStdString();
        EXPECT_EQ(p.database(), c.dir + "/NUV.GDB");
    }
    EXPECT_EQ(AppPaths::resolve(prefix + "/bin", "", "").schema(),
              prefix + "/share/prjnuv/schema.sql");
}

TEST(AppPaths, InstalledDataFolderIsMadeAndSharedWithItsGroup) {
    QTemporaryDir root;
    QDir().mkpath(root.path() + "/usr/bin");
    QDir().mkpath(root.path() + "/usr/share/prjnuv");
    QFile(root.path() + "/usr/share/prjnuv/schema.sql").open(QIODevice::WriteOnly);
    const QString exe = root.path() + "/usr/bin";

    // A folder named on the command line is made on first use.
    const AppPaths own = AppPaths::resolve(exe, root.path() + "/data/nuv", "");
    EXPECT_EQ(TDataFolder::prepare(own), std::nullopt);
    EXPECT_TRUE(QDir(own.dir).exists());

    // A portable folder is never touched.
    EXPECT_EQ(TDataFolder::prepare(AppPaths::in(root.path() + "/missing")), std::nullopt);
    EXPECT_FALSE(QDir(root.path() + "/missing").exists());

    // In a folder its group shares, what the program creates stays
    // writable by the group.
    const QString shared = root.path() + "/shared";
    QDir().mkpath(shared);
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 02770), 0);
    const mode_t before = ::umask(022);
    EXPECT_EQ(TDataFolder::prepare(AppPaths::resolve(exe, shared, "")), std::nullopt);
    const mode_t after = ::umask(before);
    EXPECT_EQ(after & 070, 0u);
    EXPECT_EQ(after & 07, 02u);
    QFile db(shared + "/NUV.GDB");
    ASSERT_TRUE(db.open(QIODevice::WriteOnly));
    TDataFolder::share(db.fileName());
    EXPECT_TRUE(db.permissions() & QFile::WriteGroup);
    EXPECT_FALSE(db.permissions() & QFile::ReadOther);
}

// A data folder this user may not write to is named, with what to do: join
// the group that may write there, or choose another folder.
TEST(AppPaths, DataFolderThatCannotBeWrittenSaysWhatToDo) {
    NUV_AS_UNPRIVILEGED_USER();
    QTemporaryDir root;
    QDir().mkpath(root.path() + "/usr/bin");
    QDir().mkpath(root.path() + "/usr/share/prjnuv");
    QFile(root.path() + "/usr/share/prjnuv/schema.sql").open(QIODevice::WriteOnly);
    const QString group = QString::fromLocal8Bit(::getgrgid(::getegid())->gr_name);
    const struct {
        mode_t mode;
        QString advice;
    } cases[] = {
        {0555, " Посочете друга папка с --data-dir или NUV_DATA_DIR."},
        {0575, QStringLiteral(" Добавете потребителя в групата %1 (sudo adduser %2 %1), след "
                              "това излезте от системата и влезте отново.")
                   .arg(group, TDataFolder::userName())},
    };
    for (const auto& c : cases) {
        const QString dir = root.path() + QStringLiteral("/data%1").arg(c.mode, 0, 8);
        QDir().mkpath(dir);
        ASSERT_EQ(::chmod(QFile::encodeName(dir).constData(), c.mode), 0);
        EXPECT_EQ(TDataFolder::prepare(AppPaths::resolve(root.path() + "/usr/bin", dir, "")),
                  QStringLiteral("Нямате право на запис в папката с данни „%1“.").arg(dir) +
                      c.advice);
        ::chmod(QFile::encodeName(dir).constData(), 0755);
    }
}

} // namespace
