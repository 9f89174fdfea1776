#include "widgets/TFindDialog.h"

#include <QStandardItemModel>

#include <gtest/gtest.h>

namespace {

void fill(QStandardItemModel& m) {
    for (const auto& [a, b] : QList<std::pair<QString, QString>>{
             {"12", "Бетон B25"}, {"13", "бетон b30"}, {"14", "Мост"}, {"112", "B25 куб"}})
        m.appendRow({new QStandardItem(a), new QStandardItem(b)});
}

TEST(TFindDialog, ColumnsMatchesDirectionsAndCase) {
    QStandardItemModel m(0, 2);
    fill(m);
    TFindOptions o;
    o.text = "бетон";
    EXPECT_EQ(findRow(m, o, 0), 1); // all rows, after the current one, without case
    o.caseSensitive = true;
    EXPECT_EQ(findRow(m, o, 0), 1);
    o.text = "Бетон";
    EXPECT_EQ(findRow(m, o, 0), 0); // through all rows: wraps round to the first
    o.direction = TFindOptions::Direction::Down;
    EXPECT_EQ(findRow(m, o, 0), -1);
    o.direction = TFindOptions::Direction::Up;
    EXPECT_EQ(findRow(m, o, 3), 0);

    TFindOptions n;
    n.text = "12";
    n.column = 0;
    n.match = TFindOptions::Match::WholeValue;
    EXPECT_EQ(findRow(m, n, -1), 0);
    EXPECT_EQ(findRow(m, n, 0), 0); // only itself matches whole: back to it
    n.match = TFindOptions::Match::AnyPart;
    EXPECT_EQ(findRow(m, n, 0), 3); // "112" holds "12"
    n.match = TFindOptions::Match::Beginning;
    EXPECT_EQ(findRow(m, n, 0), 0);
    n.column = 1;
    n.text = "B25";
    EXPECT_EQ(findRow(m, n, 0), 3); // "B25 куб" begins with it; "Бетон B25" does not
    n.text = "";
    EXPECT_EQ(findRow(m, n, 0), -1);
}

} // namespace
