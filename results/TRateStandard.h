#pragma once

#include <QString>

#include <optional>

// A standard's window for the stress rate of a compression test, in MPa/s.
class TRateStandard {
public:
    static TRateStandard en12390();
    static TRateStandard astmC39();
    // The standard with this name; an unknown or empty name gives nothing.
    static std::optional<TRateStandard> byName(const QString& name);

    const QString& name() const { return m_name; }
    double low() const { return m_centre - m_tolerance; }
    double high() const { return m_centre + m_tolerance; }
    bool accepts(double mpaPerS) const { return mpaPerS >= low() && mpaPerS <= high(); }

private:
    TRateStandard(QString name, double centre, double tolerance);

    QString m_name;
    double m_centre;
    double m_tolerance;
};
