#include "trace/TfrmDeletedRuns.h"

#include "core/Exception.h"
#include "core/TClock.h"
#include "db/TQueryModel.h"
#include "db/TRunData.h"
#include "db/TTrace.h"
#include "db/TTransactionGuard.h"
#include "db/dmmainU.h"
#include "widgets/TDBGrid.h"
#include "widgets/TMessages.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

const QString TfrmDeletedRuns::kList = QStringLiteral(
    "select b.mes_id, b.mes_group_id, b.dt_start, b.dev_id, (select count(*) from mes_de_bin d "
    "where d.mes_id = b.mes_id) as samples, b.deleted_at, b.deleted_by, b.deleted_on, b.reason "
    "from mes_bin b order by b.deleted_at desc, b.mes_id desc");
const QString TfrmDeletedRuns::kCountOlder =
    QStringLiteral("select count(*) from mes_bin where deleted_at < ?");

namespace {

const QString kPurgeCaption = QStringLiteral("Окончателно изтриване");
const QString kRestoreCaption = QStringLiteral("Възстановяване на измерване");

} // namespace

TfrmDeletedRuns::TfrmDeletedRuns(const AppPaths& paths, TdmMain& dm, TFormats formats,
                                 QWidget* parent)
    : TfrmTRoot(paths, parent), trBin(dm.dbNUV), qryBin(dm.dbNUV, trBin), m_dm(dm),
      m_formats(std::move(formats)) {
    setObjectName(QStringLiteral("frmDeletedRuns"));
    setWindowTitle(QStringLiteral("Изтрити измервания"));
    qryBin.setSQL(kList);

    const auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        // Enter never presses a button of this window: one of them erases for good.
        b->setAutoDefault(false);
        return b;
    };
    btnRestore = button("btnRestore", QStringLiteral("Възстанови"));
    btnPurge = button("btnPurge", QStringLiteral("Изтрий окончателно…"));

    auto* model = new TQueryModel(
        qryBin,
        {{QStringLiteral("MES_ID"), QStringLiteral("Пореден номер")},
         {QStringLiteral("DT_START"), QStringLiteral("Старт"), TGridColumn::Kind::DateTime},
         {QString(), QStringLiteral("Уред"), TGridColumn::Kind::Plain,
          [this](int row) {
              return TRunData::devName(
                  qryBin.Value(row, qryBin.FieldIndex(QStringLiteral("DEV_ID"))));
          }},
         {QStringLiteral("SAMPLES"), QStringLiteral("Отчети")},
         {QStringLiteral("DELETED_AT"), QStringLiteral("Изтрито на"), TGridColumn::Kind::DateTime},
         {QStringLiteral("DELETED_BY"), QStringLiteral("Изтрил")},
         {QStringLiteral("DELETED_ON"), QStringLiteral("Работно място")},
         {QStringLiteral("REASON"), QStringLiteral("Причина")}},
        m_formats, this);
    DBGrid1 = new TDBGrid(QStringLiteral("DBGrid1"), model, QString(), this);
    DBGrid1->setAccessibleName(QStringLiteral("Изтрити измервания"));
    DBGrid1->fitColumns(7); // the reason

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnRestore);
    buttons->addStretch(1);
    buttons->addWidget(btnPurge);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(DBGrid1, 1);
    lay->addLayout(buttons);
    // Below this the reason has no room beside the other columns; a placement
    // left by a smaller window grows to it.
    setMinimumSize(960, 360);
    resize(1000, 460);

    connect(btnRestore, &QPushButton::clicked, this, &TfrmDeletedRuns::btnRestoreClick);
    connect(btnPurge, &QPushButton::clicked, this, &TfrmDeletedRuns::btnPurgeClick);
    connect(model, &QAbstractItemModel::modelReset, this, &TfrmDeletedRuns::followRows);
    FormCreate();
}

// The grid outlives the query (the base class's children go last): closed
// first, its model holds no rows of a query that is gone.
TfrmDeletedRuns::~TfrmDeletedRuns() {
    qryBin.Close();
}

void TfrmDeletedRuns::FormCreate() {
    try {
        if (!m_dm.dbNUV.Connected())
            m_dm.dbNUV.Open();
        if (!m_dm.traced())
            throw DatabaseError(QStringLiteral("Тази база данни не пази изтритите измервания и "
                                               "дневника на промените."),
                                m_dm.traceProblem());
        ReloadList();
    } catch (const Exception& e) {
        throw DatabaseError(
            QStringLiteral("Изтритите измервания не могат да бъдат прочетени от базата данни."),
            e.message());
    }
}

// A fresh view: what other workstations deleted, restored or purged shows.
void TfrmDeletedRuns::ReloadList() {
    qryBin.Close();
    trBin.Restart();
    qryBin.Open();
    followRows();
}

void TfrmDeletedRuns::reloadOrSay() {
    try {
        ReloadList();
    } catch (const Exception& e) {
        TMessages::showFailure(
            this,
            DatabaseError(QStringLiteral("Списъкът с изтритите измервания не може да бъде прочетен "
                                         "отново."),
                          e.message()));
    }
}

