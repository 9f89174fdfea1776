// Two workstations on one Firebird server: the press's and the Marshall/CBR
// frame's program, each a prjNUV process with its own simulated line, both
// recording into one database on a private server of this machine. The
// polling cycle of each, read from its simulator's command log, alone and
// while the other records as well.
#include "bench/BenchStats.h"
#include "testsupport/SimProcess.h"
#include "testsupport/TFbServer.h"
#include "testsupport/TestFiles.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include <csignal>

namespace {

struct Window {
    QDateTime from;
    QDateTime to;
};

// One workstation: prjNUV copied into a folder of its own with its settings
// naming the server's database, and the simulator on its port.
class Workstation {
public:
    Workstation(const TFbServer& server, const QString& database, int port, const char* page,
                const QStringList& simArgs)
        : m_port(port) {
        const QString exe = m_dir.path() + "/prjNUV";
        if (!QFile::copy(QStringLiteral(NUV_BIN_DIR "/prjNUV"), exe))
            throw std::runtime_error("cannot copy prjNUV");
        writeAll(
            m_dir.path() + "/prjNUV.ini",
            QStringLiteral("[frmStorage]\r\nlblCom_Caption=%1\r\nPageControl1_ActivePage=%2\r\n"
                           "\r\n[database]\r\nDatabase=%3\r\n")
                .arg(port)
                .arg(QLatin1String(page), database)
                .toLatin1());
        m_sim = std::make_unique<SimProcess>(m_dir.path(), port, simArgs);
        QProcessEnvironment env = server.clientEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        m_proc.setProcessEnvironment(env);
        m_proc.setProcessChannelMode(QProcess::ForwardedChannels);
        m_proc.start(exe, {});
        if (!m_proc.waitForStarted(5000))
            throw std::runtime_error("prjNUV did not start");
    }
    ~Workstation() { close(); }

    // The close button's way: the signal ends the program in order.
    void close() {
        if (m_proc.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_proc.processId()), SIGTERM);
        if (!m_proc.waitForFinished(10000)) {
            m_proc.kill();
            m_proc.waitForFinished(3000);
        }
    }

    // The moments the simulator received a command that begins a cycle.
    QList<QDateTime> cycleStarts(const QByteArray& command) const {
        QList<QDateTime> out;
        for (const QByteArray& line : readAll(m_sim->logPath()).split('\n')) {
            const qsizetype blank = line.indexOf(' ');
            if (blank > 0 && line.mid(blank + 1).startsWith(command))
                out.append(QDateTime::fromString(QString::fromLatin1(line.left(blank)),
                                                 Qt::ISODateWithMs));
        }
        return out;
    }

private:
    QTemporaryDir m_dir;
    int m_port;
    std::unique_ptr<SimProcess> m_sim;
    QProcess m_proc;
};

struct Cycle {
    double meanMs = 0;
    double medianMs = 0;
    int polls = 0;
};

Cycle cycleIn(const QList<QDateTime>& starts, const Window& w) {
    std::vector<double> gaps;
    QDateTime prev;
    for (const QDateTime& t : starts) {
        if (t < w.from || t > w.to)
            continue;
        if (prev.isValid())
            gaps.push_back(double(prev.msecsTo(t)));
        prev = t;
    }
    Cycle c;
    if (gaps.empty())
        return c;
    c.polls = int(gaps.size());
    double sum = 0;
    for (double g : gaps)
        sum += g;
    c.meanMs = sum / double(gaps.size());
    std::sort(gaps.begin(), gaps.end());
    c.medianMs = gaps[gaps.size() / 2];
    return c;
}

Window recordFor(int seconds) {
    Window w{QDateTime::currentDateTime(), {}};
    QThread::msleep(unsigned(seconds) * 1000);
    w.to = QDateTime::currentDateTime();
    return w;
}

// range(0): seconds of each phase. The press records alone, then both record,
// then the frame records alone; the growth is the cycle with both over the
// cycle alone.
void BM_PollingCycleTwoWorkstations(benchmark::State& state) {
    const int phaseS = int(state.range(0));
    const unsigned settleMs = 5000;
    TFbServer server;
    server.start();
    const QString database = server.connectionString(server.dataFolder() + "/NUV.GDB");
    const TFbServer::ToolResult made = server.createDatabase(database);
    if (made.exitCode != 0)
        throw std::runtime_error("create-db.sh failed: " + made.output.toStdString());
    for (auto _ : state) {
        // Both load so slowly that a run stays open all the time: every poll records.
        Workstation press(
            server, database, 5, "TabSheet2",
            {"--scenario", "press", "--rate", "1", "--peak", "100000", "--pause", "0"});
        QThread::msleep(settleMs);
        const Window pressAlone = recordFor(phaseS);
        Workstation frame(
            server, database, 6, "TabSheet1",
            {"--scenario", "cbr", "--cbr-peak", "35000", "--cbr-ramp", "100000", "--pause", "0"});
        QThread::msleep(settleMs);
        const Window both = recordFor(phaseS);
        press.close();
        QThread::msleep(settleMs);
        const Window frameAlone = recordFor(phaseS);
        frame.close();

        const Cycle p1 = cycleIn(press.cycleStarts("p.v"), pressAlone);
        const Cycle p2 = cycleIn(press.cycleStarts("p.v"), both);
        const Cycle f1 = cycleIn(frame.cycleStarts("U2"), frameAlone);
        const Cycle f2 = cycleIn(frame.cycleStarts("U2"), both);
        state.counters["press_alone_ms"] = p1.meanMs;
        state.counters["press_both_ms"] = p2.meanMs;
        state.counters["press_growth_pct"] = p1.meanMs > 0 ? 100 * (p2.meanMs / p1.meanMs - 1) : 0;
        state.counters["press_median_alone_ms"] = p1.medianMs;
        state.counters["press_median_both_ms"] = p2.medianMs;
        state.counters["frame_alone_ms"] = f1.meanMs;
        state.counters["frame_both_ms"] = f2.meanMs;
        state.counters["frame_growth_pct"] = f1.meanMs > 0 ? 100 * (f2.meanMs / f1.meanMs - 1) : 0;
        state.counters["frame_median_alone_ms"] = f1.medianMs;
        state.counters["frame_median_both_ms"] = f2.medianMs;
        state.counters["polls"] = p1.polls + p2.polls + f1.polls + f2.polls;
        const QString rows =
            server
                .runTool("isql-fb", {database},
                         "set list on; select count(*) as press_rows from mes_de where dev_id = 1;"
                         "select count(*) as frame_rows from mes_de where dev_id = 2;")
                .output;
        for (const QString& line : rows.split('\n')) {
            const QStringList f = line.simplified().split(' ');
            if (f.size() == 2 && f[0].endsWith("_ROWS"))
                state.counters[f[0].toLower().toStdString()] = f[1].toDouble();
        }
    }
}
BENCHMARK(BM_PollingCycleTwoWorkstations)
    ->Arg(40)
    ->ArgName("phase_s")
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

} // namespace

NUV_BENCHMARK_QT_MAIN((void)0)
