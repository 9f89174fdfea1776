#include "AppPaths.h"
#include "FbEngine.h"
#include "TfrmMain.h"
#include "dmmainU.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &c, 1);
}

// SIGTERM and SIGINT close the main window the way the operator's close does.
void closeOnSignals(QWidget& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char c;
        [[maybe_unused]] const auto n = ::read(g_signalPipe[0], &c, 1);
        window.close();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("prjNUV"));
    FbEngine::prepare(AppPaths::besideExecutable().dir); // before the first database is opened

    // The data module outlives the main window: the window's last save and the
    // end of acquisition may still need it.
    TdmMain dmMain;
    TfrmMain frmMain(AppPaths::besideExecutable(), dmMain);
    closeOnSignals(frmMain);
    frmMain.show();
    return app.exec();
}
