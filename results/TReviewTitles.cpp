#include "results/TReviewTitles.h"

#include <cmath>

namespace {

bool empty(const QVariant& v) {
    return !v.isValid() || v.isNull();
}

QString text(const QVariant& v) {
    return empty(v) ? QString() : v.toString();
}

const QString kCrLf = QStringLiteral("\r\n");

} // namespace

long long TReviewTitles::roundHalfEven(double value) {
    return std::llrint(
        std::nearbyint(value)); // the default rounding mode is to nearest, ties to even
}

QString TReviewTitles::numberLine(const TSeriesInfo& series, const QVariant& runId) const {
    const QString date =
        empty(series.date) ? QString() : m_f.dateTimeText(series.date.toDateTime());
    return QStringLiteral("Измерване No ") + text(series.id) + QLatin1Char('/') + text(runId) +
           QStringLiteral(" от ") + date;
}

QString TReviewTitles::basic(const TSeriesInfo& series, const QVariant& runId,
                             const TRunSummary& calc) const {
    return text(series.komentar) + kCrLf + numberLine(series, runId) + kCrLf +
           QStringLiteral("Максимална стойност: ") + F(calc.maxValue().value_or(0.0)) +
           QStringLiteral("   ") + QStringLiteral("Време на измерването : ") + calc.vreme() +
           QStringLiteral(" (sec.)") + kCrLf + QStringLiteral("   ") +
           QStringLiteral("Скорост : ") + F(calc.speed().value_or(0.0)) +
           QStringLiteral(" (kN/sec.)");
}

std::optional<QString> TReviewTitles::typed(const TSeriesInfo& series, const QVariant& runId,
                                            const TRunSummary& calc) const {
    const double multi = empty(series.multi) ? 0.0 : series.multi.toDouble();
    if (multi == 0 || calc.seconds() == 0)
        return std::nullopt;
    const double max = calc.maxValue().value_or(0.0);
    const double s = double(calc.seconds());
    const QString time =
        QStringLiteral("Време на измерването : ") + calc.vreme() + QStringLiteral(" (sec.)");
    if (roundHalfEven(multi) == 1) {
        return numberLine(series, runId) + kCrLf + QStringLiteral("Максимална стойност: ") +
               F(max / multi) + QStringLiteral(" kN ") + kCrLf + time + kCrLf +
               QStringLiteral("Скорост : ") + F(max / multi / s) + QStringLiteral(" kN/sec. ");
    }
    return numberLine(series, runId) + kCrLf + QStringLiteral("Максимална стойност: ") +
           F(max / multi) + QStringLiteral(" MPa (") + F(max) + QStringLiteral(" kN)") + kCrLf +
           time + kCrLf + QStringLiteral("Скорост : ") + F(max / s) + QStringLiteral(" kN/sec.)");
}

QString TReviewTitles::title(const TSeriesInfo& series, const QVariant& runId,
                             const TRunSummary& calc) const {
    return typed(series, runId, calc).value_or(basic(series, runId, calc));
}
