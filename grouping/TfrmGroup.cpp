#include "grouping/TfrmGroup.h"

#include "core/Exception.h"
#include "core/TClock.h"
#include "core/TScopedFlag.h"
#include "db/TQueryModel.h"
#include "db/TRunData.h"
#include "db/TRunReader.h"
#include "db/TTrace.h"
#include "db/TTransactionGuard.h"
#include "db/dmmainU.h"
#include "results/TRunSummary.h"
#include "results/TSeriesSave.h"
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
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

const QString TfrmGroup::kRunList =
    QStringLiteral("select * from mes where mes.mes_group_id is null order by mes.mes_id");
const QString TfrmGroup::kSamples =
    QStringLiteral("select * from mes_de where mes_de.mes_id = :mes_id");
const QString TfrmGroup::kAggregates = QStringLiteral(
    "select max(mes_de.mes_value) as max_value, min(mes_de.mes_value) as min_value,\n"
    "max(mes_de.date_effect) as stopa,min(mes_de.date_effect) as starta\n"
    "from mes_de where mes_de.mes_id = :mes_id");
const QString TfrmGroup::kTimeOfMax = QStringLiteral(
    "select min(mes_de.date_effect) from mes_de\n"
    "where\n"
    "mes_de.mes_id = :mes_id\n"
    "\n"
    "and mes_de.mes_value = (select max(mes_de.mes_value) from mes_de where mes_de.mes_id = "
    ":mes_id)");

namespace {

const QString kAskSave = QStringLiteral("Желаете ли да запомните избраните записи ?");

// Ids in the selection grid are whole numbers of any size.
class TIdDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* e = new QLineEdit(parent);
        e->setValidator(new QIntValidator(e));
        return e;
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        bool ok = false;
        const int v = static_cast<QLineEdit*>(editor)->text().toInt(&ok);
        model->setData(index, ok ? QVariant(v) : QVariant());
    }
};

// Dates in the operator's format.
class TDateDelegate : public QStyledItemDelegate {
public:
    TDateDelegate(TFormats f, QObject* parent) : QStyledItemDelegate(parent), m_f(std::move(f)) {}
    QString displayText(const QVariant& value, const QLocale&) const override {
        return value.typeId() == QMetaType::QDateTime ? m_f.dateTimeText(value.toDateTime())
                                                      : value.toString();
    }

private:
    TFormats m_f;
};

QLabel* caption(const QString& text, QWidget* parent) {
    return new QLabel(text, parent);
}

} // namespace

TfrmGroup::TfrmGroup(const AppPaths& paths, TdmMain& dm, TFormats formats, QWidget* parent)
    : TfrmTRoot(paths, parent), qryMes(dm.dbNUV, dm.trMain), qryRun(dm.dbNUV, dm.trMain),
      qryMulti(dm.dbNUV, dm.trMain), qryobekt(dm.dbNUV, dm.trMain), m_dm(dm),
      m_formats(std::move(formats)) {
    setObjectName(QStringLiteral("frmGroup"));
    setWindowTitle(QStringLiteral("Групиране на графики"));
    qryMulti.setSQL(QStringLiteral("select * from multiplier"));
    qryobekt.setSQL(QStringLiteral("select * from obekt"));
    qryMes.AfterScroll = [this] { qryMesAfterScroll(); };
    buildControls();
    FormStorage1->StoredProps = {QStringLiteral("Panel1.Width"), QStringLiteral("DBChart1.Height")};
    DBGrid1->setFocus(); // the window opens on the run list, not on a button
    FormCreate();
}

TfrmGroup::~TfrmGroup() = default;

QString TfrmGroup::devName(int row) const {
    return TRunData::devName(qryMes.Value(row, qryMes.FieldIndex(QStringLiteral("DEV_ID"))));
}

void TfrmGroup::buildControls() {
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(true);
    Splitter1->addWidget(buildLeft());
    Splitter1->addWidget(buildRight());
    Splitter1->setStretchFactor(1, 1);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(Splitter1);
    // Every text of the window is readable at this size, which fits a
    // 1280x800 screen with the window manager's frame.
    // Below this the run list's times and the chart's labels are cut; a
    // placement left by a smaller window grows to it.
    setMinimumSize(1060, 640);
    resize(1100, 700);
    Splitter1->setSizes({520, 580});
}

