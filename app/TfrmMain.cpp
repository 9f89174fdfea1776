#include "app/TfrmMain.h"

#include "acquisition/THoldingRecorder.h"
#include "acquisition/TQueuedRecorder.h"
#include "app/TAboutBox.h"
#include "app/TClickLabel.h"
#include "app/TServerWriter.h"
#include "app/TSpeedAtRest.h"
#include "app/TStatusLine.h"
#include "app/TTraceStart.h"
#include "app/TfrmComPort.h"
#include "core/Exception.h"
#include "db/FbConnectError.h"
#include "db/TTransactionGuard.h"
#include "db/dmmainU.h"
#include "grouping/TfrmGroup.h"
#include "objects/TfrmObekt.h"
#include "review/TfrmViewer.h"
#include "trace/TfrmAudit.h"
#include "trace/TfrmDeletedRuns.h"
#include "widgets/TFormStorage.h"
#include "widgets/TMessages.h"
#include "widgets/TPageControl.h"

#include <QApplication>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <utility>

namespace {

// The design's "0.0", with the operator's decimal separator like every
// number that follows it.
QLabel* readoutLabel(const QString& name, QWidget* parent) {
    auto* l = new QLabel(TFormats().fixed(0.0, 1), parent);
    l->setObjectName(name);
    QFont f = l->font();
    f.setPointSize(28);
    f.setBold(true);
    l->setFont(f);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

QLabel* caption(const QString& name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

// A readout is named for assistive technology by its caption, or by its role
// where the page shows no caption.
void nameFor(QWidget* w, const QString& accessibleName) {
    w->setAccessibleName(accessibleName);
}

} // namespace

TfrmMain::TfrmMain(AppPaths paths, TdmMain& dm, const TClock& clock, QWidget* parent)
    : QWidget(parent), m_paths(std::move(paths)), m_dm(dm), m_clock(clock), m_charts(clock),
      m_log(m_paths.log()), m_runContext(QCoreApplication::applicationVersion()) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString());
    resize(640, 560);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(buildTopBar());

    PageControl1 = new TPageControl(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    // Only the measuring tab is shown: the machine polled is the persisted page.
    PageControl1->addPage(buildCbrPage(), QStringLiteral("MARSHALL-CBR"), false);
    PageControl1->addPage(buildPressPage(), QStringLiteral("ИЗМЕРВАНЕ"), true);
    PageControl1->addPage(buildSettingsPage(), QStringLiteral("Настройки"), false);
    PageControl1->setActivePage(TabSheet2);
    root->addWidget(PageControl1, 1);

    auto* bottom = new QFrame(this);
    bottom->setObjectName(QStringLiteral("Panel2"));
    bottom->setFrameShape(QFrame::StyledPanel);
    bottom->setFixedHeight(24);
    buildStatusLine(bottom);
    root->addWidget(bottom);

    connect(PageControl1, &QTabWidget::currentChanged, this, &TfrmMain::PageControl1Change);
    connect(lblCom, &TClickLabel::clicked, this, &TfrmMain::lblComClick);
    connect(Label1, &TClickLabel::clicked, this, &TfrmMain::lblComClick);
    connect(Label13, &TClickLabel::clicked, this, &TfrmMain::Label13Click);
    connect(Label14, &TClickLabel::clicked, this, &TfrmMain::Label14Click);
    connect(Label17, &TClickLabel::clicked, this, &TfrmMain::Label17Click);
    connect(lblAbout, &TClickLabel::clicked, this, &TfrmMain::lblAboutClick);
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this,
            &TfrmMain::lblAboutClick);
    connect(Label24, &TClickLabel::clicked, this, &TfrmMain::Label24Click);
    connect(Label25, &TClickLabel::clicked, this, &TfrmMain::Label25Click);
    connect(Button1, &QPushButton::clicked, this, &TfrmMain::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfrmMain::Button2Click);

