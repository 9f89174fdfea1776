#include "review/TfrmViewer.h"

#include "core/Exception.h"
#include "core/TScopedFlag.h"
#include "db/TQueryModel.h"
#include "db/TRunData.h"
#include "db/TRunReader.h"
#include "db/TTrace.h"
#include "db/dmmainU.h"
#include "review/TChartPrintPreview.h"
#include "review/TDateFilterEdit.h"
#include "review/TViewerReports.h"
#include "widgets/ChoiceList.h"
#include "widgets/TChartTitle.h"
#include "widgets/TDBGrid.h"
#include "widgets/TMessages.h"
#include "widgets/TRunChart.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSplitter>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

const QString TfrmViewer::kRuns =
    QStringLiteral("select * from mes where mes.mes_group_id = :mes_group_id");
const QString TfrmViewer::kLoad =
    QStringLiteral("select * from mes_de where mes_de.mes_id = :mes_id\nand dev_id < 3");
const QString TfrmViewer::kDeformation =
    QStringLiteral("select * from mes_de where mes_de.mes_id = :mes_id\nand dev_id = 3");
const QString TfrmViewer::kAggregates = QStringLiteral(
    "select max(mes_de.mes_value) as max_value, min(mes_de.mes_value) as min_value,\n"
    "max(mes_de.date_effect) as stopa,min(mes_de.date_effect) as starta\n"
    "from mes_de where mes_de.mes_id = :mes_id\n"
    "and mes_de.dev_id < 3");
const QString TfrmViewer::kTimeOfMax =
    QStringLiteral("select min(mes_de.date_effect) from mes_de\n"
                   "where\n"
                   "mes_de.mes_id = :mes_id\n"
                   "\n"
                   "and mes_de.mes_value = (select max(mes_de.mes_value) from mes_de where "
                   "mes_de.mes_id = :mes_id "
                   "and mes_de.dev_id < 3)\n"
                   "and mes_de.dev_id < 3");

namespace {

QLabel* above(const QString& text, QWidget* control, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setBuddy(control);
    control->setAccessibleName(text);
    return l;
}

std::optional<int> currentId(const TIBQuery& q, const QString& field) {
    if (!q.Active() || q.RecordCount() == 0)
        return std::nullopt;
    return q.FieldByName(field).toInt();
}

} // namespace

TfrmViewer::TfrmViewer(const AppPaths& paths, TdmMain& dm, TFormats formats, QWidget* parent)
    : TfrmTRoot(paths, parent), qryRes(dm.dbNUV, dm.trMain), qryobekt(dm.dbNUV, dm.trMain),
      qryMes(dm.dbNUV, dm.trMain), qryRun(dm.dbNUV, dm.trMain), m_dm(dm),
      m_formats(std::move(formats)), m_titles(m_formats) {
    setObjectName(QStringLiteral("frmViewer"));
    setWindowTitle(QStringLiteral("Преглед"));
    qryobekt.setSQL(QStringLiteral("select * from obekt"));
    qryMes.setSQL(kRuns);
    qryRes.AfterScroll = [this] { qryResAfterScroll(); };
    qryMes.AfterScroll = [this] { qryMesAfterScroll(); };
    showPreview = [](TfrmViewer& v) {
        TChartPrintPreview preview(v.DBChart1->chart(), &v);
        preview.exec();
    };

    reports = new TViewerReports(
        paths, dm.dbNUV, [this] { return currentId(qryRes, QStringLiteral("MES_GROUP_ID")); },
        [this] { return currentId(qryMes, QStringLiteral("MES_ID")); }, this);

    auto* lay = new QVBoxLayout(this);
    lay->addWidget(buildFilterBar());
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    auto* seriesModel = new TQueryModel(
        qryRes,
        {{QStringLiteral("MES_GROUP_ID"), QStringLiteral("Номер")},
         {QStringLiteral("DATE_EFFECT"), QStringLiteral("Дата"), TGridColumn::Kind::DateTime},
         {QStringLiteral("BROI"), QStringLiteral("Брой измервания")},
         {QStringLiteral("KOMENTAR"), QStringLiteral("Коментар")},
         {QStringLiteral("IME"), QStringLiteral("ПРОБА")}},
        m_formats, this);
    DBGridEh1 = new TDBGrid(QStringLiteral("DBGridEh1"), seriesModel, QString(), Splitter1);
    DBGridEh1->setAccessibleName(QStringLiteral("Серии"));
    DBGridEh1->fitColumns(3); // the comment
    Splitter1->addWidget(DBGridEh1);
    Splitter1->addWidget(buildRight());
    Splitter1->setStretchFactor(1, 1);
    lay->addWidget(Splitter1, 1);
    // Below this the lists' columns, the buttons and the chart's labels are
    // cut; a placement left by a smaller window grows to it.
    setMinimumSize(1060, 640);
    resize(1180, 700);
    Splitter1->setSizes({540, 640});

    connect(Button1, &QPushButton::clicked, this, &TfrmViewer::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfrmViewer::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TfrmViewer::Button3Click);
    connect(DBGridEh1, &QTableView::doubleClicked, this, &TfrmViewer::DBGridEh1DblClick);
    connect(DBGridEh2, &QTableView::doubleClicked, this, &TfrmViewer::DBGridEh1DblClick);
    FormCreate();
}

