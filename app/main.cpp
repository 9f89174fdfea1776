#include "app/TInstanceLock.h"
#include "app/TSignalWatcher.h"
#include "app/TStartupMessage.h"
#include "app/TTranslations.h"
#include "app/TfrmMain.h"
#include "core/AppPaths.h"
#include "core/TSettingsCheck.h"
#include "db/FbEngine.h"
#include "db/dmmainU.h"

#include <QApplication>

#include <cstdio>

namespace {

constexpr int kExitAlreadyRunning = 3;
constexpr int kExitBadSettings = 2;
// A second program on the same database says so and is gone within 5 s.
constexpr int kAlreadyRunningBoxMs = 4000;

// One program per database; a lock file that cannot be used at all (a
// read-only folder) stops nothing: the engine then reports the folder itself.
bool secondInstance(const TInstanceLock& lock, TSignalWatcher& signalWatcher) {
    if (lock.state() == TInstanceLock::State::Unavailable)
        std::fprintf(stderr, "prjNUV: %s: %s\n", qPrintable(lock.path()),
                     qPrintable(lock.reason()));
    if (lock.state() != TInstanceLock::State::HeldByAnother)
        return false;
    TStartupMessage::show(QStringLiteral("Програмата вече работи с тази база данни\n%1")
                              .arg(AppPaths::besideExecutable().database()),
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

} // namespace

int main(int argc, char* argv[]) {
    // First of all, before any thread (the database engine's included) exists.
    TSignalWatcher::blockTerminationSignals();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("prjNUV"));
    TTranslations::install(app);
    TSignalWatcher signalWatcher;
    const AppPaths paths = AppPaths::besideExecutable();

    // The embedded engine's lock folder, before the first database is opened.
    FbEngine::prepare();

    const TInstanceLock lock(TInstanceLock::pathFor(paths.database()));
    if (secondInstance(lock, signalWatcher))
        return kExitAlreadyRunning;
    if (settingsRefused(paths, signalWatcher))
        return kExitBadSettings;

    // The data module outlives the main window: the window's last save and the
    // end of acquisition may still need it.
    TdmMain dmMain;
    TfrmMain frmMain(paths, dmMain);
    // A termination signal takes the close button's path.
    QObject::connect(&signalWatcher, &TSignalWatcher::received, &frmMain, &TfrmMain::CloseOnSignal);
    frmMain.show();
    return app.exec();
}