QWidget* TfrmGroup::buildLeft() {
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto* top = new QWidget(Panel1);
    auto* topLay = new QVBoxLayout(top);
    topLay->setContentsMargins(0, 0, 0, 0);

    Button1 = new QPushButton(QStringLiteral("Изтрий запис"), top);
    Button1->setObjectName(QStringLiteral("Button1"));
    // Enter never presses a button of this window: one of them deletes.
    Button1->setAutoDefault(false);
    topLay->addWidget(Button1);

    DBGrid1 = new TDBGrid(QStringLiteral("DBGrid1"), TRunData::runListModel(qryMes, m_formats, top),
                          QStringLiteral("Тест"), top);
    DBGrid1->setAccessibleName(QStringLiteral("Тест"));
    DBGrid1->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents); // "Старт"
    topLay->addWidget(DBGrid1, 1);

    auto* strip = new QGridLayout;
    const auto value = [&](const char* name, const QString& label) {
        auto* v = new QLabel(top);
        v->setObjectName(QLatin1String(name));
        v->setAccessibleName(label);
        v->setFrameShape(QFrame::StyledPanel);
        v->setMinimumWidth(60);
        return v;
    };
    DBText1 = value("DBText1", QStringLiteral("Макс. Стойност"));
    DBText2 = value("DBText2", QStringLiteral("Време (sec)"));
    DBText3 = value("DBText3", QStringLiteral("Скорост(kN/s)"));
    strip->addWidget(caption(QStringLiteral("Макс. Стойност"), top), 0, 0);
    strip->addWidget(caption(QStringLiteral("Време (sec)"), top), 0, 1);
    strip->addWidget(caption(QStringLiteral("Скорост(kN/s)"), top), 0, 2);
    strip->addWidget(DBText1, 1, 0);
    strip->addWidget(DBText2, 1, 1);
    strip->addWidget(DBText3, 1, 2);
    Button2 = new QPushButton(QStringLiteral("Избери ->"), top);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setAutoDefault(false);
    strip->addWidget(Button2, 1, 3);
    topLay->addLayout(strip);

    m_chart = std::make_unique<TRunChart>(QStringLiteral("DBChart1"), QStringLiteral("HH:mm:ss"));
    Series1 = m_chart->addCurve(QPen(Qt::black, 1), Qt::AlignLeft, QString());
    DBChart1 = m_chart->view();

    Splitter2 = new QSplitter(Qt::Vertical, Panel1);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->addWidget(top);
    Splitter2->addWidget(DBChart1);
    Splitter2->setSizes({300, 300});
    // The chart keeps the height the operator gave it; the run list takes
    // what the window gains or loses (a window manager's frame, a resize).
    Splitter2->setStretchFactor(0, 1);
    Splitter2->setStretchFactor(1, 0);
    auto* lay = new QVBoxLayout(Panel1);
    lay->setContentsMargins(4, 4, 4, 4);
    lay->addWidget(Splitter2);

    connect(Button1, &QPushButton::clicked, this, &TfrmGroup::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfrmGroup::Button2Click);
    return Panel1;
}

