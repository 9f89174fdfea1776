#pragma once

#include <QString>
#include <QStringList>

// A new database file with the program's tables and first specimen types,
// made by the program itself from the schema and seed scripts (the
// installed program's first start), as scripts/create-db.sh makes one with
// isql: character set WIN1251, 8 KiB pages. The file is built under another
// name beside its place and renamed at the end, so a failure leaves no
// half-made database where the program looks for one. An existing file is
// never touched.
namespace TNewDatabase {

// Throws EDatabaseError (the engine's refusal) or Exception (a script that
// cannot be read), with the operator's text naming the file.
void create(const QString& path, const QStringList& scriptFiles);

} // namespace TNewDatabase
