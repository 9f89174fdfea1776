#pragma once

#include <QTableView>

class TRowCursorModel;
class TTwoLevelHeader;

// A read-only grid over a table with a cursor (a query): one whole row selected, kept highlighted
// when the grid loses the focus, and the query's current row following the
// selection (and the other way round). Ctrl+F opens the find dialog.
class TDBGrid : public QTableView {
    Q_OBJECT
public:
    // A non-empty topCaption draws one common caption over all columns.
    TDBGrid(const QString& name, TRowCursorModel* model, const QString& topCaption = {},
            QWidget* parent = nullptr);

    TTwoLevelHeader* twoLevelHeader() const { return m_header; }

    // Every column as wide as its header and its texts, the given one taking
    // the width that is left; a grid narrower than that scrolls.
    void fitColumns(int stretchColumn);

    // Selects the query's current row without moving the query again.
    void followQuery();

public slots:
    void openFindDialog();

private:
    void selectionMoved(const QModelIndex& current);

    TRowCursorModel* m_model;
    TTwoLevelHeader* m_header = nullptr;
    bool m_following = false;
};
