#include "TfrmObekt.h"

#include "Exception.h"
#include "TMessages.h"
#include "TObektTable.h"
#include "dmmainU.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

TfrmObekt::TfrmObekt(const AppPaths& paths, TdmMain& dm, QWidget* parent)
    : TfrmTRoot(paths, parent), m_dm(dm) {
    setObjectName(QStringLiteral("frmObekt"));
    setWindowTitle(QStringLiteral("Обекти"));
    OBEKT = new TObektTable(dm, this);

    DBNavigator1 = new QWidget(this);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    auto* nav = new QHBoxLayout(DBNavigator1);
    nav->setContentsMargins(0, 0, 0, 0);
    const auto button = [&](const char* name, const QString& text, const QString& hint,
                            auto handler) {
        auto* b = new QToolButton(DBNavigator1);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setToolTip(hint);
        b->setAccessibleName(hint);
        nav->addWidget(b);
        connect(b, &QToolButton::clicked, this, handler);
        return b;
    };
    nbFirst = button("nbFirst", QStringLiteral("|◀"), QStringLiteral("Първи запис"),
                     [this] { OBEKT->First(); });
    nbPrior = button("nbPrior", QStringLiteral("◀"), QStringLiteral("Предходен запис"),
                     [this] { OBEKT->Prior(); });
    nbNext = button("nbNext", QStringLiteral("▶"), QStringLiteral("Следващ запис"),
                    [this] { OBEKT->MoveTo(OBEKT->current() + 1); });
    nbLast = button("nbLast", QStringLiteral("▶|"), QStringLiteral("Последен запис"),
                    [this] { OBEKT->Last(); });
    nbInsert = button("nbInsert", QStringLiteral("+"), QStringLiteral("Вмъкни запис"),
                      [this] { OBEKT->Insert(); });
    nbDelete = button("nbDelete", QStringLiteral("−"), QStringLiteral("Изтрий запис"),
                      [this] { deleteWithConfirmation(); });
    nbEdit = button("nbEdit", QStringLiteral("▲"), QStringLiteral("Редактирай запис"), [this] {
        OBEKT->Edit();
        DBGrid1->edit(OBEKT->index(OBEKT->current(), TObektTable::colIme));
    });
    nbPost =
        button("nbPost", QStringLiteral("✔"), QStringLiteral("Запиши"), [this] { OBEKT->Post(); });
    nbCancel = button("nbCancel", QStringLiteral("✖"), QStringLiteral("Откажи"),
                      [this] { OBEKT->Cancel(); });
    nbRefresh = button("nbRefresh", QStringLiteral("↻"), QStringLiteral("Обнови"),
                       [this] { OBEKT->Refresh(); });
    nav->addStretch(1);

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("Обекти"));
    DBGrid1->setModel(OBEKT);
    DBGrid1->verticalHeader()->setVisible(false);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->horizontalHeader()->setSectionResizeMode(TObektTable::colId,
                                                      QHeaderView::ResizeToContents);
    DBGrid1->horizontalHeader()->setSectionResizeMode(TObektTable::colIme, QHeaderView::Stretch);
    DBGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    DBGrid1->installEventFilter(this);

    auto* lay = new QVBoxLayout(this);
    lay->addWidget(DBNavigator1);
    lay->addWidget(DBGrid1, 1);
    resize(420, 400);

    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& cur) {
                if (m_following || !cur.isValid() || OBEKT->changingRows())
                    return;
                if (!OBEKT->MoveTo(cur.row()))
                    followTable(OBEKT->current()); // the post failed: stay on the row
            });
    connect(OBEKT, &TObektTable::currentMoved, this, &TfrmObekt::followTable);
    FormCreate();
}

TfrmObekt::~TfrmObekt() = default;

void TfrmObekt::FormCreate() {
    if (!m_dm.dbNUV.Connected())
        m_dm.dbNUV.Open();
    if (!m_dm.trObekt.InTransaction())
        m_dm.trObekt.StartTransaction();
    OBEKT->Open();
}

void TfrmObekt::followTable(int row) {
    m_following = true;
    if (row >= 0)
        DBGrid1->setCurrentIndex(OBEKT->index(row, TObektTable::colIme));
    m_following = false;
}

void TfrmObekt::deleteWithConfirmation() {
    if (OBEKT->current() < 0)
        return;
    if (!TMessages::current().question(this, QStringLiteral("?"),
                                       QStringLiteral("Изтриване на записа?")))
        return;
    OBEKT->Delete();
}

// The grid's own keys: Down past the last row starts a new row, Insert
// inserts one, Ctrl+Delete deletes after the question.
bool TfrmObekt::eventFilter(QObject* watched, QEvent* event) {
    if (watched == DBGrid1 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Down && OBEKT->current() == OBEKT->RecordCount() - 1) {
            OBEKT->Next();
            return true;
        }
        if (key->key() == Qt::Key_Insert) {
            OBEKT->Insert();
            return true;
        }
        if (key->key() == Qt::Key_Delete && key->modifiers() & Qt::ControlModifier) {
            deleteWithConfirmation();
            return true;
        }
    }
    return TfrmTRoot::eventFilter(watched, event);
}

// A row still being typed is posted before the question, so its name is not lost.
bool TfrmObekt::FormCloseQuery() {
    // A name still in the grid's editor goes into the row first.
    QWidget* editor = QApplication::focusWidget();
    if (editor && editor != DBGrid1 && DBGrid1->isAncestorOf(editor))
        QMetaObject::invokeMethod(DBGrid1, "commitData", Qt::DirectConnection,
                                  Q_ARG(QWidget*, editor));
    if (!OBEKT->Post())
        return false;
    const bool keep = TMessages::current().question(
        this, QStringLiteral("?"), QStringLiteral("Желаете ли да запомните избраните записи ?"));
    try {
        if (m_dm.trObekt.InTransaction()) {
            if (keep)
                m_dm.trObekt.Commit();
            else
                m_dm.trObekt.Rollback();
        }
    } catch (const Exception& e) {
        TMessages::current().error(this, e.message());
        return false;
    }
    return true;
}
