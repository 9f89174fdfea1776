#include "TSeriesSave.h"
#include "GTestQt.h"

#include <gtest/gtest.h>

TEST(TSeriesSave, ChecksInTheirOrder) {
    EXPECT_EQ(TSeriesSave::check("", std::nullopt, std::nullopt), "Моля попълнете Коментар!!!");
    EXPECT_EQ(TSeriesSave::check(" ", std::nullopt, 1), "Моля Изберете Тип на измерването!!!");
    EXPECT_EQ(TSeriesSave::check("c", 1, std::nullopt), "Моля Изберете Обект!!!");
    EXPECT_EQ(TSeriesSave::check(QString(251, 'a'), 1, 1), "Коментарът е по-дълъг от 250 знака!!!");
    EXPECT_FALSE(TSeriesSave::check(QString(250, 'a'), 1, 1));
}

TEST(TSeriesSave, StatementsKeepTheCommentAsTyped) {
    EXPECT_EQ(
        TSeriesSave::insertStatement(QDate(2026, 12, 9), "O'Brien %3 %1", 4, 7),
        "insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, obekt_id)  "
        "values(gen_id(gen_mes_group_id,1), '2026-12-09', 'O''Brien %3 %1', 4, 7 ) returning "
        "mes_group_id;");
    EXPECT_EQ(TSeriesSave::idList({7, 3, QVariant(), 9}), "-1,7,3,9");
    EXPECT_EQ(TSeriesSave::idList({}), "-1");
    EXPECT_EQ(TSeriesSave::assignStatement(12, "-1,12,15"),
              "update mes set mes.mes_group_id = 12 where mes.mes_id in (-1,12,15)");
}
