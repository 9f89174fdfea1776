#include "app/TFirstStart.h"

#include "core/Exception.h"
#include "core/LogFileU.h"
#include "core/TDataFolder.h"
#include "core/TDatabaseSetting.h"
#include "db/TNewDatabase.h"

#include <QFileInfo>

#include <cstdio>

namespace TFirstStart {

QString makeDatabase(const AppPaths& paths) {
    if (!paths.installed() || QFileInfo::exists(paths.database()))
        return {};
    try {
        if (TDatabaseSetting::read(paths).connection != paths.database())
            return {};
    } catch (const Exception&) {
        return {}; // the settings check at start names what is wrong with them
    }
    TNewDatabase::create(paths.database(), {paths.schema(), paths.seed()});
    TDataFolder::share(paths.database());
    const QString text = QStringLiteral("Създадена е нова база данни: %1").arg(paths.database());
    std::fprintf(stderr, "prjNUV: %s\n", text.toLocal8Bit().constData());
    try {
        WriteLog(text, QStringLiteral("start"), paths.log());
    } catch (const Exception&) {
        // the database is there all the same; the window says where
    }
    return text;
}

} // namespace TFirstStart
