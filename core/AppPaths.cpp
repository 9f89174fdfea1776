#include "core/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString clean(const QString& dir) {
    QString d = QDir::cleanPath(QDir(dir).absolutePath());
    while (d.size() > 1 && d.endsWith(QLatin1Char('/')))
        d.chop(1);
    return d;
}

} // namespace

AppPaths AppPaths::besideExecutable() {
    return in(QCoreApplication::applicationDirPath());
}

AppPaths AppPaths::in(const QString& dir) {
    QString d = QDir::cleanPath(dir);
    while (d.size() > 1 && d.endsWith(QLatin1Char('/')))
        d.chop(1);
    return AppPaths{d, {}};
}

AppPaths AppPaths::forProgram(const QString& dataDirOption) {
    return resolve(QCoreApplication::applicationDirPath(), dataDirOption,
                   qEnvironmentVariable(kDataDirVariable));
}

AppPaths AppPaths::resolve(const QString& exeDir, const QString& option, const QString& variable) {
    const QString schemaDir = packagedSchemaDir(exeDir);
    QString dir = exeDir;
    if (!option.isEmpty())
        dir = option;
    else if (!schemaDir.isEmpty())
        dir = variable.isEmpty() ? QString::fromLatin1(kSharedDataDir) : variable;
    return AppPaths{clean(dir), schemaDir};
}

QString AppPaths::packagedSchemaDir(const QString& exeDir) {
    const QFileInfo bin(clean(exeDir));
    if (bin.fileName() != QLatin1String("bin"))
        return {};
    const QString dir = clean(bin.absolutePath() + QStringLiteral("/share/prjnuv"));
    return QFileInfo::exists(dir + QStringLiteral("/schema.sql")) ? dir : QString();
}
