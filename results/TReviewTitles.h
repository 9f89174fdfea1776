#pragma once

#include "core/TextFormats.h"

#include <QString>
#include <QVariant>

#include <cstdint>
#include <optional>

// What the review computes for a run from its load samples: the whole
// seconds from the first load sample to the maximum, the speed and the time
// text. Empty values are invalid or null variants.
class TReviewCalc {
public:
    TReviewCalc(const QVariant& maxValue, const QVariant& startA, const QVariant& timeOfMax);

    std::int64_t seconds() const { return m_s; }
    std::optional<double> speed() const { return m_speed; }
    const QString& vreme() const { return m_vreme; }
    double maxValue() const { return m_max; } // an empty maximum counts as 0

private:
    double m_max = 0;
    std::int64_t m_s = 0;
    std::optional<double> m_speed;
    QString m_vreme;
};

// The series a run belongs to, as the series list holds it.
struct TSeriesInfo {
    QVariant id;       // MES_GROUP_ID
    QVariant date;     // DATE_EFFECT
    QVariant komentar; // KOMENTAR
    QVariant multi;    // MULTI
};

// The chart titles of the review, lines joined by CR LF.
class TReviewTitles {
public:
    explicit TReviewTitles(TFormats formats = TFormats()) : m_f(std::move(formats)) {}

    QString basic(const TSeriesInfo& series, const QVariant& runId, const TReviewCalc& calc) const;
    // Empty when it cannot be computed (multiplier 0 or empty, or no whole second).
    // The screen and the printed report carry the same title.
    std::optional<QString> typed(const TSeriesInfo& series, const QVariant& runId,
                                 const TReviewCalc& calc) const;
    // The typed title where it can be computed, else the basic one.
    QString title(const TSeriesInfo& series, const QVariant& runId, const TReviewCalc& calc) const;

    // Rounds to the nearest whole number, a half to the even neighbour.
    static long long roundHalfEven(double value);

private:
    QString numberLine(const TSeriesInfo& series, const QVariant& runId) const;
    QString F(double x) const { return m_f.format00(x); }

    TFormats m_f;
};
