#include "objects/TObektTable.h"

#include "core/Exception.h"
#include "core/TScopedFlag.h"
#include "core/TClock.h"
#include "db/TTrace.h"
#include "db/dmmainU.h"
#include "widgets/TMessages.h"

#include <QWidget>

TObektTable::TObektTable(TdmMain& dm, QObject* parent) : QAbstractTableModel(parent), m_dm(dm) {}

void TObektTable::read() {
    TIBQuery q(m_dm.dbNUV, m_dm.trObekt);
    q.setSQL(QStringLiteral("select obekt_id, ime from obekt order by obekt_id"));
    q.Open();
    std::vector<Row> rows;
    rows.reserve(size_t(q.RecordCount()));
    for (int r = 0; r < q.RecordCount(); ++r)
        rows.push_back({q.Value(r, 0), q.Value(r, 1).toString()});
    q.Close();
    {
        const TScopedFlag changing(m_changing);
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
}

void TObektTable::Open() {
    read();
    m_state = State::Browse;
    setCurrent(m_rows.empty() ? -1 : 0);
}

void TObektTable::Close() {
    {
        const TScopedFlag changing(m_changing);
        beginResetModel();
        m_rows.clear();
        endResetModel();
    }
    m_state = State::Inactive;
    m_current = -1;
}

void TObektTable::setCurrent(int row) {
    m_current = row;
    emit currentMoved(row);
}

bool TObektTable::MoveTo(int row) {
    if (m_state == State::Inactive || m_rows.empty())
        return false;
    row = std::clamp(row, 0, RecordCount() - 1);
    if (row == m_current)
        return true;
    // Leaving a row posts it; a discarded new row shifts the rows after it.
    if (m_state == State::Insert || m_state == State::Edit) {
        const int leaving = m_current;
        const int before = RecordCount();
        if (!Post())
            return false;
        if (RecordCount() < before && row > leaving)
            --row;
        row = std::clamp(row, 0, RecordCount() - 1);
        if (m_rows.empty()) {
            setCurrent(-1);
            return true;
        }
    }
    setCurrent(row);
    return true;
}

void TObektTable::Next() {
    if (m_state == State::Inactive)
        return;
    if (m_current + 1 >= RecordCount()) {
        // Moving past the last row posts it and starts a new one; a new row
        // still without a name stays the one new row.
        if (m_state == State::Insert && m_rows[size_t(m_current)].ime.trimmed().isEmpty())
            return;
        Append();
        return;
    }
    MoveTo(m_current + 1);
}

void TObektTable::startRow(int at) {
    if ((m_state == State::Insert || m_state == State::Edit) && !Post())
        return;
    at = std::clamp(at, 0, RecordCount());
    {
        const TScopedFlag changing(m_changing);
        beginInsertRows({}, at, at);
        m_rows.insert(m_rows.begin() + at, Row{});
        endInsertRows();
    }
    m_state = State::Insert;
    setCurrent(at);
    OBEKTAfterInsert();
}

void TObektTable::Insert() {
    startRow(m_current < 0 ? 0 : m_current);
}

void TObektTable::Append() {
    if ((m_state == State::Insert || m_state == State::Edit) && !Post())
        return;
    startRow(RecordCount());
}

// The id is taken the moment the row is started and is not given back.
void TObektTable::OBEKTAfterInsert() {
    try {
        m_rows[size_t(m_current)].id = m_dm.GenID(QStringLiteral("OBEKT"));
    } catch (const Exception& e) {
        fail(e);
        return;
    }
    emit dataChanged(index(m_current, colId), index(m_current, colId));
}

void TObektTable::Edit() {
    if (m_state != State::Browse || m_current < 0)
        return;
    m_before = m_rows[size_t(m_current)];
    m_state = State::Edit;
}

// An empty name (blanks count as empty) is never stored: the pending insert
// or change is discarded instead.
bool TObektTable::OBEKTBeforePost() {
    if (!m_rows[size_t(m_current)].ime.trimmed().isEmpty())
        return true;
    try {
        Cancel();
    } catch (...) {
    }
    return false;
}

bool TObektTable::Post() {
    if (m_state != State::Insert && m_state != State::Edit)
        return true;
    if (!OBEKTBeforePost())
        return true;
    Row& row = m_rows[size_t(m_current)];
    if (row.ime.size() > kMaxName) {
        fail(Exception(QStringLiteral("Името е по-дълго от %1 знака!!!").arg(kMaxName)));
        return false;
    }
    // A new name shows on every series of the object, old ones too: it is
    // made only with a reason, which the audit trail keeps. An object added
    // in this same editing is still being named.
    const bool renamed = m_state == State::Edit && m_before.ime != row.ime;
    QString reason;
    if (renamed && m_dm.traced() && !m_addedNow.contains(row.id.toLongLong())) {
        const auto typed = TMessages::current().reason(
            qobject_cast<QWidget*>(QObject::parent()), QStringLiteral("Преименуване на обект"),
            QStringLiteral("Новото име ще се вижда във всички серии на обекта, и в старите. "
                           "Защо обект „%1“ се преименува на „%2“? (задължително)")
                .arg(m_before.ime, row.ime));
        if (!typed) {
            Cancel();
            return true;
        }
        reason = *typed;
    }
    try {
        m_dm.trObekt.StartIfInactive();
        TIBQuery q(m_dm.dbNUV, m_dm.trObekt);
        q.setSQL(m_state == State::Insert
                     ? QStringLiteral("insert into obekt(obekt_id, ime) values(:obekt_id, :ime)")
                     : QStringLiteral("update obekt set ime = :ime where obekt_id = :obekt_id"));
        q.ParamByName(QStringLiteral("obekt_id"), row.id);
        q.ParamByName(QStringLiteral("ime"), row.ime);
        q.ExecSQL();
        if (m_state == State::Insert) {
            audit(q, {TTrace::kObjectAdded, QString(), objectText(row.id, row.ime), QString()});
            m_addedNow.insert(row.id.toLongLong());
        }
        else if (renamed)
            audit(q, {TTrace::kObjectRenamed, objectText(row.id, m_before.ime),
                      objectText(row.id, row.ime), reason});
    } catch (const EDatabaseError& e) {
        fail(DatabaseError(QStringLiteral("Обектът „%1“ не беше записан.").arg(row.ime) +
                               changedElsewhere(e),
                           e.message()));
        return false; // the row stays in its insert or edit state
    } catch (const Exception& e) {
        fail(DatabaseError(QStringLiteral("Обектът „%1“ не беше записан.").arg(row.ime),
                           e.message()));
        return false; // the row stays in its insert or edit state
    }
    m_state = State::Browse;
    return true;
}

void TObektTable::Cancel() {
    if (m_state == State::Insert) {
        const int at = m_current;
        eraseRow(at);
        m_state = State::Browse;
        setCurrent(m_rows.empty() ? -1 : std::min(at, RecordCount() - 1));
    } else if (m_state == State::Edit) {
        m_rows[size_t(m_current)] = m_before;
        m_state = State::Browse;
        emit dataChanged(index(m_current, 0), index(m_current, colIme));
    }
}

void TObektTable::eraseRow(int at) {
    const TScopedFlag changing(m_changing);
    beginRemoveRows({}, at, at);
    m_rows.erase(m_rows.begin() + at);
    endRemoveRows();
}

void TObektTable::Delete() {
    if (m_current < 0)
        return;
    if (m_state == State::Insert) {
        Cancel();
        return;
    }
    if (m_state == State::Edit)
        Cancel();
    const Row& row = m_rows[size_t(m_current)];
    try {
        m_dm.trObekt.StartIfInactive();
        if (const qint64 n = seriesUsing(row.id); n > 0) {
            fail(Exception(QStringLiteral("Обектът „%1“ се използва от %2 %3 и не може да бъде "
                                          "изтрит.")
                               .arg(row.ime)
                               .arg(n)
                               .arg(n == 1 ? QStringLiteral("серия") : QStringLiteral("серии"))));
            return; // the row stays
        }
        TIBQuery q(m_dm.dbNUV, m_dm.trObekt);
        q.setSQL(QStringLiteral("delete from obekt where obekt_id = :obekt_id"));
        q.ParamByName(QStringLiteral("obekt_id"), row.id);
        q.ExecSQL();
        audit(q, {TTrace::kObjectDeleted, objectText(row.id, row.ime), QString(), QString()});
    } catch (const EDatabaseError& e) {
        fail(DatabaseError(QStringLiteral("Обектът „%1“ не беше изтрит.").arg(row.ime) +
                               changedElsewhere(e),
                           e.message()));
        return; // the row stays
    } catch (const Exception& e) {
        fail(DatabaseError(QStringLiteral("Обектът „%1“ не беше изтрит.").arg(row.ime),
                           e.message()));
        return; // the row stays
    }
    const int at = m_current;
    eraseRow(at);
    setCurrent(m_rows.empty() ? -1 : std::min(at, RecordCount() - 1));
}

// Another workstation changed or holds the same object: said in a second
// sentence, the engine's words stay below for the maintainer.
QString TObektTable::changedElsewhere(const EDatabaseError& e) {
    for (long code : {isc_update_conflict, isc_deadlock, isc_lock_conflict, isc_lock_timeout})
        if (e.has(code))
            return QStringLiteral(" Друго работно място променя същия обект в момента: "
                                  "затворете регистъра и го отворете отново, за да видите "
                                  "промените му.");
    return {};
}

// The trail's entry goes in the register's transaction: kept with the change
// or not at all.
void TObektTable::audit(TIBQuery& q, const TTrace::AuditEntry& entry) {
    if (m_dm.traced())
        TTrace::audit(q, TClock::program().now(), entry);
}

QString TObektTable::objectText(const QVariant& id, const QString& name) {
    return QStringLiteral("обект %1: %2").arg(id.toString(), name);
}

void TObektTable::fail(const Exception& e) {
    emit failed(e.text(), e.cause());
}

// Series are saved by other workstations too; the count is read in the
// register's own transaction, where the deletion would run.
qint64 TObektTable::seriesUsing(const QVariant& id) {
    TIBQuery q(m_dm.dbNUV, m_dm.trObekt);
    q.setSQL(QStringLiteral("select count(*) from mes_group where obekt_id = :obekt_id"));
    q.ParamByName(QStringLiteral("obekt_id"), id);
    q.Open();
    const qint64 n = q.RecordCount() > 0 ? q.Value(0, 0).toLongLong() : 0;
    q.Close();
    return n;
}

void TObektTable::Refresh() {
    if (!Post())
        return;
    const QVariant keep = m_current >= 0 ? m_rows[size_t(m_current)].id : QVariant();
    read();
    int row = m_rows.empty() ? -1 : 0;
    for (int r = 0; r < RecordCount(); ++r)
        if (m_rows[size_t(r)].id == keep)
            row = r;
    setCurrent(row);
}

int TObektTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RecordCount();
}

int TObektTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant TObektTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const Row& r = m_rows[size_t(index.row())];
    // A name longer than its column is read whole in its tooltip.
    if (role == Qt::ToolTipRole && index.column() == colIme)
        return r.ime;
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    return index.column() == colId ? (r.id.isNull() ? QVariant(QString()) : r.id) : QVariant(r.ime);
}

QVariant TObektTable::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole || o != Qt::Horizontal)
        return {};
    return section == colId ? QStringLiteral("Номер") : QStringLiteral("Име");
}

Qt::ItemFlags TObektTable::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() == colIme)
        f |= Qt::ItemIsEditable; // "Номер" is filled by the program
    return f;
}

bool TObektTable::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || index.column() != colIme || index.row() < 0)
        return false;
    if (index.row() != m_current && !MoveTo(index.row()))
        return false;
    if (m_state == State::Browse)
        Edit();
    m_rows[size_t(index.row())].ime = value.toString();
    emit dataChanged(index, index);
    return true;
}
