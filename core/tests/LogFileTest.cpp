#include "core/Exception.h"
#include "core/LogFileU.h"
#include "core/TEventLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "testsupport/GTestQt.h"
#include "testsupport/TestFiles.h"

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
        EXPECT_EQ(e.text(), "Unable to write to " + log);
        EXPECT_EQ(e.cause(), "No such file or directory"); // for the maintainer, below it
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

TEST(LogFile, ControlCharactersAreEscapedAndLineBreaksKeptOnlyInside) {
    QTemporaryDir dir;
    const QString log = dir.path() + "/prjNUV.log";
    NewLog(log, "NEW LOG", kAt, kC);
    // A reply from the line: NUL, a lone CR, ESC, DEL; a message with LF and CR LF
    // inside and line breaks at its end; a character Windows-1251 cannot hold.
    WriteLog(QString::fromUtf8("a\0b\rc\x1b\x7f", 7) + QChar(0x85) + "d", "comm\tErr", log, kAt,
             kC);
    WriteLog("first\nsecond\r\nthird\r\n\n", "commErr", log, kAt, kC);
    WriteLog(QString::fromUtf8("€ 中 😀"), "commErr", log, kAt, kC);
    const QByteArray stamp = kC.dateTimeText(kAt).toUtf8();
    EXPECT_EQ(readAll(log), stamp + " -> NEW LOG\r\n" + stamp +
                                " -> comm\\x09Err -> a\\x00b\\x0Dc\\x1B\\x7F\\x85d\r\n" + stamp +
                                " -> commErr -> first\r\nsecond\r\nthird\r\n" + stamp +
                                " -> commErr -> \x88 ? ?\r\n");
    EXPECT_EQ(LogText(QString(QChar(0))), "\\x00");
}

TEST(EventLog, RepeatedFailuresBecomeOneLineWithACount) {
    QTemporaryDir dir;
    const QString log = dir.path() + "/prjNUV.log";
    TFixedClock now(kAt);
    const QByteArray stamp = kC.dateTimeText(kAt).toUtf8();
    {
        TFileLog file(log, now);
        for (int i = 0; i < 5000; ++i)
            file.WriteLog("Floating point division by zero", "commErr");
        // Another failure ends the episode with its count.
        file.WriteLog("other", "commErr");
        file.WriteLog("other", "commErr");
        // A failure that never stops gets its count at least every hour.
        for (int i = 0; i < 3; ++i) {
            now.advance(40 * 60 * 1000);
            file.WriteLog("other", "commErr");
        }
    }
    const QList<QByteArray> lines = readAll(log).split('\n');
    ASSERT_EQ(lines.size(), 7) << readAll(log).toStdString();
    EXPECT_EQ(lines[1], stamp + " -> commErr -> Floating point division by zero\r");
    EXPECT_TRUE(
        lines[2].endsWith("Floating point division by zero (\xEF\xEE\xE2\xF2\xEE\xF0\xE5\xED\xEE "
                          "\xEE\xF9\xE5 4999 \xEF\xFA\xF2\xE8)\r"))
        << lines[2].toStdString();
    EXPECT_TRUE(lines[3].endsWith("-> commErr -> other\r"));
    EXPECT_TRUE(lines[4].contains("other (")); // 1 + 2 repeats, after 80 minutes
    EXPECT_TRUE(lines[4].contains(" 3 "));
    EXPECT_TRUE(lines[5].contains(" 1 ")); // the last one, when the log closes
    EXPECT_TRUE(lines[6].isEmpty());
}

} // namespace
