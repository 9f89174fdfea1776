#pragma once

#include <QString>

// Where a server connection string points: "host:path", "host/port:path",
// "inet://host:port/path" (also "inet://host/path").
struct FbServerAddress {
    QString host;
    // A number or a service name; Firebird's own port when the string names none.
    QString port = QStringLiteral("3050");

    // Empty host for a plain file path.
    static FbServerAddress parse(const QString& database);

    // Whether the host takes a TCP connection on the port within the time.
    // The Firebird client itself waits for a host that drops its packets
    // for as long as the system lets a connect run (minutes); asking first
    // keeps a workstation from hanging on a server that is cut off.
    bool answers(int timeoutMs) const;
};
