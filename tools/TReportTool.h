#pragma once

#include "results/TCsvForm.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

class QCommandLineParser;
class TIBDatabase;

// nuv-report: the results of a series as CSV or PDF, a run's samples as CSV,
// the check of the runs' seals, the audit trail as CSV. Everything is read
// and computed before a file is written, so a failure leaves no file behind.
class TReportTool {
public:
    // Exit codes, for scripts.
    enum Exit { Ok = 0, Usage = 1, Database = 2, NotFound = 3, Output = 4, Mismatch = 5 };

    explicit TReportTool(QStringList arguments);
    int run();

private:
    bool parse();
    void openDatabase(TIBDatabase& db) const;
    TCsvForm csvForm() const;
    // --verify and --audit: the trace records rather than the results.
    bool parseTrace(const QCommandLineParser& p);
    int verify(TIBDatabase& db) const;
    QByteArray audit(TIBDatabase& db) const;

    QStringList m_arguments;
    QString m_database;
    QString m_settings;
    std::optional<int> m_series;
    std::optional<int> m_run;
    QString m_csv;
    QString m_pdf;
    QString m_samples;
    bool m_spreadsheet = false; // the CSV form a Bulgarian spreadsheet opens
    bool m_verify = false;
    bool m_audit = false;
    QDate m_from;
    QDate m_to;
};