QWidget* TfrmGroup::buildRight() {
    Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    auto* lay = new QVBoxLayout(Panel2);

    auto* head = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("Коментар"), Panel2);
    label->setObjectName(QStringLiteral("Label4"));
    edKomentar = new QLineEdit(Panel2);
    edKomentar->setObjectName(QStringLiteral("edKomentar"));
    edKomentar->setAccessibleName(QStringLiteral("Коментар"));
    label->setBuddy(edKomentar);
    head->addWidget(label);
    head->addWidget(edKomentar, 1);
    auto* lists = new QVBoxLayout;
    DBLookupComboBox1 = new QComboBox(Panel2);
    DBLookupComboBox1->setObjectName(QStringLiteral("DBLookupComboBox1"));
    DBLookupComboBox1->setAccessibleName(QStringLiteral("Тип на измерването"));
    DBLookupComboBox2 = new QComboBox(Panel2);
    DBLookupComboBox2->setObjectName(QStringLiteral("DBLookupComboBox2"));
    DBLookupComboBox2->setAccessibleName(QStringLiteral("Обект"));
    DBLookupComboBox1->setPlaceholderText(QStringLiteral("Тип на измерването"));
    DBLookupComboBox2->setPlaceholderText(QStringLiteral("Обект"));
    for (QComboBox* c : {DBLookupComboBox1, DBLookupComboBox2})
        c->setMinimumWidth(200);
    lists->addWidget(DBLookupComboBox1);
    lists->addWidget(DBLookupComboBox2);
    head->addLayout(lists);
    lay->addLayout(head);

    DBNavigator1 = new QWidget(Panel2);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    auto* nav = new QHBoxLayout(DBNavigator1);
    nav->setContentsMargins(0, 0, 0, 0);
    const auto navButton = [&](const char* name, const QString& text, const QString& hint) {
        auto* b = new QToolButton(DBNavigator1);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setToolTip(hint);
        b->setAccessibleName(hint);
        nav->addWidget(b);
        return b;
    };
    btnPrior = navButton("btnPrior", QStringLiteral("◀"), QStringLiteral("Предходен запис"));
    btnNext = navButton("btnNext", QStringLiteral("▶"), QStringLiteral("Следващ запис"));
    btnDelete = navButton("btnDelete", QStringLiteral("✖"), QStringLiteral("Изтрий запис"));
    nav->addStretch(1);
    lay->addWidget(DBNavigator1);

    mdSelected = new QStandardItemModel(0, 5, this);
    mdSelected->setHorizontalHeaderLabels(
        {QStringLiteral("Номер"), QStringLiteral("Старт"), QStringLiteral("Макс. Стойност"),
         QStringLiteral("Време (sec.)"), QStringLiteral("Скорост")});
    DBGrid2 = new QTableView(Panel2);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setAccessibleName(QStringLiteral("Избрани"));
    DBGrid2->setModel(mdSelected);
    for (int c = fMaxv; c <= fSpeed; ++c)
        DBGrid2->setColumnHidden(c, true); // filled, shown nowhere
    DBGrid2->setItemDelegateForColumn(fId, new TIdDelegate(DBGrid2));
    DBGrid2->setItemDelegateForColumn(fDateEffect, new TDateDelegate(m_formats, DBGrid2));
    DBGrid2->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid2->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid2->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    DBGrid2->verticalHeader()->setVisible(false);
    DBGrid2->installEventFilter(this);
    lay->addWidget(DBGrid2, 1);

    connect(DBLookupComboBox1, &QComboBox::currentIndexChanged, this,
            [this] { choose(DBLookupComboBox1); });
    connect(DBLookupComboBox2, &QComboBox::currentIndexChanged, this,
            [this] { choose(DBLookupComboBox2); });
    connect(btnPrior, &QToolButton::clicked, this, [this] {
        const int r = DBGrid2->currentIndex().row();
        if (r > 0)
            DBGrid2->setCurrentIndex(mdSelected->index(r - 1, fId));
    });
    connect(btnNext, &QToolButton::clicked, this, [this] {
        const int r = DBGrid2->currentIndex().row();
        if (r + 1 < mdSelected->rowCount())
            DBGrid2->setCurrentIndex(mdSelected->index(r + 1, fId));
    });
    connect(btnDelete, &QToolButton::clicked, this, &TfrmGroup::deleteSelectedRow);
    return Panel2;
}

void TfrmGroup::FormCreate() {
    try {
        readLists();
    } catch (const Exception& e) {
        throw DatabaseError(
            QStringLiteral(
                "Измерванията за групиране не могат да бъдат прочетени от базата данни."),
            e.message());
    }
}

void TfrmGroup::readLists() {
    if (!m_dm.dbNUV.Connected())
        m_dm.dbNUV.Open();
    forgetRun();
    m_dm.trMain.Restart();
    qryMes.setSQL(kRunList);
    qryMes.Open();
    qryMulti.Open();
    qryobekt.Open();
    fillLookups();
    if (qryMes.RecordCount() == 0) {
        setTitle(QString());
        return;
    }
    qryMes.MoveBy(1);
    qryMes.MoveBy(-1);
}

// Within one snapshot of trMain a run's samples cannot change: moving away
// and back reads it once.
void TfrmGroup::readRun() {
    const QVariant id = qryMes.Active() && qryMes.RecordCount() > 0
                            ? qryMes.FieldByName(QStringLiteral("MES_ID"))
                            : QVariant();
    if (id.isValid() && m_readRun == id)
        return;
    forgetRun();
    if (!id.isValid())
        return;
    const auto reader = std::make_shared<TRunReader>(qryRun, id, TRunData::Curves::All);
    m_extents = reader->extents();
    m_chart->setRanges(m_extents);
    const TColumnGrid grid = m_chart->screenGrid();
    const bool reduce = !m_extents.isEmpty() && m_extents.first().count > grid.columns();
    if (reduce)
        m_readGrid = grid;
    m_pass = reader->read(m_readGrid);
    m_readRun = id;
    if (reduce)
        m_chart->setSource([reader](const TColumnGrid& g) { return reader->curves(g); });
}

