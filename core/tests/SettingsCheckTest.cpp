#include "core/TSettingsCheck.h"

#include "testsupport/GTestQt.h"
#include "testsupport/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SettingsCheck : public ::testing::Test {
protected:
    QString ini() const { return m_dir.path() + "/prjNUV.ini"; }
    QStringList withDev(const QString& devLines) {
        writeAll(ini(), ("[frmStorage]\r\nlblCom_Caption=3\r\n[dev]\r\n" + devLines).toLatin1());
        return TSettingsCheck::problems(ini());
    }
    QString sep() const { return TFormats().decimalSeparator(); }
    QTemporaryDir m_dir;
};

TEST_F(SettingsCheck, PressConstantsThatGiveNoLoadAreRefusedByName) {
    EXPECT_TRUE(TSettingsCheck::problems(ini()).isEmpty()) << "no file: every default holds";
    EXPECT_TRUE(
        withDev("upp=52" + sep() + "2\r\ndownn=26" + sep() + "2\r\nmaxstart=5\r\n").isEmpty());
    EXPECT_TRUE(withDev("maxstart=5\r\n").isEmpty()) << "a missing key has its default";
    for (const QString& bad :
         QStringList{"0", "-0", "0" + sep() + "0", "", "inf", "1e999", "nan", "abc", "2 6"}) {
        const QStringList problems = withDev("downn=" + bad + "\r\n");
        ASSERT_EQ(problems.size(), 1) << bad.toStdString();
        EXPECT_TRUE(problems[0].contains(ini())) << problems[0].toStdString();
        EXPECT_TRUE(problems[0].contains("„downn“")) << problems[0].toStdString();
        EXPECT_TRUE(problems[0].contains("[dev]"));
    }
    // The other separator is no number in the operator's format.
    const QString other = sep() == "," ? "." : ",";
    const QStringList problems = withDev("upp=52" + other + "2\r\nmaxstart=x\r\n");
    ASSERT_EQ(problems.size(), 2);
    EXPECT_TRUE(problems[0].contains("„upp“"));
    EXPECT_TRUE(problems[1].contains("„maxstart“"));
}

TEST_F(SettingsCheck, FilesThatAreNoWindows1251TextAreRefused) {
    // Saved by an editor as UTF-16: every key would read as missing, the port as 0.
    QByteArray utf16("\xFF\xFE");
    const QString text = "[frmStorage]\r\nlblCom_Caption=3\r\n";
    utf16 += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    writeAll(ini(), utf16);
    QStringList problems = TSettingsCheck::problems(ini());
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains(ini()));
    EXPECT_TRUE(problems[0].contains("UTF-16"));
    writeAll(ini(), utf16.mid(2)); // the same without its byte-order mark
    problems = TSettingsCheck::problems(ini());
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains("UTF-16"));

    writeAll(ini(), QByteArray("[dev]\r\nupp=5\x01\x02\x03", 13));
    problems = TSettingsCheck::problems(ini());
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains("0x01")) << problems[0].toStdString();
}

TEST_F(SettingsCheck, ReadOnlyFileOrFolderIsRefused) {
    writeAll(ini(), "[dev]\r\n");
    QFile::setPermissions(ini(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QStringList problems = TSettingsCheck::problems(ini());
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains(ini()));
    EXPECT_TRUE(problems[0].contains("[frmStorage]"));
    EXPECT_TRUE(problems[0].contains("само за четене"));

    QFile::remove(ini());
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    problems = TSettingsCheck::problems(ini());
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains(m_dir.path()));
}

} // namespace
