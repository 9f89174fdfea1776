#pragma once

#include "core/TRowCursorModel.h"
#include "core/TextFormats.h"
#include "db/TIBQuery.h"

#include <functional>

// One column of a grid over a query: a field, or a value computed from the row.
struct TGridColumn {
    enum class Kind { Plain, DateTime };
    QString field;
    QString title;
    Kind kind = Kind::Plain;
    std::function<QString(int row)> compute = {}; // calculated fields
};

// A read-only table over a query's rows; it follows the query's opening and closing.
class TQueryModel : public TRowCursorModel {
    Q_OBJECT
public:
    TQueryModel(TIBQuery& query, QList<TGridColumn> columns, TFormats formats = TFormats(),
                QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    QString text(int row, int column) const;
    TIBQuery& query() const { return m_query; }

    int currentRow() const override;
    void moveToRow(int row) override;

private:
    TIBQuery& m_query;
    QList<TGridColumn> m_columns;
    TFormats m_formats;
};
