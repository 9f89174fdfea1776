#include "trace/TfrmAudit.h"

#include "core/Exception.h"
#include "core/TClock.h"
#include "db/TQueryModel.h"
#include "db/dmmainU.h"
#include "widgets/TDBGrid.h"
#include "widgets/TMessages.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

const QString TfrmAudit::kAll = QStringLiteral("всички");
const QString TfrmAudit::kLogins =
    QStringLiteral("select distinct login from audit_trail where login is not null order by login");
const QString TfrmAudit::kActions =
    QStringLiteral("select distinct action from audit_trail order by action");
const QString TfrmAudit::kSpan =
    QStringLiteral("select min(at_moment), max(at_moment) from audit_trail");
const QString TfrmAudit::kTrail = QStringLiteral(
    "select at_moment, login, workstation, action, before_text, after_text, reason from "
    "audit_trail where at_moment >= ? and at_moment < ?");
const QString TfrmAudit::kByLogin = QStringLiteral(" and login = ?");
const QString TfrmAudit::kByAction = QStringLiteral(" and action = ?");
const QString TfrmAudit::kNewestFirst = QStringLiteral(" order by at_moment desc, audit_id desc");

namespace {

enum Column { cMoment = 0, cLogin, cWorkstation, cAction, cBefore, cAfter, cReason };

QLabel* above(const QString& text, QWidget* control, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setBuddy(control);
    control->setAccessibleName(text);
    return l;
}

// The short date with a four-digit year and without its quoted words: the
// operator types the digits, not the "г.".
QString typedDateFormat(QString format) {
    format.remove(QRegularExpression(QStringLiteral("'[^']*'")));
    format.replace(QRegularExpression(QStringLiteral("y+")), QStringLiteral("yyyy"));
    while (!format.isEmpty() && !QStringLiteral("dMy").contains(format.back()))
        format.chop(1);
    return format;
}

} // namespace

TfrmAudit::TfrmAudit(const AppPaths& paths, TdmMain& dm, TFormats formats, QWidget* parent)
    : TfrmTRoot(paths, parent), trAudit(dm.dbNUV), qryAudit(dm.dbNUV, trAudit), m_dm(dm),
      m_formats(std::move(formats)) {
    setObjectName(QStringLiteral("frmAudit"));
    setWindowTitle(QStringLiteral("Дневник на промените"));

    auto* model = new TQueryModel(
        qryAudit,
        {{QStringLiteral("AT_MOMENT"), QStringLiteral("Момент"), TGridColumn::Kind::DateTime},
         {QStringLiteral("LOGIN"), QStringLiteral("Потребител")},
         {QStringLiteral("WORKSTATION"), QStringLiteral("Работно място")},
         {QStringLiteral("ACTION"), QStringLiteral("Действие")},
         {QStringLiteral("BEFORE_TEXT"), QStringLiteral("Преди")},
         {QStringLiteral("AFTER_TEXT"), QStringLiteral("След")},
         {QStringLiteral("REASON"), QStringLiteral("Причина")}},
        m_formats, this);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("Splitter1"));
    DBGrid1 = new TDBGrid(QStringLiteral("DBGrid1"), model, QString(), split);
    DBGrid1->setAccessibleName(QStringLiteral("Дневник на промените"));
    DBGrid1->fitColumns(cReason);
    // The texts before and after can be long: they share the width with the
    // reason, and the current entry's whole texts are below the grid.
    for (int c : {cBefore, cAfter})
        DBGrid1->horizontalHeader()->setSectionResizeMode(c, QHeaderView::Stretch);
    memDetails = new QPlainTextEdit(split);
    memDetails->setObjectName(QStringLiteral("memDetails"));
    memDetails->setAccessibleName(QStringLiteral("Подробности"));
    memDetails->setReadOnly(true);
    split->addWidget(DBGrid1);
    split->addWidget(memDetails);
    split->setStretchFactor(0, 1);
    split->setSizes({400, 120});

    auto* lay = new QVBoxLayout(this);
    lay->addWidget(buildFilterBar());
    lay->addWidget(split, 1);
    // Below this the texts before and after are cut too short to tell the
    // entries apart; a placement left by a smaller window grows to it.
    setMinimumSize(1000, 480);
    resize(1100, 620);

    qryAudit.AfterScroll = [this] { showDetails(); };
    connect(model, &QAbstractItemModel::modelReset, this, &TfrmAudit::showDetails);
    connect(Button1, &QPushButton::clicked, this, &TfrmAudit::Button1Click);
    FormCreate();
}

// The grid outlives the query (the base class's children go last): closed
// first, its model holds no rows of a query that is gone.
TfrmAudit::~TfrmAudit() {
    qryAudit.Close();
}

