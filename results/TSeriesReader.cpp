#include "results/TSeriesReader.h"

#include "core/Exception.h"
#include "db/TIBDatabase.h"
#include "db/TIBQuery.h"
#include "db/TIBTransaction.h"
#include "db/TTrace.h"

#include <algorithm>

namespace {

const QString kSchemaCheck =
    QStringLiteral("select count(*) from rdb$relations where rdb$relation_name in "
                   "('MES', 'MES_DE', 'MES_GROUP', 'MULTIPLIER', 'OBEKT')");

const QString kSeries =
    QStringLiteral("select g.mes_group_id, g.date_effect, g.komentar, m.ime as type_name, m.multi, "
                   "o.ime as obekt_name from mes_group g "
                   "left join multiplier m on m.multiplier_id = g.multiplier_id "
                   "left join obekt o on o.obekt_id = g.obekt_id where g.mes_group_id = :id");

// Runs and their samples in one pass: a run without samples still gives one row.
const QString kRunsSelect =
    QStringLiteral("select m.mes_id, m.dt_start, m.dev_id, d.dev_id as sample_dev, d.mes_value, "
                   "d.date_effect, d.speed from mes m left join mes_de d on d.mes_id = m.mes_id ");
const QString kSeriesRuns =
    kRunsSelect + QStringLiteral("where m.mes_group_id = :id order by m.mes_id, d.mes_de_id");
const QString kOneRun = kRunsSelect + QStringLiteral("where m.mes_id = :id order by d.mes_de_id");

// The operator and seal of the runs, from the trace records when the database keeps them.
const QString kTraceSelect =
    QStringLiteral("select m.mes_id, c.operator_login, c.seal from mes m join run_context c on "
                   "c.mes_id = m.mes_id ");
const QString kSeriesTrace = kTraceSelect + QStringLiteral("where m.mes_group_id = :id");
const QString kRunTrace = kTraceSelect + QStringLiteral("where m.mes_id = :id");

constexpr int kNumberOfTables = 5;

std::optional<double> optionalDouble(const QVariant& v) {
    return v.isNull() ? std::nullopt : std::optional(v.toDouble());
}

// Columns of the runs statement, found once per read.
struct RunColumns {
    int id, start, dev, sampleDev, value, when, speed;
    explicit RunColumns(const TIBQuery& q)
        : id(q.FieldIndex("MES_ID")), start(q.FieldIndex("DT_START")), dev(q.FieldIndex("DEV_ID")),
          sampleDev(q.FieldIndex("SAMPLE_DEV")), value(q.FieldIndex("MES_VALUE")),
          when(q.FieldIndex("DATE_EFFECT")), speed(q.FieldIndex("SPEED")) {}
};

// A run's loads and deformations as read, before they are paired.
struct RawRun {
    TRunSamples run;
    std::vector<std::pair<QDateTime, TLoadSample>> loads;
    std::vector<double> deformations;

    void add(const TIBQuery& q, const RunColumns& c, int row) {
        const QVariant value = q.Value(row, c.value), when = q.Value(row, c.when);
        if (value.isNull() || when.isNull())
            return;
        if (q.Value(row, c.sampleDev).toInt() == 3) {
            deformations.push_back(value.toDouble());
            return;
        }
        TLoadSample s;
        s.kn = value.toDouble();
        s.speed = optionalDouble(q.Value(row, c.speed));
        loads.emplace_back(when.toDateTime(), s);
    }

    // The k-th load of a frame run goes with its k-th deformation.
    TRunSamples finish() {
        TRunSamples out = run;
        out.loads.reserve(loads.size());
        for (std::size_t k = 0; k < loads.size(); ++k) {
            TLoadSample s = loads[k].second;
            s.ms = loads.front().first.msecsTo(loads[k].first);
            if (run.isFrame() && k < deformations.size())
                s.mm = deformations[k];
            out.loads.push_back(s);
        }
        return out;
    }
};

} // namespace

