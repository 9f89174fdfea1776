// The run chart's numbers as the operator reads them.
#include "widgets/TRunChart.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QRegularExpression>
#include <QTest>
#include <QValueAxis>

#include <gtest/gtest.h>

namespace {

QStringList drawnTexts(QChartView* view) {
    QStringList out;
    for (QGraphicsItem* item : view->scene()->items()) {
        if (!item->isVisible())
            continue;
        if (auto* t = dynamic_cast<QGraphicsTextItem*>(item))
            out.append(t->toPlainText());
        else if (auto* st = dynamic_cast<QGraphicsSimpleTextItem*>(item))
            out.append(st->text());
    }
    return out;
}

// Every number along the axes carries the system's decimal separator, for a
// run and for the empty chart that follows it.
TEST(RunChartTest, AxisNumbersFollowTheSystemsDecimalSeparator) {
    TRunChart chart(QStringLiteral("DBChart1"), QStringLiteral("HH:mm:ss"));
    chart.addCurve(QPen(Qt::black), Qt::AlignLeft, QStringLiteral("kN"));
    chart.addCurve(QPen(Qt::red), Qt::AlignRight, QStringLiteral("mm"));
    chart.view()->resize(700, 450);
    chart.view()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(chart.view()));
    const qint64 t0 = QDateTime(QDate(2024, 3, 5), QTime(9, 0)).toMSecsSinceEpoch();
    const QChar sep = QLocale().decimalPoint().at(0);
    const QChar other = sep == QLatin1Char(',') ? QLatin1Char('.') : QLatin1Char(',');
    const QRegularExpression number(QStringLiteral("^-?\\d+[.,]\\d+$"));
    for (const QList<QList<QPointF>>& curves :
         {QList<QList<QPointF>>{{{double(t0), 1.25}, {double(t0 + 20000), 3.5}},
                                {{double(t0), 0.1}, {double(t0 + 20000), 0.35}}},
          QList<QList<QPointF>>{}}) {
        chart.setPoints(curves);
        QApplication::processEvents();
        int decimals = 0;
        for (const QString& text : drawnTexts(chart.view())) {
            if (!number.match(text).hasMatch())
                continue;
            ++decimals;
            EXPECT_TRUE(text.contains(sep)) << text.toStdString();
            EXPECT_FALSE(text.contains(other)) << text.toStdString();
        }
        EXPECT_GT(decimals, 4); // both axes show fractions
    }
}

} // namespace
