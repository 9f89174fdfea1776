#pragma once

#include <QAbstractTableModel>

// A table whose current row follows a cursor kept elsewhere (a query's current
// record): a grid over it keeps its selection and the cursor together.
class TRowCursorModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    // The cursor's row, -1 while there is none.
    virtual int currentRow() const = 0;
    virtual void moveToRow(int row) = 0;
};
