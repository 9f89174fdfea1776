#include "widgets/TDBGrid.h"

#include "core/TRowCursorModel.h"
#include "core/TScopedFlag.h"
#include "widgets/TFindDialog.h"
#include "widgets/TTwoLevelHeader.h"

#include <QHeaderView>
#include <QShortcut>

TDBGrid::TDBGrid(const QString& name, TRowCursorModel* model, const QString& topCaption,
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
    m_model->moveToRow(current.row());
}

void TDBGrid::followQuery() {
    const int row = m_model->currentRow();
    const TScopedFlag following(m_following);
    if (row >= 0 && row < m_model->rowCount())
        setCurrentIndex(m_model->index(row, std::max(0, currentIndex().column())));
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
