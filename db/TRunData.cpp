#include "db/TRunData.h"

#include "core/Exception.h"
#include "core/TCurveReducer.h"
#include "db/FbApi.h"
#include "db/TIBDatabase.h"
#include "db/TIBTransaction.h"
#include "db/TQueryModel.h"

#include <QDateTime>

#include <algorithm>
#include <climits>

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

namespace {

// Per curve: its samples with a time and a value, counted with their
// earliest and latest time and their least and greatest value.
QString extentColumns(const QString& when) {
    return QStringLiteral("count(case when %1 then 1 end), "
                          "min(case when %1 then date_effect end), "
                          "max(case when %1 then date_effect end), "
                          "min(case when %1 then mes_value end), "
                          "max(case when %1 then mes_value end)")
        .arg(when);
}

const QString kExtentsFrom =
    QStringLiteral(" from mes_de where mes_id = ? and mes_value is not null and "
                   "date_effect is not null");

// The values of the review come from the load samples, and the two curves
// are the load and the deformation; the grouping window takes all samples.
int curveOf(Curves curves, const TSample& s) {
    if (curves == Curves::All)
        return 0;
    return s.kind() == TSample::Load ? 0 : s.kind() == TSample::Deformation ? 1 : -1;
}

const QString kOverviewTable = QStringLiteral(
    "CREATE TABLE MES_OVERVIEW (\n"
    "  MES_ID INTEGER NOT NULL,\n"
    "  PART   INTEGER NOT NULL,\n"
    "  DATA   VARCHAR(32000) CHARACTER SET OCTETS,\n"
    "  CONSTRAINT PK_MES_OVERVIEW PRIMARY KEY (MES_ID, PART),\n"
    "  CONSTRAINT FK_MES_OVERVIEW_MES FOREIGN KEY (MES_ID) REFERENCES MES (MES_ID) ON DELETE "
    "CASCADE\n"
    ")");
constexpr int kPartBytes = 32000;

} // namespace

const QString kExtentsAll =
    QStringLiteral("select ") + extentColumns(QStringLiteral("1 = 1")) + kExtentsFrom;
const QString kExtentsLoadAndDeformation =
    QStringLiteral("select ") + extentColumns(QStringLiteral("dev_id < 3")) + QStringLiteral(", ") +
    extentColumns(QStringLiteral("dev_id = 3")) + kExtentsFrom;
const QString kSamples =
    QStringLiteral("select mes_de_id, dev_id, date_effect, mes_value from mes_de where mes_id = ?");

TSample sampleOf(const TIBRow& r) {
    TSample s;
    s.id = qint32(r.number(0));
    s.dev = r.isNull(1) ? INT_MIN : int(r.number(1));
    s.hasTime = !r.isNull(2);
    if (s.hasTime) {
        s.time = r.timestamp(2);
        s.ms = fb::timestampMs(s.time);
    }
    s.hasValue = !r.isNull(3);
    if (s.hasValue)
        s.value = r.number(3);
    return s;
}

QList<QList<int>> curveKinds(Curves curves) {
    if (curves == Curves::All)
        return {{TSample::Load, TSample::Deformation, TSample::Other}};
    return {{TSample::Load}, {TSample::Deformation}};
}

QList<TCurveExtent> extents(TIBQuery& q, const QVariant& runId, Curves curves) {
    q.setSQL(curves == Curves::All ? kExtentsAll : kExtentsLoadAndDeformation);
    q.setParams({runId});
    const int columns = curves == Curves::All ? 5 : 10;
    QList<TCurveExtent> out;
    q.Stream([&](const TIBRow& r) {
        for (int c = 0; c < columns; c += 5) {
            TCurveExtent e;
            e.count = qint64(r.number(c));
            if (e.count > 0)
                e = {e.count, double(fb::timestampMs(r.timestamp(c + 1))),
                     double(fb::timestampMs(r.timestamp(c + 2))), r.number(c + 3), r.number(c + 4)};
            out.append(e);
        }
    });
    return out;
}

