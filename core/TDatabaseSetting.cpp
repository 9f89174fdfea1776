#include "core/TDatabaseSetting.h"

#include "core/Exception.h"
#include "core/U_IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// What the embedded file has always been opened with.
const QString kDefaultUser = QStringLiteral("sysdba");
const QString kDefaultPassword = QStringLiteral("quartzend");

// "host:path" or "host/port:path" (an IPv6 host in brackets); a one-letter
// host would be a drive letter.
const QRegularExpression
    kHostForm(QStringLiteral("^([^/:\\\\\\[]{2,}|\\[[^\\]]+\\])(/[^/:]+)?:(.+)$"));
// "inet://host:port/path" and its IPv4/IPv6 forms.
const QRegularExpression kUrlForm(QStringLiteral("^inet[46]?://"),
                                  QRegularExpression::CaseInsensitiveOption);

QString fromEnvironment(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

QString passwordFrom(const QString& file) {
    const QFileInfo info(file);
    if (!info.exists())
        throw SettingsError(
            QStringLiteral("Файлът с паролата за базата данни „%1“ липсва.").arg(file));
    if (info.permissions() & (QFile::ReadGroup | QFile::ReadOther))
        throw SettingsError(
            QStringLiteral("Файлът с паролата за базата данни „%1“ може да се чете "
                           "и от други потребители. Оставете го само за собственика "
                           "му: chmod 600 „%1“.")
                .arg(file));
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        throw SettingsError(QStringLiteral("Файлът с паролата за базата данни „%1“ не може да бъде "
                                           "прочетен: %2.")
                                .arg(file, f.errorString()));
    QString text = QString::fromUtf8(f.readAll());
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

QString besides(const QString& baseDir, const QString& path) {
    return QDir::isAbsolutePath(path) ? path : QDir::cleanPath(baseDir + QLatin1Char('/') + path);
}

} // namespace

bool TDatabaseSetting::isServer(const QString& connection) {
    return kUrlForm.match(connection).hasMatch() || kHostForm.match(connection).hasMatch();
}

QString TDatabaseSetting::display() const {
    return server ? connection : QStringLiteral("локална база");
}

TDatabaseSetting TDatabaseSetting::forConnection(const QString& connection,
                                                 const QString& baseDir) {
    TDatabaseSetting s;
    s.server = isServer(connection);
    s.connection = s.server ? connection : besides(baseDir, connection);
    // The embedded file keeps the user it has always been opened with.
    s.user = s.server ? fromEnvironment("ISC_USER", kDefaultUser) : kDefaultUser;
    s.password = s.server ? fromEnvironment("ISC_PASSWORD", kDefaultPassword) : kDefaultPassword;
    return s;
}

TDatabaseSetting TDatabaseSetting::read(const AppPaths& paths) {
    T_IniFile ini(paths.settings());
    const QString section = QString::fromLatin1(kSection);
    const QString named = ini.ReadString(section, QStringLiteral("Database"), QString()).trimmed();
    TDatabaseSetting s = forConnection(named.isEmpty() ? paths.database() : named, paths.dir);
    if (!s.server)
        return s;
    const QString user = ini.ReadString(section, QStringLiteral("User"), QString()).trimmed();
    if (!user.isEmpty())
        s.user = user;
    const QString file =
        ini.ReadString(section, QStringLiteral("PasswordFile"), QString()).trimmed();
    if (!file.isEmpty())
        s.password = passwordFrom(besides(paths.dir, file));
    return s;
}
