#include "results/ResultsCsv.h"

#include "results/TSeriesResults.h"

#include <functional>

namespace ResultsCsv {

namespace {

const QStringList kSeriesHeader = {
    "run",           "started",   "device",         "samples",           "max_kn",
    "time_to_max_s", "rate_kn_s", "strength_mpa",   "stress_rate_mpa_s", "rate_ok",
    "stability_kn",  "flow_mm",   "quotient_kn_mm", "cbr_2_5_pct",       "cbr_5_0_pct",
    "cbr_pct"};

QString okText(std::optional<bool> ok) {
    if (!ok)
        return {};
    return *ok ? QStringLiteral("yes") : QStringLiteral("no");
}

QStringList runFields(const TRunSamples& run, const TRunResult& r, const TCsvForm& f) {
    return {QString::number(run.id),     TCsvForm::moment(run.started),
            QString::number(run.device), QString::number(r.samples),
            f.number(r.maxKn),           f.number(r.timeToMaxS),
            f.number(r.rateKnS),         f.number(r.strengthMpa),
            f.number(r.stressRateMpaS),  okText(r.rateOk),
            f.number(r.stabilityKn),     f.number(r.flowMm),
            f.number(r.quotientKnMm),    f.number(r.cbr25Pct),
            f.number(r.cbr50Pct),        f.number(r.cbrPct)};
}

// One summary line: the statistic's name in the run column, its value under
// each summarised result.
QStringList summaryFields(const QString& name, const TSeriesResults& s,
                          const std::function<QString(const TSummary&)>& value) {
    QStringList fields(kSeriesHeader.size());
    fields[0] = name;
    const std::pair<int, TSummary> columns[] = {{4, s.maxKn()},         {7, s.strengthMpa()},
                                                {10, s.stabilityKn()},  {11, s.flowMm()},
                                                {12, s.quotientKnMm()}, {15, s.cbrPct()}};
    for (const auto& [column, summary] : columns)
        fields[column] = value(summary);
    return fields;
}

} // namespace

QByteArray series(const TSeriesResults& results, const TCsvForm& form) {
    QStringList lines{form.line(kSeriesHeader)};
    for (std::size_t i = 0; i < results.runs().size(); ++i)
        lines.append(form.line(runFields(results.runs()[i], results.results()[i], form)));
    const std::pair<QString, std::function<QString(const TSummary&)>> stats[] = {
        {"n", [](const TSummary& s) { return QString::number(s.n); }},
        {"mean", [&](const TSummary& s) { return form.number(s.mean); }},
        {"sd", [&](const TSummary& s) { return form.number(s.sd); }},
        {"cov_pct", [&](const TSummary& s) { return form.number(s.covPct); }},
        {"min", [&](const TSummary& s) { return form.number(s.min); }},
        {"max", [&](const TSummary& s) { return form.number(s.max); }}};
    for (const auto& [name, value] : stats)
        lines.append(form.line(summaryFields(name, results, value)));
    return form.bytes(lines);
}

QByteArray samples(const TRunSamples& run, const TCsvForm& form) {
    QStringList lines{form.line({"time_ms", "load_kn", "speed", "deformation_mm"})};
    for (const TLoadSample& s : run.loads)
        lines.append(form.line(
            {QString::number(s.ms), form.number(s.kn), form.number(s.speed), form.number(s.mm)}));
    return form.bytes(lines);
}

} // namespace ResultsCsv
