#pragma once

#include "core/AppPaths.h"

#include <QString>

// Which database the program works on. The settings file may name it in
// [database] Database: a file (the embedded engine, a relative path taken
// from the executable's folder) or a Firebird server ("host:path",
// "host/port:path", "inet://host:port/path"). Without it the program works on
// NUV.GDB beside the executable. On a server the user and the password come
// from the keys User and PasswordFile (a file that holds only the password
// and that no one but its owner may read) or from ISC_USER / ISC_PASSWORD.
// The password is never shown, logged or written back.
struct TDatabaseSetting {
    QString connection; // what the engine is given
    bool server = false;
    QString user;
    QString password;

    // "локална база" for a file, the server and its path for a server.
    QString display() const;

    // Throws Exception with the operator's text when the password file
    // cannot be used.
    static TDatabaseSetting read(const AppPaths& paths);
    // The user and password for a connection string given on a command line.
    static TDatabaseSetting forConnection(const QString& connection, const QString& baseDir);
    static bool isServer(const QString& connection);

    static constexpr const char* kSection = "database";
};
