#include "results/TReportSettings.h"

#include "core/U_IniFile.h"

TReportSettings TReportSettings::read(const QString& iniFile) {
    const QString section = QStringLiteral("report");
    T_IniFile ini(iniFile);
    TReportSettings s;
    s.laboratory = ini.ReadString(section, QStringLiteral("Laboratory"), QString());
    s.address = ini.ReadString(section, QStringLiteral("Address"), QString());
    const QString name = ini.ReadString(section, QStringLiteral("Standard"), QString());
    if (name.trimmed().isEmpty())
        return s;
    if (const auto standard = TRateStandard::byName(name))
        s.standard = *standard;
    else
        s.warning = QStringLiteral("Непознат стандарт \"%1\" в %2; използва се %3")
                        .arg(name, iniFile, s.standard.name());
    return s;
}
