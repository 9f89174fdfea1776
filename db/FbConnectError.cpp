#include "db/FbConnectError.h"

#include "db/FbEngine.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace FbConnectError {

namespace {

// "host:path" goes to a server; only a plain path is a file of this machine.
bool localFile(const QString& path) {
    return !FbEngine::isServer(path);
}

bool hasAny(const EDatabaseError& e, std::initializer_list<long> codes) {
    for (long c : codes) {
        if (e.has(c))
            return true;
    }
    return false;
}

// A server sends the system's error about its file as text, without the
// number; the texts are the system's own (English where the server runs
// without a locale, as services do).
int systemError(const QString& path, const EDatabaseError& e) {
    if (e.osError() != 0 || localFile(path) || !e.has(isc_io_error))
        return e.osError();
    const QString text = e.message();
    for (int code : {ENOENT, EACCES, EPERM, EROFS}) {
        if (text.contains(QString::fromLocal8Bit(std::strerror(code))))
            return code;
    }
    if (text.contains(QLatin1String("No such file or directory")))
        return ENOENT;
    if (text.contains(QLatin1String("Permission denied")))
        return EACCES;
    return 0;
}

// No server answered: the host is down or cut off, nothing listens on the
// port, or the wait for an answer ran out.
bool unreachable(const EDatabaseError& e) {
    return hasAny(e, {isc_network_error, isc_net_connect_err, isc_net_connect_listen_err,
                      isc_net_lookup_err, isc_connect_reject, isc_net_read_err, isc_net_write_err,
                      isc_conn_lost});
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
    case Cause::Unreachable:
        return QStringLiteral("Сървърът на базата данни „%1“ не отговаря: няма връзка с него по "
                              "мрежата или той не работи.")
            .arg(path);
    case Cause::LoginRefused:
        return QStringLiteral("Сървърът на базата данни „%1“ отказа достъп: потребителското име "
                              "или паролата не са верни.")
            .arg(path);
    case Cause::Other:
        break;
    }
    return QStringLiteral("Базата данни „%1“ не може да бъде отворена.").arg(path);
}

} // namespace

Cause classify(const QString& path, const EDatabaseError& e) {
    if (e.has(isc_login))
        return Cause::LoginRefused;
    if (unreachable(e))
        return Cause::Unreachable;
    if (lockedBySomeoneElse(e))
        return Cause::Locked;
    const int os = systemError(path, e);
    if (refused(e) || (os != e.osError() && (os == EACCES || os == EPERM || os == EROFS)))
        return Cause::NoPermission;
    if (os == ENOENT)
        return Cause::Missing;
    // The server's other troubles with its file stay the server's texts.
    if (!localFile(path) && e.has(isc_io_error) && os == 0)
        return Cause::Other;
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