    FormStorage1 = new TFormStorage(this);
    FormStorage1->StoredProps = {
        QStringLiteral("edMAddrB.Text"), QStringLiteral("edMAddrMM.Text"),
        QStringLiteral("edMmaxB.Text"),  QStringLiteral("edMmaxN.Text"),
        QStringLiteral("edMminB.Text"),  QStringLiteral("edMminN.Text"),
        QStringLiteral("edMstart.Text"), QStringLiteral("edPaddrB.Text"),
        QStringLiteral("edPmaxB.Text"),  QStringLiteral("edPmaxN.Text"),
        QStringLiteral("edPminB.Text"),  QStringLiteral("edPminN.Text"),
        QStringLiteral("edPstart.Text"), QStringLiteral("PageControl1.ActivePage"),
        QStringLiteral("lblCom.Caption")};
    connect(FormStorage1, &TFormStorage::failed, this,
            [this](const QString& text, const QString& cause) { SettingsSaveFailed(text, cause); });
    SystemPorts = &TfrmComPort::systemSerialPorts;

    FormCreate();
}

TfrmMain::~TfrmMain() {
    if (FormStorage1->Restored && !FormStorage1->Saved)
        FormStorage1->SaveFormPlacement(true);
    CloseAcquisition();
    m_log.Trouble = nullptr; // the bottom line goes before the log's last line
}

QWidget* TfrmMain::buildTopBar() {
    auto* bar = new QFrame(this);
    bar->setObjectName(QStringLiteral("Panel1"));
    bar->setFrameShape(QFrame::StyledPanel);
    auto* lay = new QHBoxLayout(bar);
    Label1 = new TClickLabel(QStringLiteral("Label1"), QStringLiteral("(COM) Порт"), bar);
    lblCom = new TClickLabel(QStringLiteral("lblCom"), QStringLiteral("0"), bar);
    QFont bold = lblCom->font();
    bold.setBold(true);
    lblCom->setFont(bold);
    nameFor(lblCom, QStringLiteral("(COM) Порт"));
    Label13 = new TClickLabel(QStringLiteral("Label13"), QStringLiteral("Групиране"), bar);
    Label14 = new TClickLabel(QStringLiteral("Label14"), QStringLiteral("Преглед"), bar);
    Label17 = new TClickLabel(QStringLiteral("Label17"), QStringLiteral("Обекти"), bar);
    // Short captions keep the bar within the window's width; the windows'
    // whole names are the tooltips and what a screen reader says.
    Label24 = new TClickLabel(QStringLiteral("Label24"), QStringLiteral("Изтрити"), bar);
    Label24->setToolTip(QStringLiteral("Изтрити измервания"));
    Label24->setAccessibleName(Label24->toolTip());
    Label25 = new TClickLabel(QStringLiteral("Label25"), QStringLiteral("Дневник"), bar);
    Label25->setToolTip(QStringLiteral("Дневник на промените"));
    Label25->setAccessibleName(Label25->toolTip());
    // Every caption whole within the window's 640 pixels.
    lay->setContentsMargins(6, lay->contentsMargins().top(), 6, lay->contentsMargins().bottom());
    lay->addWidget(Label1);
    lay->addWidget(lblCom);
    lay->addSpacing(16);
    for (TClickLabel* l : {Label13, Label14, Label17, Label24, Label25}) {
        if (l != Label13)
            lay->addSpacing(8);
        lay->addWidget(l);
    }
    lay->addStretch(1);
    // A "?" keeps the bar within the window's width; its name is read out and
    // shown as its tooltip.
    lblAbout = new TClickLabel(QStringLiteral("lblAbout"), QStringLiteral("?"), bar);
    lblAbout->setToolTip(QStringLiteral("За програмата (F1)"));
    lblAbout->setAccessibleName(QStringLiteral("За програмата"));
    lay->addWidget(lblAbout);
    return bar;
}

