#pragma once

#include <QString>

// Where the program keeps its files: the settings, the log, the database, its
// lock and the ports/ links, all in one folder. A portable program keeps
// them beside its executable; an installed one (its executable in
// <prefix>/bin, its schema in <prefix>/share/prjnuv) in the laboratory's data
// folder, /var/lib/prjnuv, shared by the users of the group prjnuv, or in the
// folder that --data-dir or NUV_DATA_DIR names.
struct AppPaths {
    QString dir; // without a trailing separator
    // Where the installed program's schema lies; empty for a portable program.
    QString schemaDir;

    static AppPaths besideExecutable();
    static AppPaths in(const QString& dir);
    // The folder of this process: see resolve().
    static AppPaths forProgram(const QString& dataDirOption = QString());
    // The rule, apart from the process: an option names the folder; else an
    // installed program takes NUV_DATA_DIR when it is set, or the shared data
    // folder; a portable program keeps its own folder whatever the environment.
    static AppPaths resolve(const QString& exeDir, const QString& option, const QString& variable);
    // "<prefix>/share/prjnuv" when exeDir is "<prefix>/bin" and the schema is there.
    static QString packagedSchemaDir(const QString& exeDir);

    bool installed() const { return !schemaDir.isEmpty(); }
    QString settings() const { return dir + QStringLiteral("/prjNUV.ini"); }
    QString log() const { return dir + QStringLiteral("/prjNUV.log"); }
    QString database() const { return dir + QStringLiteral("/NUV.GDB"); }
    QString ports() const { return dir + QStringLiteral("/ports"); }
    QString schema() const { return schemaDir + QStringLiteral("/schema.sql"); }
    QString seed() const { return schemaDir + QStringLiteral("/seed.sql"); }

    static constexpr const char* kSharedDataDir = "/var/lib/prjnuv";
    static constexpr const char* kDataDirVariable = "NUV_DATA_DIR";
};
