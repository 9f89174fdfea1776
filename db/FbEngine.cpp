#include "db/FbEngine.h"

#include "core/TDatabaseSetting.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

namespace FbEngine {

namespace {

// A folder of this user's alone: made closed to others when it is new, and
// refused when someone else made it or put a link in its place.
bool ownFolder(const QString& path) {
    const QByteArray p = QFile::encodeName(path);
    if (::mkdir(p.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    return ::lstat(p.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

bool usableBase(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 &&
           S_ISDIR(st.st_mode) && ::access(QFile::encodeName(path).constData(), W_OK | X_OK) == 0;
}

} // namespace

QString lockFolder() {
    // Memory-backed on Debian: the runtime folder of the user's session, else
    // /dev/shm; the temporary folder only where neither can be used.
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!usableBase(base))
        base = QStringLiteral("/dev/shm");
    if (!usableBase(base))
        base = QDir::tempPath();
    return QDir::cleanPath(base) + QStringLiteral("/prjNUV-%1.fblock").arg(::getuid());
}

QString prepare(const QString& folder) {
    if (!ownFolder(folder))
        return {};
    ::setenv("FIREBIRD_LOCK", QFile::encodeName(folder).constData(), 1);
    return folder;
}

bool isServer(const QString& database) {
    return TDatabaseSetting::isServer(database);
}

} // namespace FbEngine
