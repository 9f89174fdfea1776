#pragma once

#include "acquisition/TPressSettings.h"
#include "db/TTrace.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

class TIBDatabase;

// What the program checks of the trace records when it starts: whether the
// press constants changed since the last start, and runs a killed program
// left without their seal.
namespace TTraceStart {

// "upp=52.2; downn=26.2; maxstart=5.2"
QString constantsText(const TPressSettings::Constants& c);

// The constants this workstation used last: those of its last press run or
// of its last recorded change, whichever is later.
std::optional<QString> lastConstants(TIBDatabase& db, const QString& workstation);

struct Outcome {
    std::optional<TTrace::AuditEntry> change; // for the trail
    QString notice;                           // for the bottom line and the log
};
// A change is recorded; a change to defaults the settings file fell back on
// (a lost or emptied file) is also said, with both sets of constants.
Outcome compare(const std::optional<QString>& last, const TPressSettings::Constants& now,
                const QStringList& defaulted, const QString& settingsPath);

// Seals this workstation's runs that have a context but no seal; returns how many.
int sealLeftOpen(TIBDatabase& db, const QString& workstation, const QDateTime& at);

} // namespace TTraceStart