QWidget* TfrmMain::buildPressPage() {
    TabSheet2 = new QWidget(this);
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    auto* lay = new QVBoxLayout(TabSheet2);

    auto* readouts = new QGridLayout;
    Label11 = readoutLabel(QStringLiteral("Label11"), TabSheet2);
    Label18 = readoutLabel(QStringLiteral("Label18"), TabSheet2);
    Label12 = readoutLabel(QStringLiteral("Label12"), TabSheet2);
    const QString c19 = QStringLiteral("Стойност kN");
    const QString c20 = QStringLiteral("Средна скорост за измерването");
    const QString c21 = QStringLiteral("Текуща скорост");
    readouts->addWidget(caption(QStringLiteral("Label19"), c19, TabSheet2), 0, 0);
    readouts->addWidget(caption(QStringLiteral("Label20"), c20, TabSheet2), 0, 1);
    readouts->addWidget(caption(QStringLiteral("Label21"), c21, TabSheet2), 0, 2);
    readouts->addWidget(Label11, 1, 0);
    readouts->addWidget(Label18, 1, 1);
    readouts->addWidget(Label12, 1, 2);
    nameFor(Label11, c19);
    nameFor(Label18, c20);
    nameFor(Label12, c21);
    lay->addLayout(readouts);

    lay->addWidget(m_charts.chartPLQ, 1);

    auto* buttons = new QHBoxLayout;
    Button2 = new QPushButton(QStringLiteral("Нулиране 1"), TabSheet2);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button1 = new QPushButton(QStringLiteral("Нулиране 2"), TabSheet2);
    Button1->setObjectName(QStringLiteral("Button1"));
    buttons->addStretch(1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button1);
    lay->addLayout(buttons);
    return TabSheet2;
}

QWidget* TfrmMain::buildCbrPage() {
    TabSheet1 = new QWidget(this);
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    auto* lay = new QVBoxLayout(TabSheet1);
    auto* readouts = new QGridLayout;
    Label15 = readoutLabel(QStringLiteral("Label15"), TabSheet1);
    Label16 = readoutLabel(QStringLiteral("Label16"), TabSheet1);
    // Nobody could tell force from deformation without their captions.
    const QString c22 = QStringLiteral("Натоварване N");
    const QString c23 = QStringLiteral("Деформация mm");
    readouts->addWidget(caption(QStringLiteral("Label22"), c22, TabSheet1), 0, 0);
    readouts->addWidget(caption(QStringLiteral("Label23"), c23, TabSheet1), 0, 1);
    readouts->addWidget(Label15, 1, 0);
    readouts->addWidget(Label16, 1, 1);
    nameFor(Label15, c22);
    nameFor(Label16, c23);
    lay->addLayout(readouts);
    lay->addWidget(m_charts.chartCBR, 1);
    return TabSheet1;
}

QGroupBox* TfrmMain::buildSettingsGroup(const QString& name, const QString& title,
                                        const QList<QPair<QString, QList<QLineEdit**>>>& rows) {
    auto* box = new QGroupBox(title, TabSheet3);
    box->setObjectName(name);
    auto* form = new QFormLayout(box);
    for (const auto& [label, edits] : rows) {
        auto* line = new QHBoxLayout;
        for (QLineEdit** slot : edits) {
            *slot = new QLineEdit(box);
            (*slot)->setAccessibleName(label);
            line->addWidget(*slot);
        }
        form->addRow(label, line);
    }
    return box;
}

QWidget* TfrmMain::buildSettingsPage() {
    TabSheet3 = new QWidget(this);
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    auto* lay = new QHBoxLayout(TabSheet3);
    const QString start = QStringLiteral("старт налягане (BAR)");
    const QString min = QStringLiteral("мин");
    const QString max = QStringLiteral("макс");
    const QString addrLoad = QStringLiteral("Адрес контролер налягане");
    lay->addWidget(
        buildSettingsGroup(QStringLiteral("GroupBox1"), QStringLiteral("MARSHALL-CBR"),
                           {{start, {&edMstart}},
                            {min, {&edMminB, &edMminN}},
                            {max, {&edMmaxB, &edMmaxN}},
                            {addrLoad, {&edMAddrB}},
                            {QStringLiteral("Адрес контролер деформация"), {&edMAddrMM}}}));
    lay->addWidget(buildSettingsGroup(QStringLiteral("GroupBox2"), QStringLiteral("PLQ-4000"),
                                      {{start, {&edPstart}},
                                       {min, {&edPminB, &edPminN}},
                                       {max, {&edPmaxB, &edPmaxN}},
                                       {addrLoad, {&edPaddrB}}}));
    const QList<QPair<QLineEdit*, const char*>> names = {
        {edMstart, "edMstart"},   {edMminB, "edMminB"},   {edMminN, "edMminN"},
        {edMmaxB, "edMmaxB"},     {edMmaxN, "edMmaxN"},   {edMAddrB, "edMAddrB"},
        {edMAddrMM, "edMAddrMM"}, {edPstart, "edPstart"}, {edPminB, "edPminB"},
        {edPminN, "edPminN"},     {edPmaxB, "edPmaxB"},   {edPmaxN, "edPmaxN"},
        {edPaddrB, "edPaddrB"}};
    for (const auto& [edit, name] : names)
        edit->setObjectName(QLatin1String(name));
    return TabSheet3;
}

