#pragma once

#include "reporting/TReportPages.h"

#include "results/TReportSettings.h"
#include "results/TSeriesResults.h"

#include <QByteArray>
#include <QDateTime>
#include <QFont>
#include <QLocale>

class QPagedPaintDevice;

// The test report of a series: the laboratory, the series, a table of its
// runs with their results, the summary, the runs' seals, the runs' curves,
// and the lines for the signatures, the operators' names on the tester's;
// every page dated and numbered. Numbers are written with
// the Bulgarian decimal comma whatever the system's locale is.
class TSeriesReport {
public:
    TSeriesReport(const TSeriesResults& series, const TReportSettings& settings, QDateTime printed);

    int pageCount() const { return m_pages.pageCount(); }
    // Onto a printer or a PDF writer, A4 portrait.
    void render(QPagedPaintDevice& device) const;
    QByteArray pdf() const;

private:
    void addHeading();
    void addPressTable();
    void addFrameTable();
    void addSummary();
    void addSeals();
    void addCharts();
    void addSignatures();
    void addText(const QString& text, const QFont& font, double height, int flags = 0);
    QString num(std::optional<double> value, int decimals) const;

    const TSeriesResults& m_series;
    TReportSettings m_settings;
    QDateTime m_printed;
    QLocale m_locale;
    QFont m_font;
    TReportPages m_pages;
};
