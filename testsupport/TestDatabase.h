#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

#include <tuple>
#include <utility>

class TIBDatabase;

// The embedded engine's lock folder of the test process, set before its
// first database is opened (FIREBIRD_LOCK); the tools a test starts on its
// files (isql-fb, scripts/create-db.sh) inherit it, so every process that
// touches a test database keeps its locks in the same folder.
const QString& testLockFolder();

// A database made from db/schema.sql and db/seed.sql for a test: the first
// call in a test program creates a template with scripts/create-db.sh, every
// call copies it to the given path.
void makeTestDatabase(const QString& path);

// Runs statements through isql, outside the program's own connection.
QString isql(const QString& path, const QString& statements);

// Runs one statement in a transaction of its own, committed at once, with
// the values of its ":name" and of its "?" marks.
void execSql(TIBDatabase& db, const QString& sql,
             const QList<std::pair<QString, QVariant>>& params = {},
             const QList<QVariant>& positional = {});

// All rows of a query, read in a transaction of its own, as another
// workstation would see them.
QList<QList<QVariant>> selectRows(TIBDatabase& db, const QString& sql);
// The same through a connection of its own, as another workstation reads.
QList<QList<QVariant>> selectRows(const QString& database, const QString& user,
                                  const QString& password, const QString& sql);

// A run starting at `start`, in a series or in none (a null group), with its
// samples as (ms after the start, value, device).
void addRun(TIBDatabase& db, int id, const QVariant& group, int dev, const QDateTime& start,
            const QList<std::tuple<int, double, int>>& samples);
