#include "core/AppPaths.h"

#include <QCoreApplication>
#include <QDir>

AppPaths AppPaths::besideExecutable() {
    return in(QCoreApplication::applicationDirPath());
}

AppPaths AppPaths::in(const QString& dir) {
    QString d = QDir::cleanPath(dir);
    while (d.size() > 1 && d.endsWith(QLatin1Char('/')))
        d.chop(1);
    return AppPaths{d};
}
