// nuv-screens: opens every window of the program on the display it is given
// (scripts/screens.sh starts a private one), over a database filled with a
// few days of laboratory work and with the controller simulator on the line,
// and saves one PNG per window.
#include "app/screens/ScreenData.h"
#include "app/screens/ScreenShooter.h"

#include "app/TfrmMain.h"
#include "core/AppPaths.h"
#include "db/dmmainU.h"
#include "testsupport/QtWait.h"
#include "testsupport/SimProcess.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>

namespace {

const int kPort = 3;
const int kLiveMs = 15000; // the live charts fill for this long before the grab

void writeSettings(const AppPaths& paths, const char* page) {
    QFile f(paths.settings());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + paths.settings().toStdString());
    f.write(QByteArray("[frmStorage]\r\nlblCom_Caption=") + QByteArray::number(kPort) +
            "\r\nPageControl1_ActivePage=" + page + "\r\n");
}

template <typename T> T* withText(QWidget* root, const QString& text) {
    for (T* w : root->findChildren<T*>())
        if (w->text() == text)
            return w;
    throw std::runtime_error(
        ("no control \"" + text + "\" in " + root->objectName()).toStdString());
}

QWidget* byAccessibleName(QWidget* root, const QString& name) {
    for (QWidget* w : root->findChildren<QWidget*>())
        if (w->accessibleName() == name)
            return w;
    throw std::runtime_error(("no control for \"" + name + "\"").toStdString());
}

void printPreview(ScreenShooter& shots, QWidget* preview, const QString& pdf) {
    shots.save(preview, "print-preview");
    auto* printer = qobject_cast<QComboBox*>(byAccessibleName(preview, "Принтер"));
    if (!printer)
        throw std::runtime_error("the printer choice is not a list");
    printer->setCurrentIndex(printer->findText("PDF файл"));
    auto* file = qobject_cast<QLineEdit*>(byAccessibleName(preview, "PDF файл"));
    if (!file)
        throw std::runtime_error("no field for the PDF file");
    file->setText(pdf);
    QFile::remove(pdf);
    ScreenShooter::click(withText<QPushButton>(preview, "Печат"));
    if (!serveUntil([&] { return QFile(pdf).size() > 0; }, 20000))
        throw std::runtime_error("the print preview wrote no PDF");
}

void review(ScreenShooter& shots, QWidget* viewer, const QString& pdf) {
    // Both series belong to the first object.
    auto* object = ScreenShooter::named<QComboBox>(viewer, "cbObekt");
    object->setCurrentIndex(object->findText(ScreenData::firstObject()));
    ScreenShooter::click(ScreenShooter::named<QWidget>(viewer, "Button1")); // "Покажи"
    serveFor(500);
    auto* series = ScreenShooter::named<QTableView>(viewer, "DBGridEh1");
    auto* runs = ScreenShooter::named<QTableView>(viewer, "DBGridEh2");
    if (series->model()->rowCount() < 2)
        throw std::runtime_error("the review lists fewer than two series");
    // The Marshall/CBR series (the later one) first, then the press series
    // for the print.
    ScreenShooter::clickRow(series, 1);
    ScreenShooter::clickRow(runs, 0);
    shots.save(viewer, "review-cbr");
    ScreenShooter::clickRow(series, 0);
    ScreenShooter::clickRow(runs, 1);
    shots.save(viewer, "review");
    shots.throughModal(ScreenShooter::named<QWidget>(viewer, "Button3"), "print preview",
                       [&](QWidget* p) { printPreview(shots, p, pdf); });
}

void grouping(ScreenShooter& shots, QWidget* group) {
    auto* runs = ScreenShooter::named<QTableView>(group, "DBGrid1");
    ScreenShooter::clickRow(runs, 0);
    ScreenShooter::click(ScreenShooter::named<QWidget>(group, "Button2")); // "Избери ->"
    serveFor(300);
    ScreenShooter::clickRow(runs, 1);
    shots.save(group, "grouping");
}

