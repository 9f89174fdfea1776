#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <utility>

class TIBDatabase;

// A database made from db/schema.sql and db/seed.sql for a test: the first
// call in a test program creates a template with scripts/create-db.sh, every
// call copies it to the given path.
void makeTestDatabase(const QString& path);

// Runs statements through isql, outside the program's own connection.
QString isql(const QString& path, const QString& statements);

// Runs one statement in a transaction of its own, committed at once.
void execSql(TIBDatabase& db, const QString& sql,
             const QList<std::pair<QString, QVariant>>& params = {});

// All rows of a query, read in a transaction of its own, as another
// workstation would see them.
QList<QList<QVariant>> selectRows(TIBDatabase& db, const QString& sql);
