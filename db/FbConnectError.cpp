#include "db/FbConnectError.h"

#include <QFileInfo>

#include <cerrno>

#include <unistd.h>

namespace FbConnectError {

namespace {

// "host:path" goes to a server; only a plain path is a file of this machine.
bool localFile(const QString& path) {
    return path.startsWith(QLatin1Char('/')) || !path.contains(QLatin1Char(':'));
}

bool hasAny(const EDatabaseError& e, std::initializer_list<long> codes) {
    for (long c : codes) {
        if (e.has(c))
            return true;
    }
    return false;
}

bool lockedBySomeoneElse(const EDatabaseError& e) {
    return hasAny(e, {isc_already_opened, isc_lock_conflict, isc_lock_timeout}) ||
           e.osError() == EWOULDBLOCK || e.osError() == EAGAIN || e.osError() == EBUSY;
}

bool refused(const EDatabaseError& e) {
    return hasAny(e, {isc_no_priv, isc_lock_dir_access}) || e.osError() == EACCES ||
           e.osError() == EPERM || e.osError() == EROFS;
}

// A read that finds less than a database or other than one; an I/O error
// without a system error is the engine finding the file short ("File size is
// less than expected").
bool damaged(const EDatabaseError& e) {
    if (e.has(isc_io_error) && e.osError() == 0)
        return true;
    return hasAny(e,
                  {isc_bad_db_format, isc_db_corrupt, isc_wrong_ods, isc_badodsver, isc_bug_check,
                   isc_io_read_err, isc_no_crypt_plugin, isc_decrypt_error, isc_bad_crypt_key});
}

// Read and write, as the engine opens it; root passes this whatever the mode.
bool accessible(const QString& path) {
    const QByteArray p = path.toLocal8Bit();
    return ::access(p.constData(), R_OK | W_OK) == 0;
}

QString causeText(Cause cause, const QString& path) {
    switch (cause) {
    case Cause::Missing:
        return QStringLiteral("Базата данни „%1“ липсва: няма такъв файл.").arg(path);
    case Cause::Damaged:
        return QStringLiteral("Базата данни „%1“ е повредена или файлът не е база данни.")
            .arg(path);
    case Cause::Locked:
        return QStringLiteral(
                   "Базата данни „%1“ е заета: друг процес (друго копие на програмата) я държи "
                   "отворена.")
            .arg(path);
    case Cause::NoPermission:
        return QStringLiteral(
                   "Няма права за достъп до базата данни „%1“: файлът или папката му не могат да "
                   "се четат и пишат от този потребител.")
            .arg(path);
    case Cause::Other:
        break;
    }
    return QStringLiteral("Базата данни „%1“ не може да бъде отворена.").arg(path);
}

} // namespace

Cause classify(const QString& path, const EDatabaseError& e) {
    if (lockedBySomeoneElse(e))
        return Cause::Locked;
    if (refused(e))
        return Cause::NoPermission;
    if (e.osError() == ENOENT)
        return Cause::Missing;
    if (localFile(path)) {
        const QFileInfo file(path);
        if (!file.exists())
            return Cause::Missing;
        if (!accessible(path))
            return Cause::NoPermission;
    }
    if (damaged(e))
        return Cause::Damaged;
    return Cause::Other;
}

QString message(const QString& path, const EDatabaseError& e) {
    const QString engine = e.message();
    const QString head = causeText(classify(path, e), path);
    return engine.isEmpty() ? head : head + QStringLiteral("\r\n") + engine;
}

QString notOurs(const QString& path, const QStringList& missing) {
    return QStringLiteral("Файлът „%1“ е база данни, но не на тази програма: в нея липсват %2.")
        .arg(path, missing.join(QStringLiteral(", ")));
}

} // namespace FbConnectError
