#include "Exception.h"
#include "LogFileU.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "GTestQt.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

const TFormats kC{QLocale::c()};
const QDateTime kAt(QDate(2008, 3, 14), QTime(10, 21, 7));

TEST(LogFile, FirstEventOfANewLogIsKeptAndLaterOnesAppend) {
    QTemporaryDir dir;
    const QString log = dir.path() + "/prjNUV.log";
    for (int i = 1; i <= 3; ++i)
        WriteLog(QString("event %1").arg(i), "commErr", log, kAt, kC);
    const QByteArray stamp = kC.dateTimeText(kAt).toUtf8();
    EXPECT_EQ(readAll(log), stamp + " -> NEW LOG\r\n" + stamp + " -> commErr -> event 1\r\n" +
                                stamp + " -> commErr -> event 2\r\n" + stamp +
                                " -> commErr -> event 3\r\n");
}

TEST(LogFile, MidnightIsStampedWithTheDateAloneAndMessagesKeepTheirLines) {
    QTemporaryDir dir;
    const QString log = dir.path() + "/prjNUV.log";
    const QDateTime midnight(QDate(2008, 3, 14), QTime(0, 0, 0));
    NewLog(log, "NEW LOG", midnight, kC);
    WriteLog("Грешка\r\n-second line", "commErr", log, midnight, kC);
    const QByteArray date = kC.locale().toString(midnight.date(), QLocale::ShortFormat).toUtf8();
    EXPECT_EQ(readAll(log), date + " -> NEW LOG\r\n" + date +
                                " -> commErr -> \xC3\xF0\xE5\xF8\xEA\xE0\r\n-second line\r\n");
}

TEST(LogFile, NoFolderRaises) {
    QTemporaryDir dir;
    const QString log = dir.path() + "/missing/prjNUV.log";
    try {
        WriteLog("x", "commErr", log, kAt, kC);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "Unable to write to " + log);
    }
}

TEST(LogFile, ExistingLogThatCannotBeAppendedIsLeftAsItIs) {
    QTemporaryDir dir;
    // A full disk: the log exists, and every append fails.
    const QString full = dir.path() + "/full.log";
    ASSERT_TRUE(QFile::link("/dev/full", full));
    EXPECT_THROW(WriteLog("x", "commErr", full, kAt, kC), Exception);
    EXPECT_EQ(QFileInfo(full).symLinkTarget(), "/dev/full"); // not replaced by a new log

    // Something else by the log's name: it is not emptied or replaced either.
    const QString log = dir.path() + "/prjNUV.log";
    ASSERT_TRUE(QDir().mkpath(log + "/inside"));
    EXPECT_THROW(WriteLog("x", "commErr", log, kAt, kC), Exception);
    EXPECT_TRUE(QFileInfo::exists(log + "/inside"));
}

} // namespace
