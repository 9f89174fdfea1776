#include "core/TDataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TDataFolder {

namespace {

QString groupOf(const QString& dir) {
    struct stat st {};
    if (::stat(QFile::encodeName(dir).constData(), &st) != 0)
        return {};
    const group* g = ::getgrgid(st.st_gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid);
}

bool groupWritable(const QString& dir) {
    struct stat st {};
    return ::stat(QFile::encodeName(dir).constData(), &st) == 0 && (st.st_mode & S_IWGRP);
}

bool writable(const QString& dir) {
    return ::access(QFile::encodeName(dir).constData(), R_OK | W_OK | X_OK) == 0;
}

} // namespace

QString userName() {
    const passwd* pw = ::getpwuid(::geteuid());
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(::geteuid());
}

bool sharedByGroup(const QString& dir) {
    struct stat st {};
    return ::stat(QFile::encodeName(dir).constData(), &st) == 0 && (st.st_mode & S_ISGID);
}

void share(const QString& file) {
    QFile::Permissions p = QFile::ReadOwner | QFile::WriteOwner;
    if (sharedByGroup(QFileInfo(file).absolutePath()))
        p |= QFile::ReadGroup | QFile::WriteGroup;
    QFile::setPermissions(file, p);
}

std::optional<QString> prepare(const AppPaths& paths) {
    if (!paths.installed())
        return std::nullopt;
    const QString& dir = paths.dir;
    if (!QFileInfo(dir).isDir()) {
        if (dir == QLatin1String(AppPaths::kSharedDataDir))
            return QStringLiteral("Папката с данни „%1“ липсва. Тя се създава при инсталиране "
                                  "на пакета: sudo apt install --reinstall prjnuv")
                .arg(dir);
        if (!QDir().mkpath(dir))
            return QStringLiteral("Папката с данни „%1“ не може да бъде създадена.").arg(dir);
    }
    if (!writable(dir)) {
        const QString refused =
            QStringLiteral("Нямате право на запис в папката с данни „%1“.").arg(dir);
        if (!groupWritable(dir))
            return refused + QStringLiteral(" Посочете друга папка с --data-dir или %1.")
                                 .arg(QLatin1String(AppPaths::kDataDirVariable));
        return refused + QStringLiteral(" Добавете потребителя в групата %1 (sudo adduser %2 "
                                        "%1), след това излезте от системата и влезте отново.")
                             .arg(groupOf(dir), userName());
    }
    // The group's members take over each other's files: the settings, the
    // log and the lock file are created writable by the group.
    if (sharedByGroup(dir)) {
        const mode_t old = ::umask(0);
        ::umask(old & ~mode_t(S_IRWXG));
    }
    return std::nullopt;
}

} // namespace TDataFolder