TSeriesReader::TSeriesReader(TIBDatabase& db) : m_db(db) {}

namespace {

// Runs one statement with its ":id" in a transaction of its own and hands
// the rows to `read`.
template <typename Read>
auto select(TIBDatabase& db, const QString& sql, std::optional<int> id, Read&& read) {
    TIBTransaction tr(db);
    TIBQuery q(db, tr);
    q.setSQL(sql);
    if (id)
        q.ParamByName("id", *id);
    q.Open();
    auto out = read(q);
    tr.Commit();
    return out;
}

TSeriesDetails seriesInfo(const TIBQuery& q) {
    TSeriesDetails s;
    s.id = q.FieldByName("MES_GROUP_ID").toInt();
    s.date = q.FieldByName("DATE_EFFECT").toDateTime();
    s.comment = q.FieldByName("KOMENTAR").toString();
    s.specimenType = q.FieldByName("TYPE_NAME").toString();
    s.multiplier = optionalDouble(q.FieldByName("MULTI"));
    s.object = q.FieldByName("OBEKT_NAME").toString();
    return s;
}

} // namespace

void TSeriesReader::checkSchema() {
    const int tables = select(m_db, kSchemaCheck, std::nullopt, [](const TIBQuery& q) {
        return q.RecordCount() ? q.Value(0, 0).toInt() : 0;
    });
    if (tables != kNumberOfTables)
        throw Exception(QStringLiteral("Базата данни %1 не е на prjNUV (липсват таблиците на "
                                       "измерванията)")
                            .arg(m_db.DatabaseName));
}

std::optional<TSeriesDetails> TSeriesReader::series(int id) {
    return select(m_db, kSeries, id, [](const TIBQuery& q) {
        return q.RecordCount() ? std::optional(seriesInfo(q)) : std::nullopt;
    });
}

std::vector<TRunSamples> TSeriesReader::runs(int seriesId) {
    auto out = select(m_db, kSeriesRuns, seriesId, [this](TIBQuery& q) { return readRuns(q); });
    addTrace(out, kSeriesTrace, seriesId);
    return out;
}

std::optional<TRunSamples> TSeriesReader::run(int runId) {
    auto out = select(m_db, kOneRun, runId, [this](TIBQuery& q) { return readRuns(q); });
    addTrace(out, kRunTrace, runId);
    return out.empty() ? std::nullopt : std::optional(out.front());
}

void TSeriesReader::addTrace(std::vector<TRunSamples>& runs, const QString& sql, int id) {
    if (runs.empty() || !TTrace::present(m_db))
        return;
    select(m_db, sql, id, [&runs](const TIBQuery& q) {
        for (int row = 0; row < q.RecordCount(); ++row) {
            const int run = q.Value(row, 0).toInt();
            const auto it = std::find_if(runs.begin(), runs.end(),
                                         [run](const TRunSamples& r) { return r.id == run; });
            if (it == runs.end())
                continue;
            it->operatorLogin = q.Value(row, 1).toString().trimmed();
            it->seal = q.Value(row, 2).toString().trimmed();
        }
        return 0;
    });
}

std::vector<TRunSamples> TSeriesReader::readRuns(TIBQuery& q) {
    const RunColumns c(q);
    std::vector<TRunSamples> out;
    std::optional<RawRun> raw;
    for (int row = 0; row < q.RecordCount(); ++row) {
        const int id = q.Value(row, c.id).toInt();
        if (!raw || raw->run.id != id) {
            if (raw)
                out.push_back(raw->finish());
            raw.emplace();
            raw->run.id = id;
            raw->run.started = q.Value(row, c.start).toDateTime();
            raw->run.device = q.Value(row, c.dev).toInt();
        }
        raw->add(q, c, row);
    }
    if (raw)
        out.push_back(raw->finish());
    return out;
}
