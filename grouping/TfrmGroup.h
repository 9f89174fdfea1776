#pragma once

#include "core/TColumnGrid.h"
#include "core/TCurveExtent.h"
#include "core/TextFormats.h"
#include "db/TIBQuery.h"
#include "db/TRunData.h"
#include "widgets/frmTRootU.h"

#include <functional>
#include <memory>
#include <optional>

class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QPushButton;
class QSplitter;
class QStandardItemModel;
class QTableView;
class QToolButton;
class TDBGrid;
class TQueryModel;
class TdmMain;
class TRunChart;

// The grouping window: the runs that belong to no series, each with its
// curve and computed values, collected into a selection that is saved as one
// series when the window closes; and the deletion of a run.
class TfrmGroup : public TfrmTRoot {
    Q_OBJECT
public:
    TfrmGroup(const AppPaths& paths, TdmMain& dm, TFormats formats = TFormats(),
              QWidget* parent = nullptr);
    ~TfrmGroup() override;

    TIBQuery qryMes;
    // The current run's samples, read in one pass for its curve and values.
    TIBQuery qryRun;
    TIBQuery qryMulti;
    TIBQuery qryobekt;

    // The selection list: id, date_effect, maxv, sec, speed.
    QStandardItemModel* mdSelected;
    enum SelectedField { fId = 0, fDateEffect, fMaxv, fSec, fSpeed };
    // The series choice: at most one row, pending until the window closes.
    struct Choice {
        bool hasRow = false;
        bool pending = false;
        std::optional<int> mult_id;
        std::optional<int> obekt_id;
    } mdMulti;

    // The chart title as set, lines separated by CR LF.
    const QString& chartTitle() const { return m_title; }
    // The calculated fields of the current aggregate row.
    const QString& vreme() const { return m_vreme; }
    std::optional<double> speed() const { return m_speed; }
    QString devName(int row) const;

    void Button1Click();
    void Button2Click();
    void ReloadRunList();

    // Whether a run is still being recorded; such a run is not deleted. The
    // main window answers it from the acquisition's open runs; by default no
    // run is.
    std::function<bool(int runId)> isRecording = [](int) { return false; };

    static const QString kRunList;
    // What the pass over a run's samples (TRunData::read) gives, as statements.
    static const QString kSamples;
    static const QString kAggregates;
    static const QString kTimeOfMax;

protected:
    bool FormCloseQuery() override;

private:
    void FormCreate();
    void readLists();
    void buildControls();
    QWidget* buildLeft();
    QWidget* buildRight();
    void qryMesAfterScroll();
    void qryCalcCalcFields();
    void readRun();
    void forgetRun();
    void loadChart();
    void setTitle(const QString& title);
    void fillLookups();
    void postChoice();
    void choose(QComboBox* box);
    bool saveSeries();
    void deleteSelectedRow();
    bool eventFilter(QObject* watched, QEvent* event) override;

    QSplitter* Splitter1;
    QWidget* Panel1;
    QWidget* Panel2;
    QPushButton* Button1; // "Изтрий запис"
    TDBGrid* DBGrid1;
    QLabel* DBText1;      // maximum
    QLabel* DBText2;      // time
    QLabel* DBText3;      // speed
    QPushButton* Button2; // "Избери ->"
    QSplitter* Splitter2;
    QChartView* DBChart1;
    QLineSeries* Series1;
    QLineEdit* edKomentar;
    QComboBox* DBLookupComboBox1; // specimen types
    QComboBox* DBLookupComboBox2; // objects
    QWidget* DBNavigator1;
    QToolButton* btnPrior;
    QToolButton* btnNext;
    QToolButton* btnDelete;
    QTableView* DBGrid2;

    TdmMain& m_dm;
    std::unique_ptr<TRunChart> m_chart;
    TFormats m_formats;
    QString m_title;
    QString m_vreme;
    std::optional<double> m_speed;
    bool m_loadingLookups = false;
    // The current run as the last pass read it within the present snapshot
    // of trMain: its extent, its curve (every sample, or reduced to the
    // screen's columns) and its values.
    QVariant m_readRun;
    QList<TCurveExtent> m_extents;
    std::optional<TColumnGrid> m_readGrid;
    TRunData::Pass m_pass;
};
