#pragma once

#include "core/TextFormats.h"
#include "results/TRunSummary.h"

#include <QString>
#include <QVariant>

#include <optional>

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

    QString basic(const TSeriesInfo& series, const QVariant& runId, const TRunSummary& calc) const;
    // Empty when it cannot be computed (multiplier 0 or empty, or no whole second).
    // The screen and the printed report carry the same title.
    std::optional<QString> typed(const TSeriesInfo& series, const QVariant& runId,
                                 const TRunSummary& calc) const;
    // The typed title where it can be computed, else the basic one.
    QString title(const TSeriesInfo& series, const QVariant& runId, const TRunSummary& calc) const;

    // Rounds to the nearest whole number, a half to the even neighbour.
    static long long roundHalfEven(double value);

private:
    QString numberLine(const TSeriesInfo& series, const QVariant& runId) const;
    QString F(double x) const { return m_f.format00(x); }

    TFormats m_f;
};
