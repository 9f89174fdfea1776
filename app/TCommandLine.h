#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The program's own options, read before the application exists (so that
// --version and --migrate-from need no display); anything else on the
// command line is left to Qt (-platform, -style, ...).
//   --version            the version, then the program ends
//   --help               these options, then the program ends
//   --data-dir DIR       the folder of the settings, the log and the database
//   --migrate-from DIR   takes a portable folder's files into the data folder, then ends
struct TCommandLine {
    bool version = false;
    bool help = false;
    QString dataDir;
    QString migrateFrom;
    QString error; // an option without its folder

    static TCommandLine parse(const QStringList& arguments);
    static TCommandLine parse(int argc, char** argv);

    // The work done without a window; the exit code when it was such work.
    std::optional<int> runWithoutWindow(int argc, char** argv) const;

    static QString helpText();
};
