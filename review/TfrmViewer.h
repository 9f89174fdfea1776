#pragma once

#include "core/TColumnGrid.h"
#include "core/TCurveExtent.h"
#include "db/TIBQuery.h"
#include "db/TRunData.h"
#include "results/TReviewFilter.h"
#include "results/TReviewTitles.h"
#include "widgets/frmTRootU.h"

#include <memory>

class QChartView;
class QLabel;
class QComboBox;
class QLineEdit;
class QLineSeries;
class QPushButton;
class QSplitter;
class TDBGrid;
class TDateFilterEdit;
class TQueryModel;
class TdmMain;
class TRunChart;
class TViewerReports;

// The review window: saved series found through a filter, their runs, the
// current run's curves with its computed results, and the printed chart.
class TfrmViewer : public TfrmTRoot {
    Q_OBJECT
public:
    TfrmViewer(const AppPaths& paths, TdmMain& dm, TFormats formats = TFormats(),
               QWidget* parent = nullptr);
    ~TfrmViewer() override;

    TIBQuery qryRes;
    TIBQuery qryobekt;
    TIBQuery qryMes;
    // The current run's samples, read in one pass for its curves and values.
    TIBQuery qryRun;

    TReviewFilter mdFilter;

    const QString& chartTitle() const { return m_title; }
    QString devName(int row) const;

    void Button1Click();
    void Button2Click();
    void Button3Click();
    void DBGridEh1DblClick();

    // The print preview; tests and the preview's callers can replace it.
    std::function<void(TfrmViewer&)> showPreview;
    // "Отчет" and the CSV files beside "Печат".
    TViewerReports* reports;

    static const QString kRuns;
    // What the pass over a run's samples (TRunData::read) gives, as statements.
    static const QString kLoad;
    static const QString kDeformation;
    static const QString kAggregates;
    static const QString kTimeOfMax;

private:
    void FormCreate();
    QWidget* buildFilterBar();
    QWidget* buildRight();
    void fillObjects();
    void closeSeriesList();
    void closeDetails();
    void qryResAfterScroll();
    void qryMesAfterScroll();
    void readRun();
    void forgetRun();
    void reloadCurves();
    void showContext();
    void setTitle(const QString& title);
    TSeriesInfo series() const;
    QVariant runId() const;
    TRunSummary calc() const;

    TDateFilterEdit* edData;
    QLineEdit* edNomer;
    QComboBox* cbObekt;
    QLineEdit* edKomentar;
    QPushButton* Button1; // "Покажи"
    QPushButton* Button2; // "Изчисти"
    QSplitter* Splitter1;
    TDBGrid* DBGridEh1;   // series
    TDBGrid* DBGridEh2;   // runs
    QPushButton* Button3; // "Печат"
    QChartView* DBChart1;
    QLabel* lblContext = nullptr;
    QLineSeries* Series1; // load
    QLineSeries* Series2; // deformation

    TdmMain& m_dm;
    std::unique_ptr<TRunChart> m_chart;
    TFormats m_formats;
    TReviewTitles m_titles;
    QString m_title;
    bool m_filling = false;
    // The current run as the last pass read it within the present snapshot
    // of trMain: its extents, its curves (every sample, or reduced to the
    // screen's columns) and its values.
    QVariant m_readRun;
    QList<TCurveExtent> m_extents;
    std::optional<TColumnGrid> m_readGrid;
    TRunData::Pass m_pass;
};