TfrmViewer::~TfrmViewer() = default;

QWidget* TfrmViewer::buildFilterBar() {
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("Panel1"));
    auto* g = new QGridLayout(bar);
    g->setContentsMargins(0, 0, 0, 0);

    edData = new TDateFilterEdit(m_formats.locale(), m_formats.shortDateFormat(), bar);
    edData->setObjectName(QStringLiteral("edData"));
    edNomer = new QLineEdit(bar);
    edNomer->setObjectName(QStringLiteral("edNomer"));
    edNomer->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("-?[0-9]{0,18}")), edNomer));
    cbObekt = new QComboBox(bar);
    cbObekt->setObjectName(QStringLiteral("cbObekt"));
    cbObekt->setMinimumWidth(160);
    edKomentar = new QLineEdit(bar);
    edKomentar->setObjectName(QStringLiteral("edKomentar"));
    edKomentar->setMaxLength(200);
    Button1 = new QPushButton(QStringLiteral("Покажи"), bar);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Изчисти"), bar);
    Button2->setObjectName(QStringLiteral("Button2"));

    g->addWidget(above(QStringLiteral("Дата"), edData, bar), 0, 0);
    edData->lineEdit()->setAccessibleName(edData->accessibleName());
    g->addWidget(above(QStringLiteral("Номер"), edNomer, bar), 0, 1);
    g->addWidget(above(QStringLiteral("Обект"), cbObekt, bar), 0, 2);
    g->addWidget(above(QStringLiteral("Коментар"), edKomentar, bar), 0, 3);
    g->addWidget(edData, 1, 0);
    g->addWidget(edNomer, 1, 1);
    g->addWidget(cbObekt, 1, 2);
    g->addWidget(edKomentar, 1, 3);
    g->addWidget(Button1, 1, 4);
    g->addWidget(Button2, 1, 5);
    g->setColumnStretch(3, 1); // the comment widens with the window

    connect(edData, &TDateFilterEdit::dateChanged, this, [this](const std::optional<QDate>& d) {
        if (!m_filling)
            mdFilter.data = d;
    });
    connect(edNomer, &QLineEdit::textEdited, this, [this](const QString& t) {
        bool ok = false;
        const qint64 n = t.toLongLong(&ok);
        mdFilter.nomer = ok ? std::optional<qint64>(n) : std::nullopt;
    });
    connect(cbObekt, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_filling && i >= 0)
            mdFilter.obekt_id = cbObekt->itemData(i).toInt();
    });
    connect(edKomentar, &QLineEdit::textEdited, this,
            [this](const QString& t) { mdFilter.text = t; });
    return bar;
}