void TfrmGroup::forgetRun() {
    m_readRun = QVariant();
    m_extents.clear();
    m_readGrid.reset();
    m_pass = TRunData::Pass();
    m_chart->setSource(nullptr);
}

void TfrmGroup::qryMesAfterScroll() {
    try {
        readRun();
    } catch (const Exception& e) {
        forgetRun();
        TMessages::showFailure(
            this,
            DatabaseError(QStringLiteral("Данните на измерването не могат да бъдат прочетени."),
                          e.message()));
    }
    qryCalcCalcFields();
    loadChart();
    setTitle(TRunSummary(m_pass.maxValue, m_pass.startA, m_pass.timeOfMax).title(m_formats));
}

// The values strip of the current run, from the pass over its samples.
void TfrmGroup::qryCalcCalcFields() {
    const TRunSummary sum(m_pass.maxValue, m_pass.startA, m_pass.timeOfMax);
    m_speed = sum.speed();
    m_vreme = sum.vreme();
    DBText1->setText(sum.maxText(m_formats));
    DBText2->setText(m_vreme);
    DBText3->setText(sum.speedText(m_formats));
}

// The curve of the last pass: every sample, or reduced to the screen.
void TfrmGroup::loadChart() {
    bool none = true;
    if (m_readGrid) {
        none = m_chart->setRanges(m_extents) < 0;
        m_chart->setReduced(m_pass.curves, *m_readGrid);
    } else {
        none = m_chart->setPoints(m_pass.curves) < 0;
    }
    m_chart->timeAxis()->setTitleText(
        none && qryMes.Active() && qryMes.RecordCount() > 0 ? TRunChart::kNoSamples : QString());
}

void TfrmGroup::setTitle(const QString& title) {
    m_title = title;
    DBChart1->chart()->setTitle(chartTitleHtml(title));
}

void TfrmGroup::fillLookups() {
    const TScopedFlag loading(m_loadingLookups);
    const QString ime = QStringLiteral("IME");
    fillChoices(*DBLookupComboBox1, qryMulti.Choices(QStringLiteral("MULTIPLIER_ID"), ime),
                mdMulti.mult_id);
    fillChoices(*DBLookupComboBox2, qryobekt.Choices(QStringLiteral("OBEKT_ID"), ime),
                mdMulti.obekt_id);
}

// The first choice in either list creates the choice row; it stays pending until closing.
void TfrmGroup::choose(QComboBox* box) {
    if (m_loadingLookups || box->currentIndex() < 0)
        return;
    mdMulti.hasRow = true;
    mdMulti.pending = true;
    const int id = box->currentData().toInt();
    if (box == DBLookupComboBox1)
        mdMulti.mult_id = id;
    else
        mdMulti.obekt_id = id;
}

void TfrmGroup::postChoice() {
    mdMulti.pending = false;
}

void TfrmGroup::Button2Click() {
    if (!qryMes.Active() || qryMes.RecordCount() == 0)
        return;
    const QVariant id = qryMes.FieldByName(QStringLiteral("MES_ID"));
    bool present = false;
    for (int r = 0; r < mdSelected->rowCount(); ++r)
        present = present || mdSelected->item(r, fId)->data(Qt::EditRole) == id;
    if (!present) {
        QList<QStandardItem*> row;
        for (int c = 0; c <= fSpeed; ++c)
            row.append(new QStandardItem);
        row[fId]->setData(id.toInt(), Qt::EditRole);
        row[fDateEffect]->setData(qryMes.FieldByName(QStringLiteral("DT_START")), Qt::EditRole);
        if (m_readRun == id)
            row[fMaxv]->setData(m_pass.maxValue, Qt::EditRole);
        if (m_speed)
            row[fSpeed]->setData(*m_speed, Qt::EditRole);
        mdSelected->appendRow(row);
    }
    DBGrid2->setCurrentIndex(mdSelected->index(0, fId));
}

// Only the selection loses the row: the run stays in the database and in
// the run list, so nothing is asked.
void TfrmGroup::deleteSelectedRow() {
    const int r = DBGrid2->currentIndex().row();
    if (r < 0 || r >= mdSelected->rowCount())
        return;
    mdSelected->removeRow(r);
}

// Del in the selection grid removes the current row from the selection (a
// cell being edited has the key in its own editor, where it deletes text).
bool TfrmGroup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == DBGrid2 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        deleteSelectedRow();
        return true;
    }
    return TfrmTRoot::eventFilter(watched, event);
}

