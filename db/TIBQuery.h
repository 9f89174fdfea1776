#pragma once

#include "db/FbApi.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class TIBDatabase;
class TIBTransaction;

// One fetched row as the engine gave it, read in place: for passes over many
// rows that keep none of them. Valid only inside the call it is handed to.
class TIBRow {
public:
    bool isNull(int column) const;
    // Any numeric column as a double (a scaled integer with its scale).
    double number(int column) const;
    ISC_TIMESTAMP timestamp(int column) const; // a timestamp column
    QVariant value(int column) const;          // as Open() would give it

private:
    friend class TIBQuery;
    TIBRow(const unsigned char* buf, const void* layout) : m_buf(buf), m_layout(layout) {}
    const unsigned char* m_buf;
    const void* m_layout;
};

// A statement on the connection, run in its transaction: executed (insert,
// update, delete) or opened as a query whose rows are read whole and then
// walked by a cursor, columns by name. ":name" marks a named parameter, "?" a
// positional one; every value reaches the server bound to its mark, never
// inside the statement's text: integers, doubles (an infinite or undefined
// double is refused with an exception), date-times as timestamps, dates,
// text in Windows-1251, bytes (a QByteArray, for a column of character set
// OCTETS, which reads back as one), and null (an invalid or null QVariant).
// A NULL column reads as an invalid QVariant. The statement stays prepared
// while its text and the connection stay the same.
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
    // The values of the "?" marks, in their order.
    void setParams(const QList<QVariant>& values) { m_positional = values; }

    void ExecSQL();
    void Open();
    // Runs the query and hands each row to `row` as it is fetched, keeping
    // none of them: for reading a run of any length in one pass. The query
    // is closed afterwards.
    using RowSink = std::function<void(const std::vector<QVariant>& row)>;
    void Each(const RowSink& row);
    // The same, each row read in place without a value made of any column.
    using RawSink = std::function<void(const TIBRow& row)>;
    void Stream(const RawSink& row);
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
    // Every row's name with its id, in the rows' order, for a choice list;
    // none when the query is not open.
    QList<QPair<QString, QVariant>> Choices(const QString& idField, const QString& nameField) const;

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
    // A mark of the text: a name, or the position among the "?" marks.
    struct Slot {
        QString name;
        int position = -1;
    };
    void run(bool fetch);
    void runOnce(bool fetch);
    void opened();
    QString positionalText(QList<Slot>& order) const;
    QList<QVariant> valuesOf(const QList<Slot>& order) const;
    void prepare(const QByteArray& sql, Firebird::ITransaction* tra, fb::Status& st);
    void bindInput(const QList<QVariant>& values, fb::Status& st);
    void forgetStatement();

    TIBDatabase& m_db;
    TIBTransaction& m_tr;
    const RowSink* m_sink = nullptr;    // while Each() runs
    const RawSink* m_rawSink = nullptr; // while Stream() runs
    QString m_sql;
    QList<Param> m_params;
    QList<QVariant> m_positional;
    // The prepared statement, what it was prepared from and on which connection.
    fb::Ref<Firebird::IStatement> m_stmt;
    QByteArray m_preparedSql;
    int m_preparedOn = -1;
    fb::Ref<Firebird::IMessageMetadata> m_declaredIn;
    fb::Ref<Firebird::IMessageMetadata> m_outMeta;
    // The input message as the values describe it, kept while their kinds stay the same.
    fb::Ref<Firebird::IMessageMetadata> m_inMeta;
    std::vector<unsigned> m_inShape;
    std::vector<unsigned char> m_inBuffer;
    QStringList m_fields;
    using Rows = std::vector<std::vector<QVariant>>;
    // The rows of an open query; nothing of them is kept once it closes.
    std::shared_ptr<const Rows> m_rows = std::make_shared<Rows>();
    bool m_active = false;
    int m_row = -1;
    bool m_eof = true;
    bool m_bof = true;
    std::vector<std::function<void()>> m_listeners;
};
