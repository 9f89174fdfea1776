#include "app/TCommandLine.h"
#include "app/TFirstStart.h"
#include "app/TInstanceLock.h"
#include "app/TSignalWatcher.h"
#include "app/TStartupMessage.h"
#include "app/TTranslations.h"
#include "app/TfrmMain.h"
#include "core/AppPaths.h"
#include "core/Exception.h"
#include "core/TDataFolder.h"
#include "core/TSettingsCheck.h"
#include "core/TVersion.h"
#include "db/FbEngine.h"
#include "db/dmmainU.h"

#include <QApplication>

#include <cstdio>
#include <optional>

namespace {

constexpr int kExitAlreadyRunning = 3;
constexpr int kExitBadSettings = 2;
// A second program on the same database says so and is gone within 5 s.
constexpr int kAlreadyRunningBoxMs = 4000;

// One program per database; a lock file that cannot be used at all (a
// read-only folder) stops nothing: the engine then reports the folder itself.
bool secondInstance(const TInstanceLock& lock, const AppPaths& paths,
                    TSignalWatcher& signalWatcher) {
    if (lock.state() == TInstanceLock::State::Unavailable)
        std::fprintf(stderr, "prjNUV: %s: %s\n", qPrintable(lock.path()),
                     qPrintable(lock.reason()));
    if (lock.state() != TInstanceLock::State::HeldByAnother)
        return false;
    TStartupMessage::show(
        QStringLiteral("Програмата вече работи с тази база данни\n%1").arg(paths.database()),
        kAlreadyRunningBoxMs, &signalWatcher);
    return true;
}

bool settingsRefused(const AppPaths& paths, TSignalWatcher& signalWatcher) {
    const QStringList problems = TSettingsCheck::problems(paths.settings());
    if (problems.isEmpty())
        return false;
    TStartupMessage::show(problems.join(QStringLiteral("\n\n")), 0, &signalWatcher);
    return true;
}

// An installed program's data folder that this user cannot work in.
bool dataFolderRefused(const AppPaths& paths, TSignalWatcher& signalWatcher) {
    const auto problem = TDataFolder::prepare(paths);
    if (problem)
        TStartupMessage::show(*problem, 0, &signalWatcher);
    return bool(problem);
}

// The installed program's first start makes its database; the text says where.
std::optional<QString> firstStart(const AppPaths& paths, TSignalWatcher& signalWatcher) {
    try {
        return TFirstStart::makeDatabase(paths);
    } catch (const Exception& e) {
        TStartupMessage::show(e.message(), 0, &signalWatcher);
        return std::nullopt;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    // --version, --help and --migrate-from end here, without a window.
    const TCommandLine options = TCommandLine::parse(argc, argv);
    if (const auto code = options.runWithoutWindow(argc, argv))
        return *code;

    // First of all, before any thread (the database engine's included) exists.
    TSignalWatcher::blockTerminationSignals();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("prjNUV"));
    QApplication::setApplicationVersion(QLatin1String(NUV_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("bg.nuv.prjnuv"));
    TTranslations::install(app);
    TSignalWatcher signalWatcher;
    const AppPaths paths = AppPaths::forProgram(options.dataDir);
    if (dataFolderRefused(paths, signalWatcher))
        return kExitBadSettings;

    // The embedded engine's lock folder, before the first database is opened.
    FbEngine::prepare();

    const TInstanceLock lock(TInstanceLock::pathFor(paths.database()));
    if (secondInstance(lock, paths, signalWatcher))
        return kExitAlreadyRunning;
    if (settingsRefused(paths, signalWatcher))
        return kExitBadSettings;
    const std::optional<QString> made = firstStart(paths, signalWatcher);
    if (!made)
        return kExitBadSettings;

    // The data module outlives the main window: the window's last save and the
    // end of acquisition may still need it.
    TdmMain dmMain;
    TfrmMain frmMain(paths, dmMain);
    // A termination signal takes the close button's path.
    QObject::connect(&signalWatcher, &TSignalWatcher::received, &frmMain, &TfrmMain::CloseOnSignal);
    frmMain.show();
    if (!made->isEmpty())
        frmMain.ShowNotice(*made);
    return app.exec();
}
