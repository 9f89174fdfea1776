#pragma once

#include <QString>

// A database made from db/schema.sql and db/seed.sql for a test: the first
// call in a test program creates a template with scripts/create-db.sh, every
// call copies it to the given path.
void makeTestDatabase(const QString& path);

// Runs statements through isql, outside the program's own connection.
QString isql(const QString& path, const QString& statements);
