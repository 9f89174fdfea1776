#include "db/TRunData.h"

#include "db/TQueryModel.h"

#include <QDateTime>

#include <algorithm>

namespace TRunData {

QString devName(const QVariant& devId) {
    if (devId.isNull())
        return {};
    switch (devId.toInt()) {
    case 1:
        return QStringLiteral("PLQ-4000");
    case 2:
        return QStringLiteral("CBR-MARSHALL");
    default:
        return {};
    }
}

QList<QPointF> samplePoints(const TIBQuery& q) {
    QList<QPointF> out;
    if (!q.Active())
        return out;
    const int t = q.FieldIndex(QStringLiteral("DATE_EFFECT"));
    const int v = q.FieldIndex(QStringLiteral("MES_VALUE"));
    out.reserve(q.RecordCount());
    for (int r = 0; r < q.RecordCount(); ++r) {
        const QVariant when = q.Value(r, t), value = q.Value(r, v);
        if (!when.isNull() && !value.isNull())
            out.append(QPointF(double(when.toDateTime().toMSecsSinceEpoch()), value.toDouble()));
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
    return out;
}

TQueryModel* runListModel(TIBQuery& runs, const TFormats& formats, QObject* parent) {
    return new TQueryModel(
        runs,
        {{QStringLiteral("MES_ID"), QStringLiteral("Пореден номер")},
         {QStringLiteral("DT_START"), QStringLiteral("Старт"), TGridColumn::Kind::DateTime},
         {QString(), QStringLiteral("Име"), TGridColumn::Kind::Plain,
          [&runs](int row) {
              return devName(runs.Value(row, runs.FieldIndex(QStringLiteral("DEV_ID"))));
          }}},
        formats, parent);
}

} // namespace TRunData