void TfrmMain::FormCreate() {
    ZeroOffset = 0.0;
    FormStorage1->IniFileName = m_paths.settings();
    SettingsPath = m_paths.settings();
    LogPath = m_paths.log();
    m_activePage.store(static_cast<int>(activePage()));
    setUpRecording();
    m_press = std::make_unique<TPressChannel>(*this, *m_recording, m_log, m_clock, SettingsPath,
                                              m_formats);
    m_press->setContextSource(&m_runContext);
    m_cbr = std::make_unique<TCbrChannel>(*this, *m_recording, m_formats, m_clock);
}

void TfrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // The edits, the page and the port come back before acquisition starts on them.
    FormStorage1->RestoreFormPlacement();
    FormShow();
}

void TfrmMain::FormShow() {
    InitTimeAxes();
    try {
        if (!m_databaseProblem.isEmpty())
            throw SettingsError(m_databaseProblem);
        m_dm.dbNUV.Open();
        traceAtStart();
    } catch (const EDatabaseError& e) {
        TMessages::showFailure(this, e);
        if (!serverAway(e))
            return;
    } catch (const Exception& e) {
        // The window stays usable; a port choice starts acquisition later, and
        // each run start then tries the connection again.
        TMessages::showFailure(this, e);
        return;
    }
    StartAcquisition();
}

// A server that is away at the start stops no test: the recording holds
// what arrives until the server answers, as it does when it goes away later.
bool TfrmMain::serverAway(const EDatabaseError& e) const {
    return m_database.server &&
           FbConnectError::classify(m_database.connection, e) == FbConnectError::Cause::Unreachable;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    m_closed = true;
    FormStorage1->SaveFormPlacement(false);
    CloseAcquisition();
    event->accept();
}

// The settings stay as they were on the disk. The log names the file and the
// cause; the operator is told by the message box, except on a close by a
// signal, where a box would keep the program alive: the bottom line and the
// log say it then.
void TfrmMain::SettingsSaveFailed(const QString& text, const QString& cause) {
    const SettingsError e(text, cause);
    try {
        m_log.WriteLog(e.message(), QStringLiteral("fileErr"));
    } catch (const Exception&) {
        // The log's own trouble is in the bottom line already.
    }
    m_statusLine->setNotice(QStringLiteral("settings"),
                            QStringLiteral("Настройките не могат да бъдат записани в %1: %2")
                                .arg(m_paths.settings(), cause));
    // The box says what it always said; the cause is in the log and the bottom line.
    if (!m_closingOnSignal)
        TMessages::showFailure(this, SettingsError(text));
}

void TfrmMain::CloseOnSignal() {
    if (std::exchange(m_closingOnSignal, true))
        return;
    // Hiding a modal window ends its loop without asking anything: a
    // question would keep the program alive past the signal.
    for (int guard = 0; guard < 16; ++guard) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == this)
            break;
        modal->hide();
    }
    close();
    // Queued as well: a signal that comes while a box shown at the start runs
    // its own loop, before the program's loop has begun, would otherwise be lost
    // and leave the program running without a window.
    QCoreApplication::quit();
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void TfrmMain::StartAcquisition() {
    // A port dialog that a signal closed returns into its restart after the
    // window has closed: nothing is started any more then.
    if (AcqThread || m_closed)
        return;
    AcqThread = new TtrComm(*this, lblCom->text(), m_activePage, ComPortMap(m_paths.ports()));
    AcqThread->start();
}

