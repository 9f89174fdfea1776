#pragma once

#include "results/TCsvForm.h"

#include <QString>
#include <QStringList>

#include <optional>

class TIBDatabase;

// nuv-report: the results of a series as CSV or PDF, a run's samples as CSV.
// Everything is read and computed before a file is written, so a failure
// leaves no file behind.
class TReportTool {
public:
    // Exit codes, for scripts.
    enum Exit { Ok = 0, Usage = 1, Database = 2, NotFound = 3, Output = 4 };

    explicit TReportTool(QStringList arguments);
    int run();

private:
    bool parse();
    void openDatabase(TIBDatabase& db) const;
    TCsvForm csvForm() const;

    QStringList m_arguments;
    QString m_database;
    QString m_settings;
    std::optional<int> m_series;
    std::optional<int> m_run;
    QString m_csv;
    QString m_pdf;
    QString m_samples;
    bool m_spreadsheet = false; // the CSV form a Bulgarian spreadsheet opens
};
