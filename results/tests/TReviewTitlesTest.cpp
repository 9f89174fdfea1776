#include "results/TReviewTitles.h"
#include "results/TReviewFilter.h"
#include "testsupport/GTestQt.h"

#include <gtest/gtest.h>

namespace {

// Series 12 of 5 March 2024, run 345, maximum 181.4 reached 90.7 s after the first load sample.
const QDateTime kStart(QDate(2024, 3, 5), QTime(9, 0, 0));
const TRunSummary kCalc(181.4, kStart, kStart.addMSecs(90700));
const QVariant kRun(345);

TSeriesInfo series(const QVariant& multi) {
    return {12, QDateTime(QDate(2024, 3, 5), QTime(0, 0)), QString("Бетон B25, 28 дни"), multi};
}

TEST(TReviewTitles, WorkedExampleOnScreenAndForPrinting) {
    const TReviewTitles t{TFormats(QLocale::c())};
    const QString date =
        TFormats(QLocale::c()).dateTimeText(QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
    EXPECT_EQ(kCalc.seconds(), 90);
    EXPECT_EQ(kCalc.vreme(), "90");
    ASSERT_TRUE(kCalc.speed());
    EXPECT_NEAR(*kCalc.speed(), 2.0155, 1e-4);

    const QString mpa = "Измерване No 12/345 от " + date +
                        "\r\n"
                        "Максимална стойност: 8.06 MPa (181.40 kN)\r\n"
                        "Време на измерването : 90 (sec.)\r\n"
                        "Скорост : 2.02 kN/sec.)";
    EXPECT_EQ(t.title(series(22.5), kRun, kCalc), mpa);

    const QString kn = "Измерване No 12/345 от " + date +
                       "\r\n"
                       "Максимална стойност: 181.40 kN \r\n"
                       "Време на измерването : 90 (sec.)\r\n"
                       "Скорост : 2.02 kN/sec. ";
    EXPECT_EQ(t.title(series(1.0), kRun, kCalc), kn); // the printed report says kN/sec. too

    const QString basic = "Бетон B25, 28 дни\r\n"
                          "Измерване No 12/345 от " +
                          date +
                          "\r\n"
                          "Максимална стойност: 181.40   Време на измерването : 90 (sec.)\r\n"
                          "   Скорост : 2.02 (kN/sec.)";
    EXPECT_EQ(t.title(series(0.0), kRun, kCalc), basic);
    EXPECT_EQ(t.title(series(QVariant()), kRun, kCalc), basic);
}

TEST(TReviewTitles, MultiplierRoundingAndEmptyValues) {
    EXPECT_EQ(TReviewTitles::roundHalfEven(1.4), 1);
    EXPECT_EQ(TReviewTitles::roundHalfEven(0.5), 0);
    EXPECT_EQ(TReviewTitles::roundHalfEven(1.5), 2);
    EXPECT_EQ(TReviewTitles::roundHalfEven(2.5), 2);
    const TReviewTitles t{TFormats(QLocale::c())};
    EXPECT_TRUE(t.title(series(1.4), kRun, kCalc).contains("129.57 kN \r\n")); // kN form, / 1.4
    EXPECT_TRUE(t.title(series(1.5), kRun, kCalc).contains(" MPa ("));
    EXPECT_TRUE(t.title(series(0.5), kRun, kCalc).contains("362.80 MPa (181.40 kN)"));

    // A run without load samples, and nothing current at all.
    const TRunSummary none{QVariant(), QVariant(), QVariant()};
    EXPECT_EQ(none.seconds(), 0);
    EXPECT_EQ(t.title(series(22.5), kRun, none),
              "Бетон B25, 28 дни\r\nИзмерване No 12/345 от " +
                  TFormats(QLocale::c()).dateTimeText(QDateTime(QDate(2024, 3, 5), QTime(0, 0))) +
                  "\r\nМаксимална стойност: 0.00   Време на измерването :  (sec.)\r\n   Скорост : "
                  "0.00 (kN/sec.)");
    EXPECT_EQ(
        t.title(TSeriesInfo{}, QVariant(), none),
        "\r\nИзмерване No / от \r\nМаксимална стойност: 0.00   Време на измерването :  (sec.)\r\n"
        "   Скорост : 0.00 (kN/sec.)");
    // A maximum whose time was not read: no time and no speed, not a span
    // reaching back to the day count's origin.
    const TRunSummary noTime{181.4, kStart, QVariant()};
    EXPECT_TRUE(t.title(series(22.5), kRun, noTime)
                    .contains("Максимална стойност: 181.40   Време на измерването :  (sec.)"));
    // The maximum within the first second: s is 0.
    const TRunSummary quick{50.0, kStart, kStart.addMSecs(999)};
    EXPECT_EQ(quick.seconds(), 0);
    EXPECT_TRUE(t.title(series(22.5), kRun, quick).startsWith("Бетон"));

    // Under a comma locale.
    const TReviewTitles bg{TFormats(QLocale(QLocale::Bulgarian, QLocale::Bulgaria))};
    EXPECT_TRUE(bg.title(series(22.5), kRun, kCalc).contains("8,06 MPa (181,40 kN)"));
}

const QString kHead =
    "select  count (mes.mes_group_id) as broi,  mes_group.mes_group_id,  mes_group.date_effect,  "
    "multiplier.multi,   multiplier.ime,   obekt.ime,   mes_group.komentar from mes_group  join "
    "mes on mes.mes_group_id = mes_group.mes_group_id  join multiplier on multiplier.multiplier_id "
    "= mes_group.multiplier_id  join obekt on obekt.obekt_id = mes_group.obekt_id  where 1=1 ";
const QString kTail = " group by  mes_group.mes_group_id,  mes_group.date_effect,  "
                      "multiplier.multi,   multiplier.ime,obekt.ime,   mes_group.komentar";

TEST(TReviewFilter, StatementIsComposedFromItsPieces) {
    TReviewFilter f;
    EXPECT_TRUE(f.isEmpty());
    f.nomer = 12;
    EXPECT_EQ(f.statement(), kHead + " and mes_group.mes_group_id = ? " + kTail);
    EXPECT_EQ(f.values(), QList<QVariant>({qint64(12)}));

    TReviewFilter all;
    all.data = QDate(2024, 3, 5);
    all.nomer = 12;
    all.obekt_id = 3;
    all.text = "B25";
    EXPECT_EQ(all.statement(),
              kHead + " and mes_group.date_effect = ? " + " and mes_group.mes_group_id = ? " +
                  " and mes_group.obekt_id = ? " + " and mes_group.komentar containing ? " + kTail);
    EXPECT_EQ(all.values(), QList<QVariant>({QDate(2024, 3, 5), qint64(12), 3, QString("B25")}));

    TReviewFilter erased; // typed and erased: an empty text is a value
    erased.text = QString("");
    EXPECT_FALSE(erased.isEmpty());
    EXPECT_EQ(erased.values(), QList<QVariant>({QString("")}));

    // What is typed is bound as a value, never written into the statement.
    TReviewFilter quote;
    quote.text = "O'Brien'; drop table mes; --";
    EXPECT_FALSE(quote.statement().contains("Brien"));
    EXPECT_EQ(quote.values(), QList<QVariant>({QString("O'Brien'; drop table mes; --")}));
}

} // namespace