// The trail with the second entry current, its whole texts below the list.
void auditTrail(ScreenShooter& shots, QWidget* audit) {
    ScreenShooter::clickRow(ScreenShooter::named<QTableView>(audit, "DBGrid1"), 1);
    shots.save(audit, "audit");
}

// The main window on one device page with the simulator running; the
// dialogs are opened from it while it polls.
// The controllers always send a decimal point; the simulator writes its
// replies with the C library's formatting, so it runs in the C locale.
std::unique_ptr<SimProcess> startSimulator(const AppPaths& paths, const QStringList& args) {
    const QByteArray lcAll = qgetenv("LC_ALL");
    qputenv("LC_ALL", "C.UTF-8");
    auto sim = std::make_unique<SimProcess>(paths.dir, kPort, args);
    qputenv("LC_ALL", lcAll);
    return sim;
}

void mainWindow(ScreenShooter& shots, const AppPaths& paths, const QStringList& simArgs,
                const QString& name, const std::function<void(TfrmMain&)>& then) {
    const auto sim = startSimulator(paths, simArgs);
    TdmMain dm;
    TfrmMain w(paths, dm);
    w.show();
    if (!QTest::qWaitForWindowExposed(&w, 10000))
        throw std::runtime_error("the main window was not shown");
    serveFor(kLiveMs);
    shots.save(&w, name);
    then(w);
    w.close();
    serveUntil([&] { return !w.acquisitionRunning(); }, 10000);
}

void tour(ScreenShooter& shots, const QString& pdf) {
    QTemporaryDir dir;
    const AppPaths paths = AppPaths::in(dir.path());
    ScreenData::create(paths.database());

    writeSettings(paths, "TabSheet2");
    mainWindow(shots, paths,
               {"--scenario", "press", "--rate", "20", "--peak", "320", "--pause", "3"},
               "main-press", [&](TfrmMain& w) {
                   shots.throughModal(ScreenShooter::named<QWidget>(&w, "lblCom"), "port dialog",
                                      [&](QWidget* d) { shots.save(d, "port-dialog"); });
               });

    writeSettings(paths, "TabSheet1");
    mainWindow(
        shots, paths, {"--scenario", "cbr", "--cbr-ramp", "20", "--cbr-peak", "30", "--pause", "3"},
        "main-cbr", [&](TfrmMain& w) {
            // The print preview last: a window that fails there leaves the rest taken.
            shots.throughModal(ScreenShooter::named<QWidget>(&w, "Label17"), "objects register",
                               [&](QWidget* o) { shots.save(o, "objects"); });
            shots.throughModal(ScreenShooter::named<QWidget>(&w, "Label24"), "deleted runs",
                               [&](QWidget* d) { shots.save(d, "deleted-runs"); });
            shots.throughModal(ScreenShooter::named<QWidget>(&w, "Label25"), "audit trail",
                               [&](QWidget* a) { auditTrail(shots, a); });
            shots.throughModal(ScreenShooter::named<QWidget>(&w, "Label13"), "grouping window",
                               [&](QWidget* g) { grouping(shots, g); });
            shots.throughModal(ScreenShooter::named<QWidget>(&w, "Label14"), "review window",
                               [&](QWidget* v) { review(shots, v, pdf); });
        });
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("prjNUV"));
    if (argc != 3) {
        std::fprintf(stderr, "usage: nuv-screens OUTPUT-FOLDER PRINTED-PAGE.pdf\n");
        return 2;
    }
    ScreenShooter shots(QString::fromLocal8Bit(argv[1]));
    try {
        tour(shots, QString::fromLocal8Bit(argv[2]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "nuv-screens: %s\n", e.what());
        return 1;
    }
    for (const QString& m : shots.messages())
        std::fprintf(stderr, "seen: %s\n", qPrintable(m));
    return 0;
}