void TfrmGroup::Button1Click() {
    if (!qryMes.Active() || qryMes.RecordCount() == 0)
        return;
    const int id = qryMes.FieldByName(QStringLiteral("MES_ID")).toInt();
    const QVariant start = qryMes.FieldByName(QStringLiteral("DT_START"));
    const QString when = start.isNull() ? QString() : m_formats.dateTimeText(start.toDateTime());
    if (isRecording(id)) {
        // Deleting it would make every later sample of the run fail.
        TMessages::current().info(this, QStringLiteral("Измерване %1 още се записва и не може да "
                                                       "бъде изтрито!!!")
                                            .arg(id));
        return;
    }
    if (!TMessages::current().question(
            this, QStringLiteral("Изтриване на записи"),
            QStringLiteral("Сигурен ли сте, че желаете да изтриете всички записи към измерване ") +
                QString::number(id) + QStringLiteral(" от дата ") + when))
        return;
    // The run is kept whole among the deleted ones, with who deleted it and why,
    // and can be restored from there.
    QString reason;
    if (m_dm.traced()) {
        const auto typed = TMessages::current().reason(
            this, QStringLiteral("Изтриване на записи"),
            QStringLiteral("Защо се изтрива измерване %1 от дата %2? (задължително)")
                .arg(QString::number(id), when));
        if (!typed)
            return;
        reason = *typed;
    }
    try {
        TTransactionGuard tr(m_dm.trDelete);
        TIBQuery trace(m_dm.dbNUV, m_dm.trDelete);
        if (m_dm.traced())
            TTrace::binRun(trace, id,
                           {TClock::program().now(), TRunContextSource::loginName(),
                            TRunContextSource::hostName(), reason});
        TSeriesSave::deleteRun(m_dm.qryDelete, id);
        tr.commit();
    } catch (const Exception& e) {
        TMessages::showFailure(
            this,
            DatabaseError(QStringLiteral("Измерване %1 не беше изтрито от базата данни.").arg(id),
                          e.message()));
        return;
    }
    try {
        ReloadRunList();
    } catch (const Exception& e) {
        TMessages::showFailure(
            this, DatabaseError(
                      QStringLiteral("Списъкът с измерванията не може да бъде прочетен отново."),
                      e.message()));
    }
}

void TfrmGroup::ReloadRunList() {
    for (TIBQuery* q : {&qryMes, &qryRun, &qryobekt})
        q->Close();
    forgetRun();
    m_dm.trMain.Restart();
    qryobekt.Open();
    qryMulti.Open();
    fillLookups();
    qryMes.Open();
    if (qryMes.RecordCount() == 0) {
        loadChart(); // empty, with its axes reset
        DBText1->clear();
        DBText2->clear();
        DBText3->clear();
        m_speed.reset();
        m_vreme.clear();
        setTitle(QString());
        return;
    }
    qryMes.MoveTo(0);
}

bool TfrmGroup::FormCloseQuery() {
    postChoice();
    if (mdSelected->rowCount() == 0)
        return true;
    TMessages& box = TMessages::current();
    switch (box.keepQuestion(this, QStringLiteral("?"), kAskSave)) {
    case TMessages::Answer::Cancel:
        return false; // the operator goes back to the window with everything in it
    case TMessages::Answer::No:
        return true;
    case TMessages::Answer::Yes:
        break;
    }
    if (const auto failed =
            TSeriesSave::check(edKomentar->text(), mdMulti.mult_id, mdMulti.obekt_id)) {
        box.info(this, *failed);
        return false;
    }
    return saveSeries();
}

// The series and the assignment of its runs are one transaction: saved
// together or not at all, with the series' id taken from its own insert.
bool TfrmGroup::saveSeries() {
    QList<QVariant> ids;
    for (int r = 0; r < mdSelected->rowCount(); ++r)
        ids.append(mdSelected->item(r, fId)->data(Qt::EditRole));
    try {
        TTransactionGuard tr(m_dm.trDelete);
        const int series =
            TSeriesSave::save(m_dm.qryDelete, TClock::program().today(), edKomentar->text(),
                              *mdMulti.mult_id, *mdMulti.obekt_id, ids);
        if (m_dm.traced()) {
            TIBQuery trace(m_dm.dbNUV, m_dm.trDelete);
            TTrace::audit(
                trace, TClock::program().now(),
                {TTrace::kSeriesSaved, QString(), TTrace::seriesSummary(trace, series), QString()});
        }
        tr.commit();
        return true;
    } catch (const Exception& e) {
        TMessages::showFailure(
            this,
            DatabaseError(QStringLiteral("Серията не беше записана в базата данни."), e.message()));
        return false;
    }
}
