#include "app/TPortableImport.h"

#include "app/TInstanceLock.h"
#include "core/Exception.h"
#include "core/ProfileFile.h"
#include "core/TDataFolder.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

QByteArray digest(const QString& file) {
    QFile f(file);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!f.open(QIODevice::ReadOnly) || !hash.addData(&f))
        return {};
    return hash.result();
}

void requireFree(const TInstanceLock& lock, const QString& database) {
    if (lock.state() == TInstanceLock::State::HeldByAnother)
        throw Exception(QStringLiteral("Програмата работи с базата данни „%1“. Затворете я и "
                                       "опитайте отново.")
                            .arg(database));
}

} // namespace

TPortableImport::TPortableImport(QString from, AppPaths to)
    : m_from(QDir::cleanPath(QDir(from).absolutePath())), m_to(std::move(to)),
      m_stamp(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))) {}

QStringList TPortableImport::run() {
    const QString source = m_from + QStringLiteral("/NUV.GDB");
    if (m_from == m_to.dir)
        throw Exception(QStringLiteral("„%1“ вече е папката с данни.").arg(m_from));
    if (!QFileInfo(source).isFile())
        throw Exception(QStringLiteral("В „%1“ няма база данни NUV.GDB.").arg(m_from));
    // Held to the end: neither program can start on these databases meanwhile.
    const TInstanceLock fromLock(TInstanceLock::pathFor(source));
    requireFree(fromLock, source);
    const TInstanceLock toLock(TInstanceLock::pathFor(m_to.database()));
    requireFree(toLock, m_to.database());

    QStringList done;
    for (const char* name : {"NUV.GDB", "prjNUV.ini", "prjNUV.log"})
        copyFile(QLatin1String(name), done);
    // A server's password file named relative to the folder goes with the settings.
    TProfileFile ini(m_from + QStringLiteral("/prjNUV.ini"));
    ini.load();
    const auto passwordFile = ini.value(QStringLiteral("database"), QStringLiteral("PasswordFile"));
    if (passwordFile && !passwordFile->trimmed().isEmpty() &&
        QFileInfo(passwordFile->trimmed()).isRelative())
        copyFile(passwordFile->trimmed(), done);
    copyPorts(done);
    return done;
}

QString TPortableImport::asideName(const QString& file) const {
    return file + QStringLiteral(".before-import-") + m_stamp;
}

// Copied beside its place and compared, then renamed into place; a file
// that was there moves aside first.
void TPortableImport::copyFile(const QString& name, QStringList& done) {
    const QString from = m_from + QLatin1Char('/') + name;
    if (!QFileInfo(from).isFile())
        return;
    const QString to = m_to.dir + QLatin1Char('/') + name;
    const QString partial =
        m_to.dir +
        QStringLiteral("/.%1.importing.%2").arg(QFileInfo(name).fileName()).arg(::getpid());
    QDir().mkpath(QFileInfo(to).absolutePath());
    QFile::remove(partial);
    const QByteArray sum = digest(from);
    if (!QFile::copy(from, partial) || sum.isEmpty() || digest(partial) != sum) {
        QFile::remove(partial);
        throw Exception(QStringLiteral("„%1“ не може да бъде копиран в „%2“.").arg(from, m_to.dir));
    }
    // The password file stays readable by its owner alone.
    if (QFileInfo(from).permissions() & (QFile::ReadGroup | QFile::ReadOther))
        TDataFolder::share(partial);
    else
        QFile::setPermissions(partial, QFile::ReadOwner | QFile::WriteOwner);
    QString line = QStringLiteral("%1 -> %2").arg(from, to);
    if (QFileInfo::exists(to)) {
        if (!QFile::rename(to, asideName(to))) {
            QFile::remove(partial);
            throw Exception(QStringLiteral("„%1“ не може да бъде преименуван.").arg(to));
        }
        line += QStringLiteral(" (досегашният файл е запазен като %1)").arg(asideName(to));
    }
    if (!QFile::rename(partial, to)) {
        QFile::remove(partial);
        throw Exception(QStringLiteral("„%1“ не може да бъде записан.").arg(to));
    }
    done.append(line);
}

// A link the simulator left behind leads nowhere and is not taken.
void TPortableImport::copyPorts(QStringList& done) {
    const QDir ports(m_from + QStringLiteral("/ports"));
    const QFileInfoList links =
        ports.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo& link : links) {
        const QString target = link.symLinkTarget();
        if (!link.isSymLink() || !QFileInfo::exists(target))
            continue;
        const QString to = m_to.ports() + QLatin1Char('/') + link.fileName();
        QDir().mkpath(m_to.ports());
        if (QFileInfo(to).isSymLink() || QFileInfo::exists(to))
            continue;
        if (QFile::link(target, to))
            done.append(QStringLiteral("%1 -> %2").arg(link.filePath(), to));
    }
}
