#pragma once

// What of a chart's texts the operator cannot read: a title, an axis title
// or an axis label cut short with an ellipsis, or a title drawn over the
// plot.
#include <QChart>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QStringList>

inline QStringList unreadableChartTexts(const QChart& chart) {
    QStringList out;
    if (!chart.scene())
        return {QStringLiteral("the chart is on no scene")};
    const QRectF plot = chart.plotArea();
    const auto items = chart.scene()->items();
    for (const QGraphicsItem* item : items) {
        if (!chart.isAncestorOf(item) || !item->isVisible())
            continue;
        QString text;
        if (const auto* t = dynamic_cast<const QGraphicsTextItem*>(item))
            text = t->toPlainText();
        else if (const auto* s = dynamic_cast<const QGraphicsSimpleTextItem*>(item))
            text = s->text();
        else
            continue;
        if (text.contains(QStringLiteral("...")) || text.contains(QChar(0x2026)))
            out.append(QStringLiteral("cut: ") + text);
        // The chart's title stands above the plot.
        if (text.contains(QLatin1String("\n")) || text.contains(QChar(0x2029)) ||
            text.contains(QChar(0x2028))) {
            if (item->sceneBoundingRect().bottom() > plot.top() + 1)
                out.append(QStringLiteral("over the plot: ") + text.left(40));
        }
    }
    return out;
}
