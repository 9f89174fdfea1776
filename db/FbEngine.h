#pragma once

#include <QString>

// The embedded database engine keeps its lock files in a folder of its own.
// Left to itself it takes /tmp/firebird, which the first user to start it
// owns, and every other user is then locked out. Every process that opens a
// database file points the engine at the same folder beside the file,
// owned by the user and closed to others.
namespace FbEngine {

// "<databaseDir>/.fblock".
QString lockFolder(const QString& databaseDir);

// Makes the lock folder (mode 0700) when it is missing and points the
// engine at it (FIREBIRD_LOCK). Call before the first database is opened in
// the process. Where the database's folder cannot hold it, the user's
// runtime folder holds it instead. Returns the folder used, or an empty text
// when neither can be made: the engine then keeps its own default, and
// connecting says what it cannot reach.
QString prepare(const QString& databaseDir);

// Whether a connection string names a database of a Firebird server
// ("host:path", "host/port:path", "inet://host:port/path") rather than a
// file of this machine opened by the embedded engine.
bool isServer(const QString& database);

// How long connecting to a server may wait for it to answer, in seconds: a
// host that is down or cut off is reported instead of waited for.
constexpr int kServerConnectTimeoutSec = 5;

} // namespace FbEngine
