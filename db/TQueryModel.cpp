#include "db/TQueryModel.h"

#include <QDateTime>

TQueryModel::TQueryModel(TIBQuery& query, QList<TGridColumn> columns, TFormats formats,
                         QObject* parent)
    : TRowCursorModel(parent), m_query(query), m_columns(std::move(columns)),
      m_formats(std::move(formats)) {
    m_query.addStateListener([this] {
        beginResetModel();
        endResetModel();
    });
}

int TQueryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_query.Active() ? 0 : m_query.RecordCount();
}

int TQueryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QString TQueryModel::text(int row, int column) const {
    const TGridColumn& c = m_columns[column];
    if (c.compute)
        return c.compute(row);
    const QVariant v = m_query.Value(row, m_query.FieldIndex(c.field));
    if (!v.isValid() || v.isNull())
        return {};
    switch (c.kind) {
    case TGridColumn::Kind::DateTime:
        return m_formats.dateTimeText(v.toDateTime());
    case TGridColumn::Kind::Plain:
        break;
    }
    if (v.typeId() == QMetaType::Double)
        return m_formats.generalText(v.toDouble());
    if (v.typeId() == QMetaType::QDateTime)
        return m_formats.dateTimeText(v.toDateTime());
    if (v.typeId() == QMetaType::QTime)
        return m_formats.locale().toString(v.toTime(), m_formats.longTimeFormat());
    return v.toString();
}

QVariant TQueryModel::data(const QModelIndex& index, int role) const {
    // The tooltip is the cell's whole text, readable where the column cuts it.
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    return text(index.row(), index.column());
}

QVariant TQueryModel::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (o == Qt::Horizontal && section >= 0 && section < m_columns.size())
        return m_columns[section].title;
    return {};
}

int TQueryModel::currentRow() const {
    return m_query.Active() ? m_query.RecNo() : -1;
}

void TQueryModel::moveToRow(int row) {
    if (m_query.Active() && m_query.RecNo() != row)
        m_query.MoveTo(row);
}
