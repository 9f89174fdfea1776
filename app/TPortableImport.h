#pragma once

#include "core/AppPaths.h"

#include <QString>
#include <QStringList>

// Takes a portable folder's files into the installed program's data folder
// (prjNUV --migrate-from DIR): the database, the settings, the log, a
// server password file named by the settings, and the ports/ links that
// still lead to a device. The database is copied byte for byte and compared
// with its source, so every row comes along; a file already in the data
// folder is kept beside it under the name "<file>.before-import-<moment>".
// Neither folder's program may be running meanwhile.
class TPortableImport {
public:
    TPortableImport(QString from, AppPaths to);

    // What was done, one line per file, for the operator. Throws Exception
    // with the operator's text; nothing of the data folder is then changed
    // except files copied already, each complete.
    QStringList run();

private:
    void copyFile(const QString& name, QStringList& done);
    void copyPorts(QStringList& done);
    QString asideName(const QString& file) const;

    QString m_from;
    AppPaths m_to;
    QString m_stamp;
};
