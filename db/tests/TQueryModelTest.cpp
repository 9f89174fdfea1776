// What the grids show of a query's values: dates, times and numbers in the
// system's formats, never in the database's own text.
#include "db/TQueryModel.h"
#include "testsupport/GTestQt.h"
#include "testsupport/TestDatabase.h"
#include "db/dmmainU.h"

#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The system's long time without its time zone, as the operator reads a time.
QString systemTime(const QDate& day, const QTime& t) {
    const QLocale sys = QLocale::system();
    QString text = sys.toString(t, QLocale::LongFormat);
    const QString zone = QDateTime(day, t).timeZoneAbbreviation();
    if (!zone.isEmpty())
        text.remove(zone);
    return text.trimmed();
}

TEST(QueryModelTest, CellsShowDatesTimesAndNumbersInTheSystemsFormats) {
    QTemporaryDir dir;
    makeTestDatabase(dir.filePath("NUV.GDB"));
    TdmMain dm;
    dm.dbNUV.DatabaseName = dir.filePath("NUV.GDB");
    dm.dbNUV.Open();
    TIBQuery q(dm.dbNUV, dm.trMain);
    q.setSQL("select cast('2024-03-05' as date) as d, "
             "cast('2024-03-05 09:05:07' as timestamp) as ts, "
             "cast('09:05:07' as time) as t, cast(181.4 as double precision) as x, "
             "cast(-2.75 as numeric(9, 2)) as n, cast('2024-03-05 00:00:00' as timestamp) as m "
             "from rdb$database");
    TQueryModel model(q, {{"D", "Дата"},
                          {"TS", "Старт", TGridColumn::Kind::DateTime},
                          {"T", "Час"},
                          {"X", "Стойност"},
                          {"N", "Скорост"},
                          {"M", "Ден", TGridColumn::Kind::DateTime}});
    q.Open();
    ASSERT_EQ(model.rowCount(), 1);
    const auto cell = [&](int c) { return model.index(0, c).data(Qt::DisplayRole).toString(); };

    const QLocale sys = QLocale::system();
    const QDate day(2024, 3, 5);
    const QString date = sys.toString(day, QLocale::ShortFormat);
    const QString time = systemTime(day, QTime(9, 5, 7));
    EXPECT_EQ(cell(0), date); // a date alone: no time of day
    EXPECT_EQ(cell(1), date + " " + time);
    EXPECT_EQ(cell(2), time);
    EXPECT_EQ(cell(3), sys.toString(181.4));
    EXPECT_EQ(cell(4), sys.toString(-2.75));
    EXPECT_EQ(cell(5), date); // midnight: the date alone
    // The tooltip is the same text.
    for (int c = 0; c < model.columnCount(); ++c)
        EXPECT_EQ(model.index(0, c).data(Qt::ToolTipRole).toString(), cell(c));
    q.Close();
    dm.trMain.Rollback();
}

} // namespace
