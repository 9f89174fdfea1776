// nuv-report: the laboratory's results from the command line, with no display.
#include "db/FbEngine.h"
#include "tools/TReportTool.h"

#include <QGuiApplication>

int main(int argc, char** argv) {
    // The report is drawn without a window: it runs from a scheduled job or over SSH.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // The embedded engine's lock folder, the program's own, before the first database.
    FbEngine::prepare();
    return TReportTool(app.arguments()).run();
}