void TfrmDeletedRuns::followRows() {
    const bool any = qryBin.Active() && qryBin.RecordCount() > 0;
    btnRestore->setEnabled(any);
    btnPurge->setEnabled(any);
}

void TfrmDeletedRuns::btnRestoreClick() {
    if (!qryBin.Active() || qryBin.RecordCount() == 0)
        return;
    const int id = qryBin.FieldByName(QStringLiteral("MES_ID")).toInt();
    const QVariant series = qryBin.FieldByName(QStringLiteral("MES_GROUP_ID"));
    const QVariant start = qryBin.FieldByName(QStringLiteral("DT_START"));
    const QString when = start.isNull() ? QString() : m_formats.dateTimeText(start.toDateTime());
    const auto reason = TMessages::current().reason(
        this, kRestoreCaption,
        QStringLiteral("Защо се възстановява измерване %1 от дата %2? (задължително)")
            .arg(QString::number(id), when));
    if (!reason)
        return;
    bool intoSeries = true;
    try {
        TTransactionGuard tr(m_dm.trDelete);
        intoSeries = TTrace::restoreRun(m_dm.qryDelete, id, TClock::program().now(), *reason);
        tr.commit();
    } catch (const Exception& e) {
        TMessages::showFailure(
            this, DatabaseError(QStringLiteral("Измерване %1 не беше възстановено.").arg(id),
                                e.message()));
        reloadOrSay(); // another workstation may have restored or purged it
        return;
    }
    reloadOrSay();
    if (!intoSeries)
        TMessages::current().info(
            this, QStringLiteral("Измерване %1 е възстановено без серия: серия %2 вече я няма. "
                                 "Измерването е в списъка на групирането.")
                      .arg(QString::number(id), series.toString()));
}

void TfrmDeletedRuns::btnPurgeClick() {
    const std::optional<int> days = askAge(this);
    if (!days)
        return;
    // The same moment bounds what is counted, asked and erased.
    const QDateTime now = TClock::program().now();
    const QDateTime before = now.addDays(-*days);
    const QString beforeText = m_formats.dateTimeText(before);
    int count = 0;
    try {
        TIBTransaction tr(m_dm.dbNUV);
        TIBQuery q(m_dm.dbNUV, tr);
        q.setSQL(kCountOlder);
        q.setParams({before});
        q.Open();
        count = q.Value(0, 0).toInt();
        tr.Commit();
    } catch (const Exception& e) {
        TMessages::showFailure(
            this, DatabaseError(QStringLiteral("Изтритите измервания не могат да бъдат "
                                               "преброени."),
                                e.message()));
        return;
    }
    if (count == 0) {
        TMessages::current().info(
            this, QStringLiteral("Няма измервания, изтрити преди повече от %1 дни (преди %2).")
                      .arg(QString::number(*days), beforeText));
        return;
    }
    const auto reason = TMessages::current().reason(
        this, kPurgeCaption,
        QStringLiteral("Защо се изтриват окончателно измерванията, изтрити преди %1 (%2 бр.)? "
                       "(задължително)")
            .arg(beforeText, QString::number(count)));
    if (!reason)
        return;
    if (!TMessages::current().question(
            this, kPurgeCaption,
            QStringLiteral("Измерванията, изтрити преди %1 (%2 бр.), ще бъдат изтрити "
                           "окончателно и не могат да бъдат възстановени. Продължавате ли?")
                .arg(beforeText, QString::number(count))))
        return;
    int purged = 0;
    try {
        TTransactionGuard tr(m_dm.trDelete);
        purged = TTrace::purge(m_dm.qryDelete, before, now, *reason);
        tr.commit();
    } catch (const Exception& e) {
        TMessages::showFailure(
            this, DatabaseError(QStringLiteral("Измерванията не бяха изтрити окончателно."),
                                e.message()));
        reloadOrSay();
        return;
    }
    reloadOrSay();
    TMessages::current().info(this,
                              QStringLiteral("Окончателно изтрити измервания: %1.").arg(purged));
}

std::optional<int> TfrmDeletedRuns::ageDialog(QWidget* parent) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgPurgeAge"));
    dialog.setWindowTitle(kPurgeCaption);
    dialog.setMinimumWidth(320); // the caption whole in the window's frame
    auto* lay = new QVBoxLayout(&dialog);
    const QString prompt =
        QStringLiteral("Изтрий окончателно измерванията, изтрити преди повече от:");
    auto* label = new QLabel(prompt, &dialog);
    label->setWordWrap(true);
    lay->addWidget(label);
    auto* days = new QSpinBox(&dialog);
    days->setObjectName(QStringLiteral("edDays"));
    days->setAccessibleName(prompt);
    days->setRange(0, 36500);
    days->setValue(kDefaultAgeDays);
    days->setSuffix(QStringLiteral(" дни"));
    label->setBuddy(days);
    lay->addWidget(days);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("Отказ"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    lay->addWidget(buttons);
    days->selectAll();
    days->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return days->value();
}
