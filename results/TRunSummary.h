#pragma once

#include "core/TextFormats.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <optional>

// The computed values of a run in the grouping and review windows, from its
// aggregate row (largest value, first sample time) and its time of maximum.
class TRunSummary {
public:
    // Null variants are empty values.
    TRunSummary(const QVariant& maxValue, const QVariant& startA, const QVariant& timeOfMax);

    // Whole seconds from the first sample to the maximum (0 when either is empty).
    std::int64_t seconds() const { return m_seconds; }
    std::optional<double> speed() const; // max / s, empty when s is 0
    QString vreme() const;               // s as a decimal integer, empty when s is 0
    std::optional<double> maxValue() const { return m_max; }

    // The values strip: "0.0", vreme, "0.00"; empty values stay blank.
    QString maxText(const TFormats& f) const;
    QString speedText(const TFormats& f) const;
    // The chart's three lines, joined by CR LF.
    QString title(const TFormats& f) const;

private:
    std::optional<double> m_max;
    std::int64_t m_seconds = 0;
};
