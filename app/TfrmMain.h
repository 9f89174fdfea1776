#pragma once

#include "acquisition/TCbrChannel.h"
#include "acquisition/TLiveView.h"
#include "acquisition/TPage.h"
#include "acquisition/TPressChannel.h"
#include "acquisition/TRecording.h"
#include "acquisition/trCOMMU.h"
#include "app/TLiveCharts.h"
#include "core/AppPaths.h"
#include "core/TDatabaseSetting.h"
#include "core/TEventLog.h"
#include "core/TRunContext.h"
#include "db/TTrace.h"

#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

class EDatabaseError;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TClickLabel;
class TdmMain;
class TFormStorage;
class TPageControl;
class TStatusLine;

// The program's main window: the top bar, the measuring pages with their
// readouts and charts, the hidden settings page, and the acquisition thread.
class TfrmMain : public QWidget, public TtrCommHost, public TLiveView {
    Q_OBJECT
public:
    TfrmMain(AppPaths paths, TdmMain& dm, const TClock& clock = TClock::program(),
             QWidget* parent = nullptr);
    ~TfrmMain() override;

    void StartAcquisition();
    void StopAcquisition();
    // A termination signal: the open modal windows go without their questions,
    // then the close button's path (the current exchange finishes, the
    // settings are saved) and the program ends.
    void CloseOnSignal();
    bool acquisitionRunning() const { return AcqThread != nullptr; }

    // TtrCommHost
    QObject* uiContext() override { return this; }
    void SetCaption(const QString& caption) override;
    void SetPressReadout(const QString& text) override;
    void ProcessPressSample(TAcqState& thread) override;
    void ProcessCbrSample(TAcqState& thread) override;
    void AcquisitionStatus(const TAcqStatus& status) override;

    // The orderly end of acquisition: the thread finishes its exchange and
    // ends, then what the database refused so far is tried once more.
    // False when samples are still held.
    bool CloseAcquisition();
    TRecording& recorder() { return *m_recording; }

    TPage activePage() const;

    // TLiveView
    QString readoutText(TReadout r) const override;
    void setReadoutText(TReadout r, const QString& text) override;
    double zeroOffset() const override { return ZeroOffset; }
    void AddPressPoints(double Value, double Speed) override;
    void AddCbrPoints(double Value, double Deformation) override;
    void InitTimeAxes();
    TLiveCharts& charts() { return m_charts; }

    void Button1Click(); // "Нулиране 2"
    void Button2Click(); // "Нулиране 1"

    const AppPaths& paths() const { return m_paths; }
    // A word that needs no answer (where a new database was made): on the
    // bottom line in place of the database's name, and in a box that stops nothing.
    void ShowNotice(const QString& text);
    TdmMain& dataModule() const { return m_dm; }
    double ZeroOffset = 0.0;

    TFormStorage* FormStorage1 = nullptr;
    // The machine's serial devices for the port dialog (tests give their own).
    std::function<QStringList()> SystemPorts;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void SettingsSaveFailed(const QString& text, const QString& cause);
    bool serverAway(const EDatabaseError& e) const;
    void lblComClick();
    void Label13Click();
    void Label14Click();
    void Label17Click();
    void lblAboutClick();
    void Label24Click();
    void Label25Click();
    // The trace windows open only over a database that keeps the trace records.
    bool traceWindowsAvailable();
    template <typename Create> void openModal(Create create);
    void PageControl1Change();

    QWidget* buildTopBar();
    QWidget* buildPressPage();
    QWidget* buildCbrPage();
    QWidget* buildSettingsPage();
    QGroupBox* buildSettingsGroup(const QString& name, const QString& title,
                                  const QList<QPair<QString, QList<QLineEdit**>>>& rows);

    QLabel* readout(TReadout r) const;
    void buildStatusLine(QWidget* bottom);
    void setUpRecording();
    // The trace records at the start: constants changed since the last
    // start, runs left without their seal.
    void traceAtStart();
    // One entry of the audit trail; a trail that cannot be written is logged.
    void auditChange(const TTrace::AuditEntry& entry);
    void logLine(const QString& text, const QString& tag);
    bool pressAtRest(const TAcqState& thread) const;
    void showRestAsZeroSpeed(const TAcqState& thread);

    AppPaths m_paths;
    TdmMain& m_dm;
    const TClock& m_clock;
    TFormats m_formats;
    TLiveCharts m_charts;
    TFileLog m_log;
    TRunContextSource m_runContext;
    std::unique_ptr<TRecording> m_recording;
    TDatabaseSetting m_database;
    QString m_databaseProblem; // the settings name a database that cannot be used
    TStatusLine* m_statusLine = nullptr;
    QLabel* m_databaseLabel = nullptr;
    std::unique_ptr<TPressChannel> m_press;
    std::unique_ptr<TCbrChannel> m_cbr;
    QString SettingsPath;
    QString LogPath;
    TtrComm* AcqThread = nullptr;
    std::atomic<int> m_activePage{static_cast<int>(TPage::Press)};
    bool m_shown = false;
    bool m_closingOnSignal = false;
    bool m_closed = false;
    const TAcqState* m_pressSample = nullptr; // the press sample being processed

    // Components, named as in the window's design.
    TClickLabel* Label1 = nullptr;
    TClickLabel* lblCom = nullptr;
    TClickLabel* Label13 = nullptr;
    TClickLabel* Label14 = nullptr;
    TClickLabel* Label17 = nullptr;
    TClickLabel* lblAbout = nullptr;
    TClickLabel* Label24 = nullptr; // "Изтрити измервания"
    TClickLabel* Label25 = nullptr; // "Дневник на промените"
    TPageControl* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label18 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* Label16 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QLineEdit *edMstart, *edMminB, *edMminN, *edMmaxB, *edMmaxN, *edMAddrB, *edMAddrMM;
    QLineEdit *edPstart, *edPminB, *edPminN, *edPmaxB, *edPmaxN, *edPaddrB;
};