QWidget* TfrmViewer::buildRight() {
    auto* panel = new QWidget(Splitter1);
    panel->setObjectName(QStringLiteral("Panel2"));
    auto* lay = new QVBoxLayout(panel);
    lay->setContentsMargins(0, 0, 0, 0);
    DBGridEh2 =
        new TDBGrid(QStringLiteral("DBGridEh2"), TRunData::runListModel(qryMes, m_formats, panel),
                    QStringLiteral("Тест"), panel);
    DBGridEh2->setAccessibleName(QStringLiteral("Тест"));
    DBGridEh2->setMaximumHeight(180);
    DBGridEh2->fitColumns(2); // the name
    lay->addWidget(DBGridEh2);
    Button3 = new QPushButton(QStringLiteral("Печат"), panel);
    Button3->setObjectName(QStringLiteral("Button3"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button3);
    reports->addButtons(*buttons, panel);
    // Who recorded the run and its seal, beside the buttons so the chart keeps
    // its height; the whole line is in the tooltip when it is cut.
    lblContext = new QLabel(panel);
    lblContext->setObjectName(QStringLiteral("lblContext"));
    lblContext->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblContext->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    buttons->addWidget(lblContext, 1);
    lay->addLayout(buttons);

    // The sample times along the axis; their date, the same for a whole run,
    // stands once as the axis title, so that the labels stay readable.
    m_chart = std::make_unique<TRunChart>(QStringLiteral("DBChart1"), m_formats.longTimeFormat());
    m_chart->timeAxis()->setTickCount(5);
    Series1 = m_chart->addCurve(QPen(Qt::black, 1), Qt::AlignLeft, QStringLiteral("kN"));
    Series2 =
        m_chart->addCurve(QPen(Qt::red, 1, Qt::DashLine), Qt::AlignRight, QStringLiteral("mm"));
    DBChart1 = m_chart->view();
    DBChart1->setParent(panel);
    lay->addWidget(DBChart1, 1);
    return panel;
}

void TfrmViewer::FormCreate() {
    if (!m_dm.dbNUV.Connected())
        m_dm.dbNUV.Open();
    qryobekt.Open();
    fillObjects();
    setTitle(QString());
}

QString TfrmViewer::devName(int row) const {
    return TRunData::devName(qryMes.Value(row, qryMes.FieldIndex(QStringLiteral("DEV_ID"))));
}

void TfrmViewer::fillObjects() {
    const TScopedFlag filling(m_filling);
    fillChoices(*cbObekt, qryobekt.Choices(QStringLiteral("OBEKT_ID"), QStringLiteral("IME")),
                mdFilter.obekt_id);
}

void TfrmViewer::closeDetails() {
    qryRun.Close();
    forgetRun();
}

void TfrmViewer::closeSeriesList() {
    closeDetails();
    qryMes.Close();
    qryRes.Close();
    reloadCurves();
    setTitle(QString());
}

void TfrmViewer::Button1Click() {
    if (mdFilter.isEmpty()) {
        TMessages::current().info(this, QStringLiteral("Няма попълнен филтър!!!"));
        closeSeriesList();
        return;
    }
    try {
        const QString sql = mdFilter.statement();
        closeDetails();
        for (TIBQuery* q : {&qryMes, &qryobekt, &qryRes})
            q->Close();
        m_dm.trMain.Restart();
        qryRes.setSQL(sql);
        qryRes.setParams(mdFilter.values());
        qryRes.Open();
        if (qryRes.RecordCount() > 0) {
            qryMes.ParamByName(QStringLiteral("mes_group_id"),
                               qryRes.FieldByName(QStringLiteral("MES_GROUP_ID")));
            qryMes.Open();
        }
        qryobekt.Open();
        fillObjects();
        if (qryMes.Active() && qryMes.RecordCount() > 0) {
            qryMes.MoveBy(1);
            qryMes.MoveBy(-1);
        } else {
            reloadCurves();
            setTitle(QString());
        }
    } catch (const std::exception&) {
        // The filter's failures are not shown; a series list that did not open leaves nothing open.
        if (!qryRes.Active()) {
            closeSeriesList();
            qryobekt.Close();
            fillObjects();
        }
    }
}

void TfrmViewer::Button2Click() {
    mdFilter = TReviewFilter();
    {
        const TScopedFlag filling(m_filling);
        edData->clear();
        edNomer->clear();
        cbObekt->setCurrentIndex(-1);
        edKomentar->clear();
    }
    closeSeriesList();
}

void TfrmViewer::DBGridEh1DblClick() {
    if (!qryRes.Active() || qryRes.RecordCount() == 0)
        return;
    TMessages::current().info(
        this, QString::number(qryRes.FieldByName(QStringLiteral("MES_GROUP_ID")).toLongLong()));
}

// A new current series: its runs, and the first of them current.
void TfrmViewer::qryResAfterScroll() {
    closeDetails();
    qryMes.Close();
    if (!qryRes.Active() || qryRes.RecordCount() == 0) {
        reloadCurves();
        setTitle(QString());
        lblContext->clear();
        return;
    }
    qryMes.ParamByName(QStringLiteral("mes_group_id"),
                       qryRes.FieldByName(QStringLiteral("MES_GROUP_ID")));
    qryMes.Open();
    if (qryMes.RecordCount() == 0) {
        reloadCurves();
        setTitle(QString());
        return;
    }
    qryMes.MoveTo(0);
}

// A new current run: its samples are read in one pass for its curves and
// its values, the curves drawn, the titles set.
void TfrmViewer::qryMesAfterScroll() {
    const QVariant id = runId();
    readRun();
    reloadCurves();
    setTitle(m_titles.basic(series(), id, calc()));
    if (const auto typed = m_titles.typed(series(), id, calc()))
        setTitle(*typed);
    showContext();
}

// Within one snapshot of trMain a run's samples cannot change: moving away
// and back, as "Покажи" does, reads it once.
void TfrmViewer::readRun() {
    const QVariant id = runId();
    if (id.isValid() && m_readRun == id)
        return;
    forgetRun();
    if (!id.isValid())
        return;
    const auto reader =
        std::make_shared<TRunReader>(qryRun, id, TRunData::Curves::LoadAndDeformation);
    m_extents = reader->extents();
    m_chart->setRanges(m_extents);
    const TColumnGrid grid = m_chart->screenGrid();
    const bool reduce = std::any_of(m_extents.begin(), m_extents.end(), [&](const TCurveExtent& e) {
        return e.count > grid.columns();
    });
    if (reduce)
        m_readGrid = grid;
    m_pass = reader->read(m_readGrid);
    m_readRun = id;
    if (reduce)
        m_chart->setSource([reader](const TColumnGrid& g) { return reader->curves(g); });
}

void TfrmViewer::forgetRun() {
    m_readRun = QVariant();
    m_extents.clear();
    m_readGrid.reset();
    m_pass = TRunData::Pass();
    m_chart->setSource(nullptr);
}

// Who recorded the current run, with what, and its seal.
void TfrmViewer::showContext() {
    lblContext->clear();
    const QVariant id = runId();
    if (!id.isValid() || !m_dm.traced())
        return;
    try {
        TIBQuery q(m_dm.dbNUV, m_dm.trMain);
        if (const auto c = TTrace::readContext(q, id.toInt()))
            lblContext->setText(TTrace::contextLine(*c));
        else
            lblContext->setText(QStringLiteral("Записано без данни за изпитващия и константите"));
    } catch (const Exception& e) {
        lblContext->setText(e.text());
    }
    lblContext->setToolTip(lblContext->text());
}

void TfrmViewer::Button3Click() {
    reloadCurves();
    setTitle(m_titles.basic(series(), runId(), calc()));
    if (const auto typed = m_titles.typed(series(), runId(), calc()))
        setTitle(*typed);
    try {
        showPreview(*this);
    } catch (const std::exception& e) {
        TMessages::showFailure(this, e);
    }
    DBChart1->update();
}

// The curves of the last pass: every sample, or reduced to the screen.
void TfrmViewer::reloadCurves() {
    qint64 first = -1;
    if (m_readGrid) {
        first = m_chart->setRanges(m_extents);
        m_chart->setReduced(m_pass.curves, *m_readGrid);
    } else {
        first = m_chart->setPoints(m_pass.curves);
    }
    QString line;
    if (first >= 0)
        line = m_formats.locale().toString(QDateTime::fromMSecsSinceEpoch(first).date(),
                                           m_formats.shortDateFormat());
    else if (runId().isValid())
        line = TRunChart::kNoSamples;
    m_chart->timeAxis()->setTitleText(line);
}

void TfrmViewer::setTitle(const QString& title) {
    m_title = title;
    DBChart1->chart()->setTitle(chartTitleHtml(title));
}

TSeriesInfo TfrmViewer::series() const {
    if (!qryRes.Active() || qryRes.RecordCount() == 0)
        return {};
    return {qryRes.FieldByName(QStringLiteral("MES_GROUP_ID")),
            qryRes.FieldByName(QStringLiteral("DATE_EFFECT")),
            qryRes.FieldByName(QStringLiteral("KOMENTAR")),
            qryRes.FieldByName(QStringLiteral("MULTI"))};
}

QVariant TfrmViewer::runId() const {
    if (!qryMes.Active() || qryMes.RecordCount() == 0)
        return {};
    return qryMes.FieldByName(QStringLiteral("MES_ID"));
}

TRunSummary TfrmViewer::calc() const {
    return TRunSummary(m_pass.maxValue, m_pass.startA, m_pass.timeOfMax);
}
