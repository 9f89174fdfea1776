#pragma once

#include "core/AppPaths.h"
#include "results/TSeriesResults.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QBoxLayout;
class QPushButton;
class QWidget;
class TIBDatabase;
class TSeriesReport;
struct TReportSettings;

// The review window's series report and CSV files: the report of the current
// series in a print preview (print or save as PDF), the series' results and
// the current run's samples as CSV for a spreadsheet.
class TViewerReports : public QObject {
    Q_OBJECT
public:
    using Current = std::function<std::optional<int>()>;
    // Asks for the file to save into; an empty name when the operator cancels.
    using AskFile =
        std::function<QString(QWidget* parent, const QString& caption, const QString& suggested)>;

    TViewerReports(const AppPaths& paths, TIBDatabase& db, Current series, Current run,
                   QWidget* window);

    // "Отчет", "Запази резултатите (CSV)", "Запази пробите (CSV)" after what the row holds.
    void addButtons(QBoxLayout& row, QWidget* parent);

    void showReport();
    void saveResults();
    void saveSamples();

    AskFile askFile;
    // Shows the report; tests replace it to print without a dialog.
    std::function<void(QWidget* window, const TSeriesReport& report)> preview;
    QPushButton* btnReport = nullptr;
    QPushButton* btnSaveResults = nullptr;
    QPushButton* btnSaveSamples = nullptr;

    // A print preview of the report, from which the operator prints or saves a PDF.
    static void showPreview(QWidget* window, const TSeriesReport& report);

private:
    using UseSeries = std::function<void(const TSeriesResults&, const TReportSettings&)>;
    void withSeries(const UseSeries& use);
    std::optional<TSeriesResults> readSeries(int id, const TRateStandard& standard);
    void save(const QString& caption, const QString& suggested, const QByteArray& bytes);
    void logWarning(const QString& warning);
    void fail(const std::exception& e);
    std::optional<int> current(const Current& which, const QString& missing);

    AppPaths m_paths;
    TIBDatabase& m_db;
    Current m_series;
    Current m_run;
    QWidget* m_window;
    QString m_lastDir;
    QString m_loggedWarning;
};
