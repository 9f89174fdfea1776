#include "results/TRateStandard.h"

TRateStandard::TRateStandard(QString name, double centre, double tolerance)
    : m_name(std::move(name)), m_centre(centre), m_tolerance(tolerance) {}

TRateStandard TRateStandard::en12390() {
    return TRateStandard(QStringLiteral("EN 12390-3"), 0.6, 0.2);
}

TRateStandard TRateStandard::astmC39() {
    return TRateStandard(QStringLiteral("ASTM C39"), 0.25, 0.05);
}

std::optional<TRateStandard> TRateStandard::byName(const QString& name) {
    const QString n = name.trimmed();
    for (const TRateStandard& s : {en12390(), astmC39()})
        if (n.compare(s.name(), Qt::CaseInsensitive) == 0)
            return s;
    return std::nullopt;
}
