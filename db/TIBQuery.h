#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class TIBDatabase;
class TIBTransaction;

// A statement on the connection, run in its transaction: executed (insert,
// update, delete) or opened as a query whose rows are read whole and then
// walked by a cursor, columns by name. ":name" marks a parameter.
// A NULL column reads as an invalid QVariant.
class TIBQuery {
public:
    TIBQuery(TIBDatabase& db, TIBTransaction& tr);
    ~TIBQuery();
    TIBQuery(const TIBQuery&) = delete;
    TIBQuery& operator=(const TIBQuery&) = delete;

    // Setting a new text closes the query and forgets the parameter values.
    void setSQL(const QString& text);
    const QString& SQL() const { return m_sql; }
    void ParamByName(const QString& name, const QVariant& value);

    void ExecSQL();
    void Open();
    void Close();
    bool Active() const { return m_active; }

    int RecordCount() const { return m_active ? int(m_rows->size()) : 0; }
    int RecNo() const { return m_row; } // 0-based, -1 when there are no rows
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    void First();
    void Next();
    void Prior();
    void MoveBy(int distance);
    void MoveTo(int row);

    int FieldIndex(const QString& name) const;       // -1 when there is no such column
    QVariant FieldByName(const QString& name) const; // of the current row
    QVariant Value(int row, int column) const;
    const QStringList& FieldNames() const { return m_fields; }

    TIBTransaction& Transaction() const { return m_tr; }

    // Called after every open and close (grids listen here), and after a move of the cursor.
    void addStateListener(std::function<void()> listener) {
        m_listeners.push_back(std::move(listener));
    }
    std::function<void()> AfterScroll;

private:
    struct Param {
        QString name;
        QVariant value;
    };
    void run(bool fetch);
    void opened();
    QString positionalText(QStringList& order) const;

    TIBDatabase& m_db;
    TIBTransaction& m_tr;
    QString m_sql;
    QList<Param> m_params;
    QStringList m_fields;
    using Rows = std::vector<std::vector<QVariant>>;
    std::shared_ptr<const Rows> m_rows = std::make_shared<Rows>();
    // The last rows read, with what they were read for: the transaction runs
    // as a snapshot, so the same statement with the same values reads the
    // same rows again until the transaction ends.
    struct Cache {
        QString sql;
        QList<QVariant> values;
        int generation = -1;
        int writes = -1;
        QStringList fields;
        std::shared_ptr<const Rows> rows;
    } m_cache;
    bool m_active = false;
    int m_row = -1;
    bool m_eof = true;
    bool m_bof = true;
    std::vector<std::function<void()>> m_listeners;
};
