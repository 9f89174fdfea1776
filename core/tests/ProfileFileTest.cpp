#include "core/ProfileFile.h"
#include "core/U_IniFile.h"

#include <QFile>
#include <QTemporaryDir>

#include "testsupport/GTestQt.h"
#include "testsupport/TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class ProfileFileTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.path() + "/prjNUV.ini"; }
    QTemporaryDir m_dir;
};

TEST_F(ProfileFileTest, ReadingRules) {
    writeAll(path(), "garbage line\n"
                     "[DEV]\r\n"
                     "  UPP =  60  \r\n"
                     "quoted=\"  a b \"\n"
                     "single='x'\n"
                     "mixed=\"x'\n"
                     "nokey\n"
                     "=orphan\n"
                     "long=" +
                         QByteArray(5000, 'z') +
                         "\n"
                         "cyr=\xCF\xF0\xE5\xE3\xEB\xE5\xE4\n"
                         "bin=\x01\x02\xFF\n"
                         "[dev]\nupp=99\n"
                         "[other]\nupp=1\n");
    TProfileFile f(path());
    EXPECT_EQ(f.value("dev", "upp"), "60"); // first of duplicate sections, any case
    EXPECT_EQ(f.value("Dev", "QUOTED"), "  a b ");
    EXPECT_EQ(f.value("dev", "single"), "x");
    EXPECT_EQ(f.value("dev", "mixed"), "\"x'");
    EXPECT_FALSE(f.value("dev", "nokey"));
    EXPECT_EQ(f.value("dev", "long")->size(), TProfileFile::kMaxValue);
    EXPECT_EQ(f.value("dev", "cyr"), QStringLiteral("Преглед"));
    EXPECT_EQ(f.value("dev", "bin")->size(), 3);
    EXPECT_FALSE(f.value("nosection", "upp"));
    EXPECT_EQ(f.value("other", "upp"), "1");
}

// A value in quotes is written in one more pair and read back whole; a lone
// quote or quotes that do not pair stay as they are.
TEST_F(ProfileFileTest, QuotedValuesComeBackWhole) {
    TProfileFile f(path());
    for (const QString& v : {QString("\"a b\""), QString("'x'"), QString("''"), QString("\""),
                             QString("\"x'"), QString("plain"), QString()}) {
        ASSERT_TRUE(f.writeString("s", "k", TProfileFile::quotedForWriting(v)));
        TProfileFile again(path());
        EXPECT_EQ(again.value("s", "k"), v) << v.toStdString();
    }
}

TEST_F(ProfileFileTest, ReadFloatFallsBackSilently) {
    writeAll(path(), "[dev]\r\nupp=52,2\r\ndownn=abc\r\nmaxstart=60\r\nempty=\r\n");
    T_IniFile ini(path(), TFormats(QLocale::c()));
    EXPECT_EQ(ini.ReadFloat("dev", "upp", 52.2), 52.2);
    EXPECT_EQ(ini.ReadFloat("dev", "downn", 26.2), 26.2);
    EXPECT_EQ(ini.ReadFloat("dev", "maxstart", 5.2), 60.0);
    EXPECT_EQ(ini.ReadFloat("dev", "empty", 1.5), 1.5);
    EXPECT_EQ(ini.ReadFloat("dev", "missing", 2.5), 2.5);
    T_IniFile none(m_dir.path() + "/none.ini");
    EXPECT_EQ(none.ReadFloat("dev", "upp", 52.2), 52.2);
    T_IniFile bg(path(), TFormats(QLocale(QLocale::Bulgarian)));
    EXPECT_EQ(bg.ReadFloat("dev", "upp", 1), 52.2);
}

TEST_F(ProfileFileTest, WritesTouchOnlyTheirKey) {
    const QByteArray before = "; a comment\n"
                              "junk \x01\xFF line\n"
                              "[frmStorage]\r\n"
                              "Flags=0\r\n"
                              "Other = keep  \r\n"
                              "\r\n"
                              "[dev]\n"
                              "upp=60\n";
    writeAll(path(), before);
    TProfileFile f(path());
    ASSERT_TRUE(f.writeString("FRMSTORAGE", "flags", "2"));
    ASSERT_TRUE(f.writeString("frmStorage", "NormPos", "1,2,3,4"));
    ASSERT_TRUE(f.writeString("dev", "downn", "26.2"));
    ASSERT_TRUE(f.writeString("new", "k", "\xD0\x9F"));
    EXPECT_EQ(readAll(path()), QByteArray("; a comment\n"
                                          "junk \x01\xFF line\n"
                                          "[frmStorage]\r\n"
                                          "Flags=2\r\n"
                                          "Other = keep  \r\n"
                                          "NormPos=1,2,3,4\r\n"
                                          "\r\n"
                                          "[dev]\n"
                                          "upp=60\n"
                                          "downn=26.2\r\n"
                                          "\r\n"
                                          "[new]\r\n"
                                          "k=\xCF\r\n"));
}

TEST_F(ProfileFileTest, CreatesFileAndSectionAndRefusesReadOnly) {
    TProfileFile f(path());
    ASSERT_TRUE(f.writeString("frmStorage", "FormVersion", "0"));
    EXPECT_EQ(readAll(path()), QByteArray("[frmStorage]\r\nFormVersion=0\r\n"));

    // Even for root, who could write it, a read-only settings file stays as it is.
    ::chmod(path().toLocal8Bit().constData(), 0444);
    EXPECT_FALSE(f.writeString("frmStorage", "FormVersion", "1"));
    EXPECT_EQ(readAll(path()), QByteArray("[frmStorage]\r\nFormVersion=0\r\n"));

    TProfileFile inMissingDir(m_dir.path() + "/no/such/dir/prjNUV.ini");
    EXPECT_FALSE(inMissingDir.writeString("a", "b", "c"));
}

} // namespace
