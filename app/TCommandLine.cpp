#include "app/TCommandLine.h"

#include "app/TPortableImport.h"
#include "core/AppPaths.h"
#include "core/Exception.h"
#include "core/TDataFolder.h"
#include "core/TVersion.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

void print(FILE* to, const QString& text) {
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
}

} // namespace

TCommandLine TCommandLine::parse(const QStringList& arguments) {
    TCommandLine c;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        const auto folder = [&](const QString& name, QString& into) {
            if (a.startsWith(name + QLatin1Char('='))) {
                into = a.mid(name.size() + 1);
                return true;
            }
            if (a != name)
                return false;
            if (i + 1 < arguments.size())
                into = arguments.at(++i);
            if (into.isEmpty())
                c.error = QStringLiteral("%1 иска папка").arg(name);
            return true;
        };
        if (a == QLatin1String("--version"))
            c.version = true;
        else if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            c.help = true;
        else if (!folder(QStringLiteral("--data-dir"), c.dataDir))
            folder(QStringLiteral("--migrate-from"), c.migrateFrom);
    }
    return c;
}

TCommandLine TCommandLine::parse(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return parse(arguments);
}

QString TCommandLine::helpText() {
    return QStringLiteral(
               "Употреба: prjNUV [--data-dir ПАПКА] [--migrate-from ПАПКА] [--version]\n"
               "\n"
               "  --data-dir ПАПКА      папката с настройките, дневника и базата данни\n"
               "                        (инсталираната програма: %1 или %2)\n"
               "  --migrate-from ПАПКА  пренася базата данни, настройките и дневника от\n"
               "                        преносима папка (build/bin) в папката с данни\n"
               "  --version             версията на програмата\n")
        .arg(QLatin1String(AppPaths::kSharedDataDir), QLatin1String(AppPaths::kDataDirVariable));
}

std::optional<int> TCommandLine::runWithoutWindow(int argc, char** argv) const {
    if (!error.isEmpty()) {
        print(stderr, QStringLiteral("prjNUV: ") + error);
        return 1;
    }
    if (version) {
        print(stdout, QStringLiteral("prjNUV %1").arg(QLatin1String(NUV_VERSION)));
        return 0;
    }
    if (help) {
        print(stdout, helpText());
        return 0;
    }
    if (migrateFrom.isEmpty())
        return std::nullopt;
    QCoreApplication app(argc, argv);
    const AppPaths paths = AppPaths::forProgram(dataDir);
    if (const auto problem = TDataFolder::prepare(paths)) {
        print(stderr, QStringLiteral("prjNUV: ") + *problem);
        return 2;
    }
    try {
        const QStringList done = TPortableImport(migrateFrom, paths).run();
        for (const QString& line : done)
            print(stdout, line);
        print(stdout, QStringLiteral("Пренесено в %1").arg(paths.dir));
        return 0;
    } catch (const Exception& e) {
        print(stderr, QStringLiteral("prjNUV: ") + e.message());
        return 2;
    }
}
