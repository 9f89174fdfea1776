#include "objects/TfrmObekt.h"

#include "core/Exception.h"
#include "core/TScopedFlag.h"
#include "db/dmmainU.h"
#include "objects/TObektTable.h"
#include "widgets/TMessages.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
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
        // A name still in the grid's editor goes into its row before any move.
        connect(b, &QToolButton::clicked, this, [this, handler] {
            commitEditor();
            handler();
        });
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
                      [this] { editNewRow(&TObektTable::Insert); });
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
    // Below this the navigator's buttons and the names are cut.
    setMinimumSize(400, 300);
    resize(420, 400);

    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& cur) {
                if (m_following || !cur.isValid() || OBEKT->changingRows())
                    return;
                if (!OBEKT->MoveTo(cur.row()))
                    followTable(OBEKT->current()); // the post failed: stay on the row
            });
    connect(OBEKT, &TObektTable::currentMoved, this, &TfrmObekt::followTable);
    connect(OBEKT, &TObektTable::failed, this, [this](const QString& text, const QString& cause) {
        TMessages::showFailure(this, Exception(text, cause));
    });
    FormCreate();
}

TfrmObekt::~TfrmObekt() = default;

void TfrmObekt::FormCreate() {
    try {
        if (!m_dm.dbNUV.Connected())
            m_dm.dbNUV.Open();
        m_dm.trObekt.StartIfInactive();
        OBEKT->Open();
    } catch (const Exception& e) {
        throw DatabaseError(QStringLiteral("Обектите не могат да бъдат прочетени от базата данни."),
                            e.message());
    }
}

// The open editor is the one with the focus, or, while the window is not
// active, the one shown in the grid.
void TfrmObekt::commitEditor() {
    QWidget* editor = QApplication::focusWidget();
    if (editor && DBGrid1->viewport()->isAncestorOf(editor)) {
        while (editor->parentWidget() != DBGrid1->viewport())
            editor = editor->parentWidget(); // the editor itself, not a part of it
    } else {
        editor = nullptr;
        const auto shown =
            DBGrid1->viewport()->findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly);
        for (QLineEdit* e : shown)
            if (e->isVisible())
                editor = e;
    }
    if (!editor)
        return;
    QMetaObject::invokeMethod(DBGrid1, "commitData", Qt::DirectConnection, Q_ARG(QWidget*, editor));
    QMetaObject::invokeMethod(
        DBGrid1, "closeEditor", Qt::DirectConnection, Q_ARG(QWidget*, editor),
        Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
}

// A new row is started and its name is ready for typing.
void TfrmObekt::editNewRow(void (TObektTable::*start)()) {
    const int before = OBEKT->RecordCount();
    (OBEKT->*start)();
    if (OBEKT->state() != TObektTable::State::Insert || OBEKT->RecordCount() == before)
        return;
    DBGrid1->setFocus();
    DBGrid1->edit(OBEKT->index(OBEKT->current(), TObektTable::colIme));
}

void TfrmObekt::followTable(int row) {
    const TScopedFlag following(m_following);
    if (row >= 0)
        DBGrid1->setCurrentIndex(OBEKT->index(row, TObektTable::colIme));
}

void TfrmObekt::deleteWithConfirmation() {
    if (OBEKT->current() < 0)
        return;
    if (!TMessages::current().question(this, QStringLiteral("?"),
                                       QStringLiteral("Изтриване на записа?")))
        return;
    OBEKT->Delete();
}

// The grid's own keys, also when they come from a cell's editor: a move
// first puts what was typed into its row; Down past the last row posts it
// and starts a new row; Insert inserts one; Ctrl+Delete deletes after the
// question; Escape on a row being inserted or edited (no editor open)
// discards its changes instead of closing the window.
bool TfrmObekt::eventFilter(QObject* watched, QEvent* event) {
    if (watched == DBGrid1 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Down:
        case Qt::Key_Up:
        case Qt::Key_PageDown:
        case Qt::Key_PageUp:
            commitEditor();
            if (key->key() == Qt::Key_Down && OBEKT->current() == OBEKT->RecordCount() - 1) {
                editNewRow(&TObektTable::Next);
                return true;
            }
            break;
        case Qt::Key_Insert:
            commitEditor();
            editNewRow(&TObektTable::Insert);
            return true;
        case Qt::Key_Delete:
            if (key->modifiers() & Qt::ControlModifier) {
                commitEditor();
                deleteWithConfirmation();
                return true;
            }
            break;
        case Qt::Key_Escape:
            if (OBEKT->state() == TObektTable::State::Insert ||
                OBEKT->state() == TObektTable::State::Edit) {
                OBEKT->Cancel();
                return true;
            }
            break;
        default:
            break;
        }
    }
    return TfrmTRoot::eventFilter(watched, event);
}

// A row still being typed is posted before the question, so its name is not lost.
bool TfrmObekt::FormCloseQuery() {
    commitEditor(); // a name still in the grid's editor goes into the row first
    if (!OBEKT->Post())
        return false;
    const TMessages::Answer answer = TMessages::current().keepQuestion(
        this, QStringLiteral("?"), QStringLiteral("Желаете ли да запомните избраните записи ?"));
    if (answer == TMessages::Answer::Cancel)
        return false; // back to the register with every change still there
    try {
        if (m_dm.trObekt.InTransaction()) {
            if (answer == TMessages::Answer::Yes)
                m_dm.trObekt.Commit();
            else
                m_dm.trObekt.Rollback();
        }
    } catch (const Exception& e) {
        TMessages::showFailure(
            this,
            DatabaseError(QStringLiteral("Промените в обектите не бяха записани в базата данни."),
                          e.message()));
        return false;
    }
    return true;
}
