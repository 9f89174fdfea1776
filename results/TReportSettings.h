#pragma once

#include "results/TRateStandard.h"

#include <QString>

// What the series report takes from the settings file's [report] section:
// the laboratory that signs it and the standard its loading rates are checked against.
struct TReportSettings {
    QString laboratory;
    QString address;
    TRateStandard standard = TRateStandard::en12390();
    // Set when the file names a standard the program does not know; the default stands then.
    QString warning;

    // A missing file or section gives the defaults.
    static TReportSettings read(const QString& iniFile);
};