// Waits for the thread while serving its blocking calls, so a thread that is
// inside such a call runs to its end and nothing is touched after the window is gone.
void TfrmMain::StopAcquisition() {
    // Taken out first, so a nested call while this one waits finds nothing to stop.
    TtrComm* thread = std::exchange(AcqThread, nullptr);
    if (!thread)
        return;
    thread->requestInterruption();
    if (!thread->isFinished()) {
        QEventLoop loop;
        connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
        if (!thread->isFinished())
            loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    thread->wait();
    // A run open when acquisition stops has ended: it is sealed.
    for (const int run : {thread->PressRunId, thread->CbrRunId}) {
        if (run <= 0)
            continue;
        try {
            m_recording->EndRun(run);
        } catch (const std::exception& e) {
            logLine(Exception::of(e).message(), QStringLiteral("commErr"));
        }
    }
    delete thread;
}

void TfrmMain::logLine(const QString& text, const QString& tag) {
    try {
        m_log.WriteLog(text, tag);
    } catch (...) {
        // The log keeps the line until it can be written.
    }
}

void TfrmMain::traceAtStart() {
    if (!m_dm.traced()) {
        logLine(QStringLiteral("Записите за проследимост не се водят в тази база данни: %1")
                    .arg(m_dm.traceProblem()),
                QStringLiteral("dbErr"));
        return;
    }
    try {
        TPressSettings settings(SettingsPath, m_formats.decimalSeparator());
        if (const auto c = settings.current()) {
            const auto outcome = TTraceStart::compare(
                TTraceStart::lastConstants(m_dm.dbNUV, m_runContext.workstation()), *c,
                settings.defaulted(), SettingsPath);
            if (outcome.change)
                auditChange(*outcome.change);
            if (!outcome.notice.isEmpty()) {
                m_statusLine->setNotice(QStringLiteral("constants"), outcome.notice);
                logLine(outcome.notice, QStringLiteral("constErr"));
            }
        }
        TTraceStart::sealLeftOpen(m_dm.dbNUV, m_runContext.workstation(), m_clock.now());
    } catch (const Exception& e) {
        // The engine's refusal (a full disk) comes in its own words alone.
        logLine(e.text().isEmpty()
                    ? QStringLiteral("Записите за проследимост при старта не бяха проверени: ") +
                          e.cause()
                    : e.message(),
                QStringLiteral("dbErr"));
    }
}

void TfrmMain::auditChange(const TTrace::AuditEntry& entry) {
    if (!m_dm.dbNUV.Connected() || !m_dm.traced())
        return;
    try {
        TIBTransaction tr(m_dm.dbNUV);
        TIBQuery q(m_dm.dbNUV, tr);
        TTransactionGuard guard(tr);
        TTrace::audit(q, m_clock.now(), m_runContext.operatorName(), m_runContext.workstation(),
                      entry);
        guard.commit();
    } catch (const Exception& e) {
        logLine(QStringLiteral("Промяната не е записана в дневника на промените: %1 (%2)")
                    .arg(entry.action, e.message()),
                QStringLiteral("dbErr"));
    }
}

void TfrmMain::lblComClick() {
    StopAcquisition();
    std::unique_ptr<TfrmComPort> dialog;
    try {
        dialog = std::make_unique<TfrmComPort>(m_paths, ComPortMap(m_paths.ports()),
                                               SystemPorts ? SystemPorts() : QStringList(), this,
                                               lblCom->text());
    } catch (const Exception& e) {
        // No list of ports: acquisition stays stopped until a later choice succeeds.
        TMessages::showFailure(this, e);
        return;
    }
    const std::optional<QString> port =
        dialog->exec() == QDialog::Accepted ? dialog->chosenPort() : std::nullopt;
    if (port) {
        QString digits;
        for (QChar c : *port) {
            if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                digits.append(c);
        }
        lblCom->setText(digits);
    }
    dialog.reset();
    StartAcquisition();
}

// A secondary window is created on opening, shown modally and released on
// closing; one that cannot be created reports why.
template <typename Create> void TfrmMain::openModal(Create create) {
    try {
        create()->exec();
    } catch (const Exception& e) {
        TMessages::showFailure(this, e);
    }
}

void TfrmMain::Label13Click() {
    openModal([&] {
        auto w = std::make_unique<TfrmGroup>(m_paths, m_dm, m_formats, this);
        // A run that the acquisition still records is not deleted.
        w->isRecording = [this](int id) {
            return AcqThread && (m_recording->realId(AcqThread->PressRunId) == id ||
                                 m_recording->realId(AcqThread->CbrRunId) == id);
        };
        return w;
    });
}
void TfrmMain::Label14Click() {
    openModal([&] { return std::make_unique<TfrmViewer>(m_paths, m_dm, m_formats, this); });
}
void TfrmMain::Label17Click() {
    openModal([&] { return std::make_unique<TfrmObekt>(m_paths, m_dm, this); });
}
void TfrmMain::Label24Click() {
    if (traceWindowsAvailable())
        openModal(
            [&] { return std::make_unique<TfrmDeletedRuns>(m_paths, m_dm, m_formats, this); });
}
void TfrmMain::Label25Click() {
    if (traceWindowsAvailable())
        openModal([&] { return std::make_unique<TfrmAudit>(m_paths, m_dm, m_formats, this); });
}

// Not yet connected, the window connects and says itself what it lacks.
bool TfrmMain::traceWindowsAvailable() {
    if (!m_dm.dbNUV.Connected() || m_dm.traced())
        return true;
    QString text =
        QStringLiteral("Тази база данни не пази изтритите измервания и дневника на промените.");
    if (!m_dm.traceProblem().isEmpty())
        text += QStringLiteral("\n\n") + m_dm.traceProblem();
    TMessages::current().info(this, text);
    return false;
}

void TfrmMain::PageControl1Change() {
    m_activePage.store(static_cast<int>(activePage()));
}

TPage TfrmMain::activePage() const {
    QWidget* page = PageControl1->activePage();
    if (page == TabSheet1)
        return TPage::Cbr;
    if (page == TabSheet2)
        return TPage::Press;
    if (page == TabSheet3)
        return TPage::Settings;
    return TPage::None;
}

void TfrmMain::SetCaption(const QString& caption) {
    setWindowTitle(caption);
}

void TfrmMain::SetPressReadout(const QString& text) {
    Label11->setText(text);
}

void TfrmMain::ProcessPressSample(TAcqState& thread) {
    m_pressSample = &thread;
    m_press->ProcessPressSample(thread);
    m_pressSample = nullptr;
    showRestAsZeroSpeed(thread);
}

bool TfrmMain::pressAtRest(const TAcqState& thread) const {
    return thread.PressRunId <= 0 && TSpeedAtRest::atRest(thread.ValueHistory, m_formats);
}

// While no run is open and the load only wanders within its noise, the
// speed readouts show 0 instead of the noise's speed.
void TfrmMain::showRestAsZeroSpeed(const TAcqState& thread) {
    if (!pressAtRest(thread))
        return;
    const QString zero = m_formats.format00(0.0);
    Label12->setText(zero);
    Label18->setText(zero);
}

void TfrmMain::ProcessCbrSample(TAcqState& thread) {
    m_cbr->ProcessCbrSample(thread);
}

QLabel* TfrmMain::readout(TReadout r) const {
    switch (r) {
    case TReadout::Label11:
        return Label11;
    case TReadout::Label12:
        return Label12;
    case TReadout::Label18:
        return Label18;
    case TReadout::Label15:
        return Label15;
    case TReadout::Label16:
        return Label16;
    }
    return Label11;
}

QString TfrmMain::readoutText(TReadout r) const {
    return readout(r)->text();
}

void TfrmMain::setReadoutText(TReadout r, const QString& text) {
    readout(r)->setText(text);
}

void TfrmMain::InitTimeAxes() {
    m_charts.InitTimeAxes();
}

void TfrmMain::AddPressPoints(double Value, double Speed) {
    m_charts.AddPressPoints(Value, m_pressSample && pressAtRest(*m_pressSample) ? 0.0 : Speed);
}

void TfrmMain::AddCbrPoints(double Value, double Deformation) {
    m_charts.AddCbrPoints(Value, Deformation);
}

void TfrmMain::Button2Click() {
    const double before = std::exchange(ZeroOffset, 0.0);
    auditChange({TTrace::kZeroing, QString::number(before, 'g', 15), QStringLiteral("0"),
                 QString()});
}

// The load shown already carries the offset in force: the new offset takes
// that load away from it, so an unloaded press reads about 0 from the next
// sample on, and a second press with no load change keeps it at 0.
void TfrmMain::Button1Click() {
    const QString shown = Label11->text();
    const auto value = m_formats.controllerNumber(shown);
    if (!value) {
        TMessages::showFailure(
            this, Exception(QStringLiteral("'%1' is not a valid floating point value").arg(shown)));
        return;
    }
    const double before = ZeroOffset;
    ZeroOffset -= *value;
    auditChange({TTrace::kZeroing, QString::number(before, 'g', 15),
                 QString::number(ZeroOffset, 'g', 15), QString()});
}

void TfrmMain::buildStatusLine(QWidget* bottom) {
    auto* lay = new QHBoxLayout(bottom);
    lay->setContentsMargins(0, 0, 0, 0);
    m_statusLine = new TStatusLine(bottom);
    lay->addWidget(m_statusLine, 1);
    m_log.Trouble = [this](const QString& problem) {
        m_statusLine->setNotice(QStringLiteral("log"), problem);
    };
    // Which database this workstation records into: the file here or a server.
    m_databaseLabel = new QLabel(bottom);
    m_databaseLabel->setObjectName(QStringLiteral("lblDatabase"));
    lay->addWidget(m_databaseLabel);
}

// Recording goes through a recorder that holds what the database refuses
// and writes it later; a refused write leaves nothing of itself in trThread.
// A database on a server is written from a thread of its own, so that the
// network never holds up the polling.
void TfrmMain::setUpRecording() {
    try {
        m_database = TDatabaseSetting::read(m_paths);
    } catch (const Exception& e) {
        m_databaseProblem = e.message();
        m_database = TDatabaseSetting::forConnection(m_paths.database(), m_paths.dir);
    }
    m_dm.dbNUV.DatabaseName = m_database.connection;
    m_dm.dbNUV.UserName = m_database.user;
    m_dm.dbNUV.Password = m_database.password;
    m_dm.setContextSource(&m_runContext);
    m_databaseLabel->setText(QStringLiteral("База данни: %1").arg(m_database.display()));
    if (m_database.server) {
        m_recording = std::make_unique<TQueuedRecorder>(
            [database = m_database, log = m_paths.log(), context = &m_runContext] {
                return std::make_unique<TServerWriter>(database, log, context);
            },
            m_clock);
        m_recording->setObserver(m_statusLine);
        return;
    }
    auto holding = std::make_unique<THoldingRecorder>(m_dm, m_log, m_clock);
    holding->AfterFailure = [this] {
        if (m_dm.trThread.InTransaction())
            m_dm.trThread.Rollback();
    };
    holding->BeforeRetry = [this] {
        if (!m_dm.dbNUV.Connected())
            m_dm.dbNUV.Open();
    };
    holding->setObserver(m_statusLine);
    m_recording = std::move(holding);
}

void TfrmMain::AcquisitionStatus(const TAcqStatus& status) {
    if (!AcqThread)
        return; // a report from a thread that is being stopped
    m_statusLine->setAcquisition(status);
    if (status.kind == TAcqStatus::Kind::PortLost)
        SetCaption(QStringLiteral("noravel ") + status.text());
}

bool TfrmMain::CloseAcquisition() {
    StopAcquisition();
    m_statusLine->clearAcquisition();
    return m_recording->finish(THoldingRecorder::kFinishBudgetMs);
}

void TfrmMain::lblAboutClick() {
    TAboutBox::show(this, m_paths, m_database.connection);
}

void TfrmMain::ShowNotice(const QString& text) {
    m_databaseLabel->setText(text);
    m_databaseLabel->setToolTip(text);
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("prjNUV"), text,
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("NoticeBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}
