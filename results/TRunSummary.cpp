#include "results/TRunSummary.h"

#include "core/TimeStamp.h"

TRunSummary::TRunSummary(const QVariant& maxValue, const QVariant& startA,
                         const QVariant& timeOfMax) {
    if (maxValue.isValid() && !maxValue.isNull())
        m_max = maxValue.toDouble();
    if (startA.isValid() && !startA.isNull() && timeOfMax.isValid() && !timeOfMax.isNull())
        m_seconds = TimeStamp::spanSeconds(startA.toDateTime(), timeOfMax.toDateTime());
}

std::optional<double> TRunSummary::speed() const {
    if (m_seconds == 0)
        return std::nullopt;
    return m_max.value_or(0.0) / double(m_seconds);
}

QString TRunSummary::vreme() const {
    return m_seconds == 0 ? QString() : QString::number(m_seconds);
}

QString TRunSummary::maxText(const TFormats& f) const {
    if (!m_max)
        return {};
    return f.fixed(*m_max, 1);
}

QString TRunSummary::speedText(const TFormats& f) const {
    const auto s = speed();
    return s ? f.format00(*s) : QString();
}

QString TRunSummary::title(const TFormats& f) const {
    return QStringLiteral("Максимална стойност: ") + f.format00(m_max.value_or(0.0)) +
           QStringLiteral("\r\nВреме на измерването : ") + vreme() + QStringLiteral(" (sec.)") +
           QStringLiteral("\r\nСкорост : ") + speedText(f);
}
