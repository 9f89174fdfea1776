#include "TDBGrid.h"

#include "TFindDialog.h"
#include "TQueryModel.h"
#include "TTwoLevelHeader.h"

#include <QHeaderView>
#include <QShortcut>

TDBGrid::TDBGrid(const QString& name, TQueryModel* model, const QString& topCaption,
                 QWidget* parent)
    : QTableView(parent), m_model(model) {
    setObjectName(name);
    setModel(model);
    if (!topCaption.isEmpty()) {
        m_header = new TTwoLevelHeader(topCaption, this);
        setHorizontalHeader(m_header);
    }
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch); // columns share the width
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // The selected row stays highlighted when the grid loses the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);

    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { selectionMoved(current); });
    connect(model, &QAbstractItemModel::modelReset, this, &TDBGrid::followQuery);
    auto* find = new QShortcut(QKeySequence::Find, this, this, &TDBGrid::openFindDialog,
                               Qt::WidgetWithChildrenShortcut);
    (void)find;
}

void TDBGrid::selectionMoved(const QModelIndex& current) {
    if (m_following || !current.isValid())
        return;
    TIBQuery& q = m_model->query();
    if (q.Active() && q.RecNo() != current.row())
        q.MoveTo(current.row());
}

void TDBGrid::followQuery() {
    TIBQuery& q = m_model->query();
    m_following = true;
    if (q.Active() && q.RecNo() >= 0 && q.RecNo() < m_model->rowCount())
        setCurrentIndex(m_model->index(q.RecNo(), std::max(0, currentIndex().column())));
    m_following = false;
}

void TDBGrid::fitColumns(int stretchColumn) {
    QHeaderView* h = horizontalHeader();
    h->setStretchLastSection(false);
    for (int c = 0; c < m_model->columnCount(); ++c)
        h->setSectionResizeMode(c, c == stretchColumn ? QHeaderView::Stretch
                                                      : QHeaderView::ResizeToContents);
}

void TDBGrid::openFindDialog() {
    TFindDialog dialog(this, this);
    dialog.exec();
}
