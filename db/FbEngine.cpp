#include "db/FbEngine.h"

#include "core/TDatabaseSetting.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

namespace FbEngine {

namespace {

// A folder of this user's, made closed to others when it is new.
bool ownFolder(const QString& path) {
    const QByteArray p = QFile::encodeName(path);
    if (::mkdir(p.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    return ::stat(p.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(p.constData(), R_OK | W_OK | X_OK) == 0;
}

QString runtimeFolder() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (base.isEmpty())
        base = QDir::tempPath();
    return base + QStringLiteral("/prjNUV-%1.fblock").arg(::getuid());
}

} // namespace

QString lockFolder(const QString& databaseDir) {
    return QDir::cleanPath(QFileInfo(databaseDir).absoluteFilePath()) + QStringLiteral("/.fblock");
}

QString prepare(const QString& databaseDir) {
    QString folder = lockFolder(databaseDir);
    if (!ownFolder(folder)) {
        folder = runtimeFolder();
        if (!ownFolder(folder))
            return {};
    }
    ::setenv("FIREBIRD_LOCK", QFile::encodeName(folder).constData(), 1);
    return folder;
}

bool isServer(const QString& database) {
    return TDatabaseSetting::isServer(database);
}

} // namespace FbEngine