Pass read(TIBQuery& q, const QVariant& runId, Curves curves,
          const std::optional<TColumnGrid>& grid) {
    const int count = curves == Curves::All ? 1 : 2;
    struct Point {
        double x, y;
        qint32 id;
    };
    std::vector<std::vector<Point>> all(static_cast<size_t>(count));
    std::vector<TCurveReducer> reducers;
    if (grid)
        reducers.assign(size_t(count), TCurveReducer(*grid));
    TRunValues values;
    q.setSQL(kSamples);
    q.setParams({runId});
    q.Stream([&](const TIBRow& r) {
        const TSample s = sampleOf(r);
        if (curves == Curves::All || s.kind() == TSample::Load)
            values.add(s);
        const int curve = curveOf(curves, s);
        if (curve < 0 || !s.isPoint())
            return;
        if (grid)
            reducers[size_t(curve)].add(double(s.ms), s.value, s.id);
        else
            all[size_t(curve)].push_back({double(s.ms), s.value, s.id});
    });
    Pass p;
    for (int c = 0; c < count; ++c) {
        if (grid) {
            p.curves.append(reducers[size_t(c)].points());
            continue;
        }
        std::vector<Point>& pts = all[size_t(c)];
        std::sort(pts.begin(), pts.end(), [](const Point& a, const Point& b) {
            return a.x < b.x || (a.x == b.x && a.id < b.id);
        });
        QList<QPointF> out;
        out.reserve(qsizetype(pts.size()));
        for (const Point& pt : pts)
            out.append(QPointF(pt.x, pt.y));
        p.curves.append(out);
    }
    p.maxValue = values.maxValue();
    p.startA = values.startA();
    p.timeOfMax = values.timeOfMax();
    return p;
}

TRunOverview overviewOf(TIBQuery& q, const QVariant& runId) {
    TRunOverview o;
    q.setSQL(kSamples);
    q.setParams({runId});
    q.Stream([&](const TIBRow& r) { o.add(sampleOf(r)); });
    o.finish();
    return o;
}

void storeOverview(TIBQuery& q, int runId, const TRunOverview& overview) {
    q.setSQL(QStringLiteral("delete from mes_overview where mes_id = ?"));
    q.setParams({runId});
    q.ExecSQL();
    if (overview.points() < TRunOverview::kLeastSamples)
        return;
    const QByteArray bytes = overview.toBytes();
    q.setSQL(QStringLiteral("insert into mes_overview(mes_id, part, data) values(?, ?, ?)"));
    for (int part = 0; part * kPartBytes < bytes.size(); ++part) {
        q.setParams({runId, part, bytes.mid(part * kPartBytes, kPartBytes)});
        q.ExecSQL();
    }
}

std::optional<TRunOverview> loadOverview(TIBQuery& q, const QVariant& runId) {
    q.setSQL(QStringLiteral("select data from mes_overview where mes_id = ? order by part"));
    q.setParams({runId});
    QByteArray bytes;
    q.Stream([&](const TIBRow& r) { bytes += r.value(0).toByteArray(); });
    if (bytes.isEmpty())
        return std::nullopt;
    return TRunOverview::fromBytes(bytes);
}

void samplesBetween(TIBQuery& q, const QVariant& runId, qint32 first, qint32 last,
                    const std::function<void(const TSample&)>& sample) {
    // "+ 0": the run's own index would read all its samples; the ids' index
    // reads just these.
    q.setSQL(QStringLiteral("select mes_de_id, dev_id, date_effect, mes_value from mes_de "
                            "where mes_de_id between ? and ? and mes_id + 0 = ?"));
    q.setParams({first, last, runId});
    q.Stream([&](const TIBRow& r) { sample(sampleOf(r)); });
}

std::optional<QString> ensureOverviews(TIBDatabase& db) {
    try {
        TIBTransaction tr(db);
        TIBQuery q(db, tr);
        q.setSQL(QStringLiteral(
            "select count(*) from rdb$relations where rdb$relation_name = 'MES_OVERVIEW'"));
        q.Open();
        const bool present = q.Value(0, 0).toInt() == 1;
        q.Close();
        if (!present) {
            q.setSQL(kOverviewTable);
            try {
                q.ExecSQL();
                tr.Commit();
            } catch (const Exception& e) {
                // Another workstation added it at the same moment.
                if (!e.message().contains(QLatin1String("already exists"), Qt::CaseInsensitive))
                    throw;
            }
        }
        if (tr.InTransaction())
            tr.Commit();
        return std::nullopt;
    } catch (const Exception& e) {
        return e.message();
    }
}

} // namespace TRunData
