// nuv-soak: the acquisition thread and the press channel against the
// simulator's noisy line for a given number of minutes, with a real database
// and a real log. Afterwards every reply the handler received is classified
// by the reply rules and compared with what was plotted, logged and recorded.
//   nuv-soak [minutes]
#include "acquisition/TPressChannel.h"
#include "acquisition/TReplyForm.h"
#include "acquisition/trCOMMU.h"
#include "core/LogFileU.h"
#include "db/dmmainU.h"
#include "testsupport/QtWait.h"
#include "testsupport/SimProcess.h"
#include "testsupport/TestDatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct CountingView : TLiveView {
    QString l11 = "0", l12 = "0.0", l18 = "0.0", l15 = "0.0", l16 = "0.0";
    long points = 0;
    QString& slot(TReadout r) {
        switch (r) {
        case TReadout::Label11:
            return l11;
        case TReadout::Label12:
            return l12;
        case TReadout::Label18:
            return l18;
        case TReadout::Label15:
            return l15;
        default:
            return l16;
        }
    }
    QString readoutText(TReadout r) const override {
        return const_cast<CountingView*>(this)->slot(r);
    }
    void setReadoutText(TReadout r, const QString& t) override { slot(r) = t; }
    double zeroOffset() const override { return 0; }
    void AddPressPoints(double, double) override { ++points; }
    void AddCbrPoints(double, double) override {}
};

struct CountingRecorder : TRecorder {
    explicit CountingRecorder(TdmMain& dm) : m_dm(dm) {}
    long runs = 0, samples = 0;
    int StartRun(int d) override {
        const int id = m_dm.StartRun(d);
        ++runs;
        return id;
    }
    void AddSample(int r, int d, double v, double s) override {
        m_dm.AddSample(r, d, v, s);
        ++samples;
    }
    TdmMain& m_dm;
};

struct Host : QObject, TtrCommHost {
    Host(TPressChannel& p) : press(p) {}
    QObject* uiContext() override { return this; }
    void SetCaption(const QString&) override {}
    void SetPressReadout(const QString&) override {}
    void ProcessPressSample(TAcqState& s) override {
        replies.append(s.Reply1);
        press.ProcessPressSample(s);
    }
    void ProcessCbrSample(TAcqState&) override {}
    TPressChannel& press;
    QStringList replies;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double minutes = argc > 1 ? QString(argv[1]).toDouble() : 10.0;
    QTemporaryDir dir;
    const QString db = dir.path() + "/NUV.GDB";
    const QString log = dir.path() + "/prjNUV.log";
    makeTestDatabase(db);
    SimProcess sim(dir.path(), 9,
                   {"--scenario", "noisy", "--seed", "7", "--rate", "20", "--peak", "300"});

    TdmMain dm;
    dm.dbNUV.DatabaseName = db;
    dm.dbNUV.Open();
    CountingView view;
    CountingRecorder rec(dm);
    TFileLog fileLog(log);
    TSystemClock clock;
    TPressChannel press(view, rec, fileLog, clock, dir.path() + "/prjNUV.ini");
    Host host(press);
    std::atomic<int> page{int(TPage::Press)};
    TtrComm thread(host, "9", page, ComPortMap(dir.path() + "/ports"));
    thread.start();
    QElapsedTimer t;
    t.start();
    serveUntil([&] { return t.elapsed() >= qint64(minutes * 60000); }, int(minutes * 60000) + 1000);
    thread.requestInterruption();
    serveUntil([&] { return thread.isFinished(); }, 10000);

    long wellFormed = 0, badValue = 0, notSample = 0;
    const TFormats formats;
    for (const QString& r : host.replies) {
        const auto v = TReplyForm::value(r);
        if (!v)
            ++notSample;
        else if (formats.controllerNumber(*v))
            ++wellFormed;
        else
            ++badValue;
    }
    long logLines = 0, newLog = 0;
    QFile f(log);
    if (f.open(QIODevice::ReadOnly)) {
        while (!f.atEnd()) {
            const QByteArray line = f.readLine();
            if (line.contains(" -> commErr -> "))
                ++logLines;
            else if (line.contains(" -> NEW LOG"))
                ++newLog;
        }
    }
    dm.trMain.Commit();
    dm.dbNUV.Close(); // the embedded engine holds the file while connected
    const QString rows =
        isql(db, "set list on; select count(*) as n from mes_de; select count(*) as r from mes;");
    std::printf("minutes %.1f, replies %lld: well-formed %ld, bad value %ld, not a sample %ld\n",
                minutes, qlonglong(host.replies.size()), wellFormed, badValue, notSample);
    std::printf("plotted %ld, log lines %ld (+%ld NEW LOG), runs %ld, samples recorded %ld\n",
                view.points, logLines, newLog, rec.runs, rec.samples);
    std::printf("database: %s\n", qPrintable(rows.simplified()));
    const bool ok = view.points == wellFormed && logLines == badValue;
    std::printf("%s\n",
                ok ? "OK: every well-formed sample processed, one log line per failed sample"
                   : "MISMATCH");
    return ok ? 0 : 1;
}
