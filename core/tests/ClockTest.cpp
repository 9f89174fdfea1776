#include "core/TClock.h"
#include "core/TEventLog.h"
#include "core/TextFormats.h"
#include "core/Win1251.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QDateTime kAt(QDate(2026, 2, 28), QTime(23, 59, 59, 500));

// What a replaced program clock says is what the log and the day see, and the
// computer's clock is back once the replacement ends.
TEST(Clock, AReplacedProgramClockIsWhatEveryoneReads) {
    const QDateTime before = QDateTime::currentDateTime();
    TFixedClock fixed(kAt);
    QTemporaryDir dir;
    {
        TClock::Replacement replaced(fixed);
        EXPECT_EQ(TClock::program().now(), kAt);
        fixed.advance(60600);
        EXPECT_EQ(TClock::program().today(), QDate(2026, 3, 1)); // midnight passed
        TFileLog log(dir.path() + "/prjNUV.log");
        log.WriteLog("line", "tag");
    }
    QFile file(dir.path() + "/prjNUV.log");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray stamp = Win1251::encode(TFormats().dateTimeText(kAt.addMSecs(60600)));
    EXPECT_TRUE(file.readAll().contains(stamp + " -> tag -> line")) << stamp.toStdString();
    EXPECT_GE(TClock::program().now(), before);
    EXPECT_NE(&TClock::program(), &fixed);
}

} // namespace
