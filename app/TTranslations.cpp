#include "app/TTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool TTranslations::install(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    // Bulgarian whatever the system's language: the program speaks only Bulgarian.
    if (!translator->load(QStringLiteral("qtbase_bg"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
