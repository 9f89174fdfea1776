#pragma once

#include "db/FbApi.h"
#include "db/TTrace.h"

#include <QAbstractTableModel>
#include <QSet>
#include <QVariant>

#include <vector>

class Exception;
class TdmMain;
class TIBQuery;

// The table component over OBEKT: every row, ascending by OBEKT_ID, edited in
// place within the transaction trObekt. A row is browsed, or being inserted or
// edited until it is posted or cancelled.
class TObektTable : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Insert, Edit };
    enum Column { colId = 0, colIme = 1 };
    static constexpr int kMaxName = 100;

    explicit TObektTable(TdmMain& dm, QObject* parent = nullptr);

    void Open();
    void Close();
    State state() const { return m_state; }
    int current() const { return m_current; }
    int RecordCount() const { return int(m_rows.size()); }
    // True while rows are being added or removed: a view's selection shifting
    // with them is no move of the operator's.
    bool changingRows() const { return m_changing; }
    QVariant id(int row) const { return m_rows[size_t(row)].id; }
    QString ime(int row) const { return m_rows[size_t(row)].ime; }

    // Moving to another row posts the row being inserted or edited first;
    // false when that post failed (the row stays, and failed() says why).
    bool MoveTo(int row);
    void First() { MoveTo(0); }
    void Prior() { MoveTo(m_current - 1); }
    void Next(); // past the last row a new row is started
    void Last() { MoveTo(RecordCount() - 1); }
    void Insert(); // a new row before the current one
    void Append(); // a new row at the end
    void Edit();
    bool Post();
    void Cancel();
    void Delete(); // no question here; the window asks
    void Refresh();

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    void currentMoved(int row);
    // A row that could not be numbered, stored or deleted, for the window to
    // show: the operator's text and the cause below it.
    void failed(const QString& text, const QString& cause);

private:
    void audit(TIBQuery& q, const TTrace::AuditEntry& entry);
    static QString objectText(const QVariant& id, const QString& name);
    struct Row {
        QVariant id;
        QString ime;
    };
    void startRow(int at);
    void eraseRow(int at);
    void OBEKTAfterInsert();
    // false: the pending row was discarded instead of stored (an empty name).
    bool OBEKTBeforePost();
    void read();
    void setCurrent(int row);
    qint64 seriesUsing(const QVariant& id);
    void fail(const Exception& e);
    static QString changedElsewhere(const EDatabaseError& e);

    TdmMain& m_dm;
    std::vector<Row> m_rows;
    State m_state = State::Inactive;
    int m_current = -1;
    Row m_before; // the edited row's values before the edit
    bool m_changing = false;
    QSet<qint64> m_addedNow; // objects added since the register opened
};
