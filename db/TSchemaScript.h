#pragma once

#include <QString>
#include <QStringList>

// The statements of an isql script (db/schema.sql, db/seed.sql) in order,
// for a program that runs them without isql: comments dropped, "SET TERM"
// followed, "SET SQL DIALECT" and "COMMIT" left out (each statement is
// committed on its own, as isql does with definitions). A terminator inside
// a quoted text or a comment ends nothing.
namespace TSchemaScript {

QStringList statements(const QString& script);

} // namespace TSchemaScript
