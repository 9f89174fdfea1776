#pragma once

#include <QString>

// The files that live beside the executable. Each path is the executable's
// folder followed by a fixed name.
struct AppPaths {
    QString dir; // without a trailing separator

    static AppPaths besideExecutable();
    static AppPaths in(const QString& dir);

    QString settings() const { return dir + QStringLiteral("/prjNUV.ini"); }
    QString log() const { return dir + QStringLiteral("/prjNUV.log"); }
    QString database() const { return dir + QStringLiteral("/NUV.GDB"); }
    QString ports() const { return dir + QStringLiteral("/ports"); }
};