QWidget* TfrmAudit::buildFilterBar() {
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("Panel1"));
    auto* g = new QGridLayout(bar);
    g->setContentsMargins(0, 0, 0, 0);
    const auto dateEdit = [&](const char* name) {
        auto* e = new QDateEdit(bar);
        e->setObjectName(QLatin1String(name));
        e->setCalendarPopup(true);
        e->setDisplayFormat(typedDateFormat(m_formats.shortDateFormat()));
        e->setLocale(m_formats.locale());
        return e;
    };
    edFrom = dateEdit("edFrom");
    edTo = dateEdit("edTo");
    const auto combo = [&](const char* name) {
        auto* c = new QComboBox(bar);
        c->setObjectName(QLatin1String(name));
        c->setMinimumWidth(180);
        c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        return c;
    };
    cbLogin = combo("cbLogin");
    cbAction = combo("cbAction");
    Button1 = new QPushButton(QStringLiteral("Покажи"), bar);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true); // Enter in a filter shows; nothing here changes a record

    g->addWidget(above(QStringLiteral("От дата"), edFrom, bar), 0, 0);
    g->addWidget(above(QStringLiteral("До дата"), edTo, bar), 0, 1);
    g->addWidget(above(QStringLiteral("Потребител"), cbLogin, bar), 0, 2);
    g->addWidget(above(QStringLiteral("Действие"), cbAction, bar), 0, 3);
    g->addWidget(edFrom, 1, 0);
    g->addWidget(edTo, 1, 1);
    g->addWidget(cbLogin, 1, 2);
    g->addWidget(cbAction, 1, 3);
    g->addWidget(Button1, 1, 4);
    g->setColumnStretch(5, 1);
    return bar;
}

// The choices are the logins and actions the trail holds; the days span it
// whole, so the first view shows every entry.
void TfrmAudit::FormCreate() {
    try {
        if (!m_dm.dbNUV.Connected())
            m_dm.dbNUV.Open();
        if (!m_dm.traced())
            throw DatabaseError(QStringLiteral("Тази база данни не пази изтритите измервания и "
                                               "дневника на промените."),
                                m_dm.traceProblem());
        trAudit.Restart();
        readChoices();
        readTrail();
    } catch (const Exception& e) {
        throw DatabaseError(
            QStringLiteral("Дневникът на промените не може да бъде прочетен от базата данни."),
            e.message());
    }
}

void TfrmAudit::readChoices() {
    TIBQuery q(m_dm.dbNUV, trAudit);
    const auto fill = [&](QComboBox* box, const QString& sql) {
        box->clear();
        box->addItem(kAll, QString());
        q.setSQL(sql);
        q.Open();
        for (int r = 0; r < q.RecordCount(); ++r)
            box->addItem(q.Value(r, 0).toString(), q.Value(r, 0).toString());
        q.Close();
    };
    fill(cbLogin, kLogins);
    fill(cbAction, kActions);
    q.setSQL(kSpan);
    q.Open();
    const QDate today = TClock::program().today();
    const QVariant first = q.Value(0, 0), last = q.Value(0, 1);
    q.Close();
    edFrom->setDate(first.isNull() ? today : std::min(today, first.toDateTime().date()));
    edTo->setDate(last.isNull() ? today : std::max(today, last.toDateTime().date()));
}

TfrmAudit::Filter TfrmAudit::filter() const {
    return {edFrom->date(), edTo->date(), cbLogin->currentData().toString(),
            cbAction->currentData().toString()};
}

void TfrmAudit::Button1Click() {
    try {
        readTrail();
    } catch (const Exception& e) {
        TMessages::showFailure(
            this, DatabaseError(QStringLiteral("Дневникът на промените не може да бъде прочетен."),
                                e.message()));
    }
}

// Every value is bound to its mark; only the clauses of the chosen filters
// are added to the statement.
void TfrmAudit::readTrail() {
    const Filter f = filter();
    QString sql = kTrail;
    QList<QVariant> values{f.from.startOfDay(), f.to.addDays(1).startOfDay()};
    if (!f.login.isEmpty()) {
        sql += kByLogin;
        values.append(f.login);
    }
    if (!f.action.isEmpty()) {
        sql += kByAction;
        values.append(f.action);
    }
    sql += kNewestFirst;
    qryAudit.Close();
    trAudit.Restart(); // entries written since the last reading show too
    qryAudit.setSQL(sql);
    qryAudit.setParams(values);
    qryAudit.Open();
}

void TfrmAudit::showDetails() {
    if (!qryAudit.Active() || qryAudit.RecordCount() == 0) {
        memDetails->clear();
        return;
    }
    const auto field = [&](const char* name) {
        const QString v = qryAudit.FieldByName(QLatin1String(name)).toString();
        return v.isEmpty() ? QStringLiteral("-") : v;
    };
    memDetails->setPlainText(QStringLiteral("Преди: %1\nСлед: %2\nПричина: %3")
                                 .arg(field("BEFORE_TEXT"), field("AFTER_TEXT"), field("REASON")));
}
