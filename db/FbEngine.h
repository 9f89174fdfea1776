#pragma once

#include <QString>

// The embedded database engine keeps its lock files in a folder of its own
// and maps them into memory. Left to itself it takes /tmp/firebird, which the
// first user to start it owns, and every other user is then locked out. A
// folder beside the database is no better: when that disk fills, the engine
// touches a page of a mapped lock file that the disk cannot back and the
// kernel kills the program. Every process of this user that opens a database
// file therefore points the engine at one folder of the user's own in memory:
// the user's runtime folder ($XDG_RUNTIME_DIR), or /dev/shm where there is
// none. Two programs on one database file are kept apart by the engine's
// exclusive lock on the file itself, whatever their lock folders.
namespace FbEngine {

// "<runtime folder>/prjNUV-<uid>.fblock".
QString lockFolder();

// Makes the lock folder (mode 0700, the user's own) when it is missing and
// points the engine at it (FIREBIRD_LOCK). Call before the first database is
// opened in the process. Returns the folder used, or an empty text when none
// can be made: the engine then keeps its own default, and connecting says
// what it cannot reach. Tests name a folder of their own.
QString prepare(const QString& folder = lockFolder());

// Whether a connection string names a database of a Firebird server
// ("host:path", "host/port:path", "inet://host:port/path") rather than a
// file of this machine opened by the embedded engine.
bool isServer(const QString& database);

// How long connecting to a server may wait for it to answer, in seconds: a
// host that is down or cut off is reported instead of waited for.
constexpr int kServerConnectTimeoutSec = 5;

} // namespace FbEngine
